// A HID bus in process: virtual devices that attach and detach, behind the same HidBackend
// seam as hidapi. Counts open handles so that tests can prove none is left behind, counts
// listings, raises device-change notifications on attach and detach, and can make a listing
// cost time, as it does on a desktop with many HID devices.
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
  int Enumerations() const;
  Clock& BusClock() { return clock_; }

  // Every listing of the interfaces takes this long on the bus's clock. Listings and opens
  // wait for each other, as they do behind hidapi's lock.
  void SetEnumerationCostMs(int ms);

  std::vector<HidInterfaceInfo> Enumerate() override;
  std::unique_ptr<HidHandle> Open(const std::string& path) override;
  HidOpenProblem DiagnoseOpen(const std::string& path) override;

 private:
  friend class VirtualHidHandle;
  void HandleClosed();
  void Notify();

  Clock& clock_;
  std::mutex listingMutex_;  // held by a listing, with its cost, and by an open
  mutable std::mutex mutex_;
  std::vector<VirtualHidDevice*> devices_;
  std::function<void()> listener_;
  int openHandles_ = 0;
  int totalOpens_ = 0;
  int enumerations_ = 0;
  int enumerationCostMs_ = 0;
};

}  // namespace korva
