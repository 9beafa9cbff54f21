// The seam between the device link and the operating system's HID layer: enumerate the
// present HID interfaces, open one by path, move one report. The program uses hidapi on Linux
// and the Win32 HID calls on Windows; tests and --simulate use the virtual bus of emulator/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace korva {

struct HidInterfaceInfo {
  std::string path;
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::string serialNumber = {};  // UTF-8; empty when the interface has none
};

// An open interface. Destroying it closes it.
class HidHandle {
 public:
  virtual ~HidHandle() = default;
  // The IDs and serial number of the device this handle has open, asked of the open handle
  // rather than of its path: after an unplug the system may give the path to another device.
  // Nothing when the backend cannot tell.
  virtual std::optional<HidInterfaceInfo> Identity() = 0;
  // Writes `length` bytes (report ID first). Returns the bytes written, or -1 on failure.
  virtual int Write(const std::uint8_t* data, std::size_t length, int timeoutMs) = 0;
  // Reads one input report's payload (without report ID) into `data`. Returns the bytes
  // read, 0 when nothing arrived within `timeoutMs`, or -1 on failure.
  virtual int Read(std::uint8_t* data, std::size_t length, int timeoutMs) = 0;
};

// Why an interface that Enumerate() lists cannot be opened.
enum class HidOpenProblem {
  None,              // it opens (now)
  PermissionDenied,  // the user may not open it
  HeldElsewhere,     // another program holds it
  Unknown,           // it does not open, for another or an unknown reason
};

class HidBackend {
 public:
  virtual ~HidBackend() = default;
  // The present HID interfaces, in enumeration order.
  virtual std::vector<HidInterfaceInfo> Enumerate() = 0;
  // Opens an interface for reading and writing; nullptr when that is not possible.
  virtual std::unique_ptr<HidHandle> Open(const std::string& path) = 0;
  // Tells why Open(path) fails, for a message that helps the user; only a diagnosis, never
  // needed for the transfers themselves.
  virtual HidOpenProblem DiagnoseOpen(const std::string& /*path*/) {
    return HidOpenProblem::Unknown;
  }
};

// The backend of the system the program runs on: hidapi (hidraw) on Linux, the Win32 HID calls
// on Windows. Make it once, before any other thread starts (hidapi's hid_init() runs then, and
// its hid_exit() when the backend is destroyed).
std::unique_ptr<HidBackend> MakeSystemHidBackend();

}  // namespace korva
