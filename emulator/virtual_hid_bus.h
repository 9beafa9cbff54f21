// A HID bus in process: virtual devices that attach and detach, behind the same HidBackend
// seam as hidapi. Counts open handles so that tests can prove none is left behind, and raises
// device-change notifications on attach and detach.
#pragma once

#include <functional>
#include <mutex>
#include <vector>

#include "device/clock.h"
#include "device/hid_backend.h"

namespace korva {

// The device side of one HID interface.
class VirtualHidDevice {
 public:
  virtual ~VirtualHidDevice() = default;
  virtual HidInterfaceInfo Info() const = 0;
  // False when the interface cannot be opened for reading and writing.
  virtual bool CanOpen() const { return true; }
  // Why it cannot be opened; asked only when CanOpen() is false.
  virtual HidOpenProblem OpenProblem() const { return HidOpenProblem::HeldElsewhere; }
  // Takes one 65-byte output report; false makes the write fail.
  virtual bool OnWrite(const std::uint8_t* data, std::size_t length) = 0;
  // Fills one 64-byte input report and returns its length, or 0 when nothing comes.
  virtual int OnRead(std::uint8_t* data, std::size_t length) = 0;
};

class VirtualHidBus final : public HidBackend {
 public:
  explicit VirtualHidBus(Clock& clock) : clock_(clock) {}

  void Attach(VirtualHidDevice* device);
  void Detach(VirtualHidDevice* device);
  bool IsAttached(const VirtualHidDevice* device) const;

  // Called after every attach and detach, on the thread that caused it.
  void SetChangeListener(std::function<void()> listener);

  int OpenHandles() const;
  int TotalOpens() const;
  Clock& BusClock() { return clock_; }

  std::vector<HidInterfaceInfo> Enumerate() override;
  std::unique_ptr<HidHandle> Open(const std::string& path) override;
  HidOpenProblem DiagnoseOpen(const std::string& path) override;

 private:
  friend class VirtualHidHandle;
  void HandleClosed();
  void Notify();

  Clock& clock_;
  mutable std::mutex mutex_;
  std::vector<VirtualHidDevice*> devices_;
  std::function<void()> listener_;
  int openHandles_ = 0;
  int totalOpens_ = 0;
};

}  // namespace korva
