// The virtual HID bus and its handles.
#include "emulator/virtual_hid_bus.h"

#include <algorithm>

namespace korva {

class VirtualHidHandle final : public HidHandle {
 public:
  VirtualHidHandle(VirtualHidBus& bus, VirtualHidDevice* device) : bus_(bus), device_(device) {}
  ~VirtualHidHandle() override { bus_.HandleClosed(); }
  VirtualHidHandle(const VirtualHidHandle&) = delete;
  VirtualHidHandle& operator=(const VirtualHidHandle&) = delete;

  int Write(const std::uint8_t* data, std::size_t length, int /*timeoutMs*/) override {
    // A device unplugged since the open fails the transfer at once.
    if (!bus_.IsAttached(device_)) return -1;
    return device_->OnWrite(data, length) ? static_cast<int>(length) : -1;
  }

  int Read(std::uint8_t* data, std::size_t length, int timeoutMs) override {
    if (!bus_.IsAttached(device_)) return -1;
    const int got = device_->OnRead(data, length);
    if (got == 0) bus_.BusClock().Pause(timeoutMs);  // the whole limit passes in vain
    return got;
  }

  std::optional<HidInterfaceInfo> Identity() override {
    if (!bus_.IsAttached(device_)) return std::nullopt;
    return device_->Info();
  }

 private:
  VirtualHidBus& bus_;
  VirtualHidDevice* device_;
};

void VirtualHidBus::Attach(VirtualHidDevice* device) {
  {
    std::lock_guard lock(mutex_);
    if (std::find(devices_.begin(), devices_.end(), device) != devices_.end()) return;
    devices_.push_back(device);
  }
  Notify();
}

void VirtualHidBus::Detach(VirtualHidDevice* device) {
  {
    std::lock_guard lock(mutex_);
    auto it = std::find(devices_.begin(), devices_.end(), device);
    if (it == devices_.end()) return;
    devices_.erase(it);
  }
  Notify();
}

bool VirtualHidBus::IsAttached(const VirtualHidDevice* device) const {
  std::lock_guard lock(mutex_);
  return std::find(devices_.begin(), devices_.end(), device) != devices_.end();
}

void VirtualHidBus::SetChangeListener(std::function<void()> listener) {
  std::lock_guard lock(mutex_);
  listener_ = std::move(listener);
}

int VirtualHidBus::OpenHandles() const {
  std::lock_guard lock(mutex_);
  return openHandles_;
}

int VirtualHidBus::TotalOpens() const {
  std::lock_guard lock(mutex_);
  return totalOpens_;
}

int VirtualHidBus::Enumerations() const {
  std::lock_guard lock(mutex_);
  return enumerations_;
}

void VirtualHidBus::SetEnumerationCostMs(int ms) {
  std::lock_guard lock(mutex_);
  enumerationCostMs_ = ms;
}

std::vector<HidInterfaceInfo> VirtualHidBus::Enumerate() {
  std::lock_guard listing(listingMutex_);
  int cost = 0;
  std::vector<HidInterfaceInfo> infos;
  {
    std::lock_guard lock(mutex_);
    ++enumerations_;
    cost = enumerationCostMs_;
    for (const VirtualHidDevice* device : devices_) infos.push_back(device->Info());
  }
  // Outside the bus's own lock: a transfer on an open handle goes on meanwhile.
  clock_.Pause(cost);
  return infos;
}

std::unique_ptr<HidHandle> VirtualHidBus::Open(const std::string& path) {
  std::lock_guard listing(listingMutex_);
  std::lock_guard lock(mutex_);
  for (VirtualHidDevice* device : devices_) {
    if (device->Info().path != path) continue;
    if (!device->CanOpen()) return nullptr;
    ++openHandles_;
    ++totalOpens_;
    return std::make_unique<VirtualHidHandle>(*this, device);
  }
  return nullptr;
}

HidOpenProblem VirtualHidBus::DiagnoseOpen(const std::string& path) {
  std::lock_guard lock(mutex_);
  for (const VirtualHidDevice* device : devices_) {
    if (device->Info().path != path) continue;
    return device->CanOpen() ? HidOpenProblem::None : device->OpenProblem();
  }
  return HidOpenProblem::Unknown;
}

void VirtualHidBus::HandleClosed() {
  std::lock_guard lock(mutex_);
  --openHandles_;
}

void VirtualHidBus::Notify() {
  std::function<void()> listener;
  {
    std::lock_guard lock(mutex_);
    listener = listener_;
  }
  if (listener) listener();
}

}  // namespace korva
