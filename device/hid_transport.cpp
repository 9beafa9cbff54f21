// Finds the KORVA by vendor and product ID and moves one report per call. Each write and
// read opens its own handle and closes it, so a presence test on the UI thread never touches
// the handle that a job thread is using.
//
// Listing every HID interface is the slow part of an open on a busy desktop (each one is
// looked up in the system's device database), and an update moves about four thousand
// reports. So the transport remembers the path where it found the amp and opens that path
// directly; it lists again only when that open fails or a device change was reported. A path
// alone proves nothing: after an unplug the system may give it to another device. Every open
// by path therefore asks the open handle what it leads to, and takes it only when that is a
// KORVA, and the same amp where the amp has a serial number.
#include "device/hid_transport.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <filesystem>
#include <mutex>

#include "device/clock.h"
#include "device/device_access.h"

namespace korva {
namespace {

std::atomic<HidBackend*> g_backend{nullptr};

// The handle that OpenDevice() leaves for its caller to close.
std::mutex g_linkMutex;
std::unique_ptr<HidHandle> g_linkHandle;

// Where to open the amp. The windows' device thread and a job's thread both move reports, so
// the target is read and changed under a lock.
struct Target {
  std::string path;          // empty: not known, list the interfaces
  std::string serialNumber;  // of the amp at `path`; empty when it has none or is not known yet
  bool pinned = false;       // `path` is the only one ever opened
};
std::mutex g_targetMutex;
Target g_target;

Target LoadTarget() {
  std::lock_guard lock(g_targetMutex);
  return g_target;
}

void Remember(const std::string& path, const std::string& serialNumber) {
  std::lock_guard lock(g_targetMutex);
  if (!g_target.pinned) g_target = {path, serialNumber, false};
}

// Forgets `path` unless another thread has meanwhile found the amp elsewhere.
void Forget(const std::string& path) {
  std::lock_guard lock(g_targetMutex);
  if (!g_target.pinned && g_target.path == path) g_target = {};
}

// The first amp seen at a pinned path is the one the pin means.
void LearnPinnedSerialNumber(const std::string& path, const std::string& serialNumber) {
  std::lock_guard lock(g_targetMutex);
  if (g_target.pinned && g_target.path == path && g_target.serialNumber.empty())
    g_target.serialNumber = serialNumber;
}

struct Opened {
  std::unique_ptr<HidHandle> handle;
  std::string path;
  std::string serialNumber;
  bool verified = false;  // the handle told what it leads to, and that matched
};

// True for the KORVA, and for the one with `serialNumber` when that is given.
bool IsTheKorva(const HidInterfaceInfo& identity, const std::string& serialNumber) {
  return IsKorvaInterface(identity) &&
         (serialNumber.empty() || identity.serialNumber == serialNumber);
}

// True when the fresh listing names the interface at `path` as the KORVA (the one with
// `serialNumber`, when given): what a handle that cannot tell what it leads to is checked by.
bool ListedAsTheKorva(HidBackend& backend, const std::string& path,
                      const std::string& serialNumber) {
  for (const HidInterfaceInfo& info : backend.Enumerate()) {
    if (SameDevicePath(info.path, path)) return IsTheKorva(info, serialNumber);
  }
  return false;
}

// Opens `path` and looks at what it opened. A handle that cannot tell is believed only where
// `believeUnverified` (right after a listing); at a path that the user pinned, only when a
// fresh listing names it as the KORVA, since a typo may lead to any device.
Opened OpenAt(HidBackend& backend, const std::string& path, const std::string& serialNumber,
              bool believeUnverified, bool pinned = false) {
  Opened opened;
  opened.path = path;
  opened.serialNumber = serialNumber;
  auto handle = backend.Open(path);
  if (!handle) return opened;
  if (const std::optional<HidInterfaceInfo> identity = handle->Identity()) {
    if (!IsTheKorva(*identity, serialNumber)) return opened;  // closes the handle
    opened.verified = true;
    opened.serialNumber = identity->serialNumber;
  } else if (pinned ? !ListedAsTheKorva(backend, path, serialNumber) : !believeUnverified) {
    return opened;
  }
  opened.handle = std::move(handle);
  return opened;
}

// Opens the KORVA: at the pinned path only; otherwise at the remembered path while the same
// amp is there; otherwise the first listed interface with its IDs that opens. An interface
// that cannot be opened for reading and writing (held elsewhere, no permission) does not
// match; the first such is named in `refusedPath`, when given.
Opened OpenKorva(std::string* refusedPath = nullptr) {
  HidBackend* backend = g_backend.load();
  if (!backend) return {};
  const Target target = LoadTarget();
  if (target.pinned) {
    Opened opened = OpenAt(*backend, target.path, target.serialNumber, false, true);
    if (opened.verified) LearnPinnedSerialNumber(target.path, opened.serialNumber);
    return opened;
  }
  if (!target.path.empty()) {
    Opened opened = OpenAt(*backend, target.path, target.serialNumber, false);
    if (opened.handle) return opened;
    Forget(target.path);
  }
  for (const HidInterfaceInfo& info : backend->Enumerate()) {
    if (!IsKorvaInterface(info)) continue;
    Opened opened = OpenAt(*backend, info.path, info.serialNumber, true);
    if (opened.handle) {
      if (opened.verified) Remember(opened.path, opened.serialNumber);
      return opened;
    }
    if (refusedPath && refusedPath->empty()) *refusedPath = info.path;
  }
  return {};
}

}  // namespace

bool SameDevicePath(const std::string& a, const std::string& b) {
  if (a == b) return true;
#ifdef _WIN32
  // Interface paths are not files to compare; their case does not count.
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
#else
  // Two spellings of one node (a link, "/dev/./hidraw3") lead to one file.
  std::error_code error;
  const bool same = std::filesystem::equivalent(a, b, error);
  return !error && same;
#endif
}

void SetHidBackend(HidBackend* backend) {
  CloseDevice();
  {
    std::lock_guard lock(g_targetMutex);
    g_target = {};
  }
  g_backend.store(backend);
}

HidBackend* CurrentHidBackend() { return g_backend.load(); }

void ForgetDevicePath() {
  std::lock_guard lock(g_targetMutex);
  if (!g_target.pinned) g_target = {};
}

void PinDevicePath(const std::string& path) {
  std::lock_guard lock(g_targetMutex);
  g_target = {path, "", !path.empty()};
}

std::string PinnedDevicePath() {
  std::lock_guard lock(g_targetMutex);
  return g_target.pinned ? g_target.path : std::string();
}

KorvaSearch SearchKorva() {
  KorvaSearch search;
  const Opened opened = OpenKorva(&search.refusedPath);
  if (opened.handle) {
    search.found = true;
    search.path = opened.path;
    search.serialNumber = opened.serialNumber;
    return search;
  }
  // A pinned path was opened without a listing: say whether the amp is there at all.
  const Target target = LoadTarget();
  HidBackend* backend = g_backend.load();
  if (!target.pinned || !backend) return search;
  for (const HidInterfaceInfo& info : backend->Enumerate()) {
    if (SameDevicePath(info.path, target.path) && IsTheKorva(info, target.serialNumber))
      search.refusedPath = info.path;
  }
  return search;
}

int OpenDevice() {
  std::string refusedPath;
  Opened opened = OpenKorva(&refusedPath);
  NotePresenceTest(opened.handle != nullptr, opened.handle ? opened.path : refusedPath);
  if (!opened.handle) return 0;
  std::lock_guard lock(g_linkMutex);
  g_linkHandle = std::move(opened.handle);
  return 1;
}

void CloseDevice() {
  std::unique_ptr<HidHandle> handle;
  {
    std::lock_guard lock(g_linkMutex);
    handle = std::move(g_linkHandle);
  }
  // Closed here, outside the lock, when `handle` goes out of scope.
}

int IsDevicePresent() {
  const int present = OpenDevice();
  CloseDevice();
  return present;
}

int WriteReport(HidReport& report, std::uint8_t reportId) {
  const Opened opened = OpenKorva();
  if (!opened.handle) return 0;
  report[0] = reportId;
  const std::int64_t start = ProcessClock().NowMs();
  const int written = opened.handle->Write(report.data(), report.size(), kReportTimeoutMs);
  // A write that completes counts, however many bytes it reports; one that took longer than
  // the limit counts as failed even though the kernel eventually finished it.
  const bool inTime = ProcessClock().NowMs() - start <= kReportTimeoutMs;
  return written >= 0 && inTime ? 1 : 0;
}

int ReadReport(std::uint8_t* buffer) {
  buffer[0] = 0;
  const Opened opened = OpenKorva();
  if (!opened.handle) return 0;
  std::array<std::uint8_t, kPayloadLength> payload{};
  const int got = opened.handle->Read(payload.data(), payload.size(), kReportTimeoutMs);
  if (got <= 0) {
    buffer[0] = 0;
    return 0;
  }
  // The caller sees the payload at 0..63; byte 64 repeats the last payload byte, as it does
  // after the report ID has been shifted out of a 65-byte buffer.
  std::copy(payload.begin(), payload.end(), buffer);
  buffer[kPayloadLength] = payload[kPayloadLength - 1];
  return 1;
}

}  // namespace korva
