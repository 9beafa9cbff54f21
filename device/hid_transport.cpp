// Finds the KORVA by vendor and product ID and moves one report per call. Each write and
// read opens its own handle and closes it, so a presence test on the UI thread never touches
// the handle that a job thread is using.
#include "device/hid_transport.h"

#include <algorithm>
#include <atomic>
#include <mutex>

#include "device/clock.h"
#include "device/device_access.h"

namespace korva {
namespace {

std::atomic<HidBackend*> g_backend{nullptr};

// The handle that OpenDevice() leaves for its caller to close.
std::mutex g_linkMutex;
std::unique_ptr<HidHandle> g_linkHandle;

struct KorvaSearch {
  std::unique_ptr<HidHandle> handle;
  std::string path;  // the interface opened, else the first that refused; empty when none
};

// The first present interface with the KORVA's IDs that can be opened. An interface that
// cannot be opened for reading and writing (held elsewhere, no permission) does not match.
KorvaSearch SearchKorva() {
  KorvaSearch search;
  HidBackend* backend = g_backend.load();
  if (!backend) return search;
  for (const HidInterfaceInfo& info : backend->Enumerate()) {
    if (!IsKorvaInterface(info)) continue;
    if (auto handle = backend->Open(info.path)) return {std::move(handle), info.path};
    if (search.path.empty()) search.path = info.path;
  }
  return search;
}

std::unique_ptr<HidHandle> OpenKorva() { return SearchKorva().handle; }

}  // namespace

void SetHidBackend(HidBackend* backend) {
  CloseDevice();
  g_backend.store(backend);
}

HidBackend* CurrentHidBackend() { return g_backend.load(); }

int OpenDevice() {
  KorvaSearch search = SearchKorva();
  NotePresenceTest(search.handle != nullptr, search.path);
  if (!search.handle) return 0;
  std::lock_guard lock(g_linkMutex);
  g_linkHandle = std::move(search.handle);
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
  auto handle = OpenKorva();
  if (!handle) return 0;
  report[0] = reportId;
  const std::int64_t start = ProcessClock().NowMs();
  const int written = handle->Write(report.data(), report.size(), kReportTimeoutMs);
  // A write that completes counts, however many bytes it reports; one that took longer than
  // the limit counts as failed even though the kernel eventually finished it.
  const bool inTime = ProcessClock().NowMs() - start <= kReportTimeoutMs;
  return written >= 0 && inTime ? 1 : 0;
}

int ReadReport(std::uint8_t* buffer) {
  buffer[0] = 0;
  auto handle = OpenKorva();
  if (!handle) return 0;
  std::array<std::uint8_t, kPayloadLength> payload{};
  const int got = handle->Read(payload.data(), payload.size(), kReportTimeoutMs);
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
