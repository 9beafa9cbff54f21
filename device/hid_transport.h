// The HID transport: find the KORVA among the present HID interfaces and move exactly one
// report per call within 3000 ms. There is no long-lived connection: every write and read
// opens the amp, transfers and closes. The amp is looked for among all HID interfaces once;
// after that each report opens the path where it was found, and the interfaces are listed
// again only when that open fails or a device change was reported.
#pragma once

#include <cstdint>
#include <string>

#include "device/hid_backend.h"
#include "device/protocol.h"

namespace korva {

// Installs the process-wide backend (not owned). Until then every operation fails.
void SetHidBackend(HidBackend* backend);
HidBackend* CurrentHidBackend();

// True for an interface with the KORVA's vendor and product ID (version, usage page and usage
// are not looked at).
inline bool IsKorvaInterface(const HidInterfaceInfo& info) {
  return info.vendorId == kKorvaVendorId && info.productId == kKorvaProductId;
}

// True when two interface paths lead to one device: the same text, or two names of one file
// (a link to a device node, "/dev/./hidraw3" for "/dev/hidraw3").
bool SameDevicePath(const std::string& a, const std::string& b);

// Forgets where the amp was found, so that the next report lists the interfaces again. For
// device-change notifications: a path is only a hint, since the system may hand it to another
// device after an unplug (every open by path checks what it opened, whatever the hint).
void ForgetDevicePath();

// Pins the transport to one interface path: from now on it opens only `path`, and only while
// the device there is a KORVA (the same one as at the first open, where the amp has a serial
// number). Where an open handle cannot tell what it leads to, a fresh listing must name the
// path as the KORVA before the handle is used. An empty path unpins. Installing a backend
// unpins too.
void PinDevicePath(const std::string& path);
std::string PinnedDevicePath();

// One search as every report makes it, for the presence test with a diagnosis: opens the
// KORVA (and closes it again at once). `path` and `serialNumber` describe the interface that
// opened; when none did, `refusedPath` names the first interface listed with the KORVA's IDs
// that would not open, if any.
struct KorvaSearch {
  bool found = false;
  std::string path;
  std::string serialNumber;
  std::string refusedPath;
};
KorvaSearch SearchKorva();

// Returns 1 when the KORVA was found and opened: the handle then waits in the link for the
// caller's CloseDevice(). Returns 0 when it is absent or cannot be opened. A change of the
// outcome is noted in the support log.
int OpenDevice();
// Closes the handle that the last successful OpenDevice() left in the link, if any.
void CloseDevice();
// Presence test: OpenDevice() followed by CloseDevice(). Returns 1 when present.
int IsDevicePresent();

// Stores `reportId` in byte 0 and writes the 65-byte report. Returns 1 when it left within
// 3000 ms, 0 otherwise (also when the device is absent).
int WriteReport(HidReport& report, std::uint8_t reportId);

// Reads one input report into `buffer` (at least 65 bytes). Returns 1 when it arrived within
// 3000 ms: the payload then stands in bytes 0 to 63 and byte 64 repeats its last byte.
// Returns 0 otherwise, with byte 0 set to 0.
int ReadReport(std::uint8_t* buffer);

}  // namespace korva
