// The windows' device thread in the Qt program: the shared layer's device port, its results
// queued back to the GUI thread as calls to this object (dropped with it).
#pragma once

#include <QObject>

#include "dialogs/device_thread.h"
#include "dialogs/gui_queue.h"

namespace korva::qt {

class DeviceWork final : public QObject, public dialogs::GuiQueue {
 public:
  // Made on the GUI thread; starts the device thread.
  DeviceWork() = default;
  // Drops the calls that have not started and waits for the one in progress.
  ~DeviceWork() override = default;
  DeviceWork(const DeviceWork&) = delete;
  DeviceWork& operator=(const DeviceWork&) = delete;

  void Post(std::function<void()> call) override;

  dialogs::DevicePort& Port() { return thread_; }
  // GUI thread: nothing is queued, running, or waiting to be handed back. Tests wait for it.
  bool Idle() const { return thread_.Idle(); }

 private:
  dialogs::DeviceThread thread_{*this};
};

// The program's device thread (not owned): installed by the program's start, and by tests.
DeviceWork& AppDeviceWork();
void SetAppDeviceWork(DeviceWork* work);

}  // namespace korva::qt
