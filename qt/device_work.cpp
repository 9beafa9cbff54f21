// The Qt program's device thread.
#include "qt/device_work.h"

#include <atomic>
#include <cassert>

#include "qt/thread_handoff.h"

namespace korva::qt {
namespace {
std::atomic<DeviceWork*> g_appDeviceWork{nullptr};
}  // namespace

void DeviceWork::Post(std::function<void()> call) { PostToThreadOf(this, std::move(call)); }

DeviceWork& AppDeviceWork() {
  DeviceWork* work = g_appDeviceWork.load();
  assert(work && "no device thread installed");
  return *work;
}

void SetAppDeviceWork(DeviceWork* work) { g_appDeviceWork.store(work); }

}  // namespace korva::qt
