// HID on Windows. Interfaces are listed through SetupAPI and identified by their attributes,
// read through a handle that asks for no access (so that an amp another program holds open
// is still listed, and the access check can say so). A transfer is one overlapped ReadFile
// or WriteFile, waited for with a limit; whatever happens, the system has finished with the
// buffer and the OVERLAPPED record before they go away.
#include "device/win32_hid_backend.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <optional>
#include <vector>

#include "device/win32_hid_calls.h"

namespace korva {
namespace win32 {
namespace {

constexpr DWORD kPresentInterfaces = DIGCF_PRESENT | DIGCF_DEVICEINTERFACE;
constexpr DWORD kShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;
constexpr DWORD kNoAccess = 0;  // enough to read the attributes
// The detail record holds a device path; anything longer than this is not one.
constexpr DWORD kLongestDetailRecord = 64 * 1024;
constexpr std::size_t kDetailFixedPart = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);

// The device path of one listed interface.
std::optional<std::string> InterfacePath(HidCalls& calls, HDEVINFO list,
                                         SP_DEVICE_INTERFACE_DATA& data) {
  DWORD required = 0;
  // Asked without a record, the call fails by design and says how long the record must be.
  calls.SetupDiGetDeviceInterfaceDetailA(list, &data, nullptr, 0, &required, nullptr);
  if (required <= kDetailFixedPart || required > kLongestDetailRecord) return std::nullopt;
  std::vector<DWORD> storage((required + sizeof(DWORD) - 1) /
                             sizeof(DWORD));  // aligned for the record
  auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(storage.data());
  // The size of the record's fixed part as this process lays it out: 8 in a 64-bit process,
  // 5 in a 32-bit one. The system refuses any other value.
  detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
  if (!calls.SetupDiGetDeviceInterfaceDetailA(list, &data, detail, required, nullptr, nullptr))
    return std::nullopt;
  return std::string(detail->DevicePath, strnlen(detail->DevicePath, required - kDetailFixedPart));
}

// Where a transfer ended.
struct Outcome {
  enum Kind { Moved, TimedOut, Failed } kind = Failed;
  DWORD bytes = 0;
};

class Handle final : public HidHandle {
 public:
  Handle(HidCalls& calls, HANDLE device, const HIDP_CAPS& caps)
      : calls_(calls),
        device_(device),
        inputLength_(caps.InputReportByteLength),
        outputLength_(caps.OutputReportByteLength) {}
  ~Handle() override { calls_.CloseHandle(device_); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  // The IDs of the device behind this handle, asked of the handle. Windows device paths name
  // one device instance, so this is a second look rather than the only safeguard.
  std::optional<HidInterfaceInfo> Identity() override {
    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof attributes;
    if (!calls_.HidD_GetAttributes(device_, &attributes)) return std::nullopt;
    return HidInterfaceInfo{{}, attributes.VendorID, attributes.ProductID};
  }

  // The system takes a whole output report of the device's length: a shorter report is padded
  // with zeros, and one that the device's report cannot hold is refused rather than cut.
  int Write(const std::uint8_t* data, std::size_t length, int timeoutMs) override {
    if (outputLength_ == 0 || length > outputLength_) return -1;
    std::vector<std::uint8_t> report(outputLength_, 0);
    std::copy_n(data, length, report.begin());
    const Outcome outcome = Transfer(Direction::Write, report.data(), outputLength_, timeoutMs);
    return outcome.kind == Outcome::Moved ? static_cast<int>(outcome.bytes) : -1;
  }

  // The system fills a whole input report, as long as the device declares it: the buffer has
  // that length, and of the payload after the report ID only what fits `data` is handed on.
  int Read(std::uint8_t* data, std::size_t length, int timeoutMs) override {
    if (inputLength_ == 0) return -1;
    std::vector<std::uint8_t> report(inputLength_, 0);
    const Outcome outcome = Transfer(Direction::Read, report.data(), inputLength_, timeoutMs);
    if (outcome.kind == Outcome::TimedOut) return 0;
    if (outcome.kind == Outcome::Failed || outcome.bytes == 0) return -1;
    const std::size_t received = std::min<std::size_t>(outcome.bytes, report.size());
    const std::size_t handed = std::min(received - 1, length);
    std::copy_n(report.begin() + 1, handed, data);
    return static_cast<int>(handed);
  }

 private:
  enum class Direction { Read, Write };

  Outcome Transfer(Direction direction, std::uint8_t* buffer, DWORD length, int timeoutMs) {
    HANDLE event =
        calls_.CreateEventA(nullptr, TRUE, FALSE, nullptr);  // manual reset, not signalled
    if (!event) return {};
    OVERLAPPED overlapped{};
    overlapped.hEvent = event;
    const BOOL finished = direction == Direction::Write
                              ? calls_.WriteFile(device_, buffer, length, nullptr, &overlapped)
                              : calls_.ReadFile(device_, buffer, length, nullptr, &overlapped);
    Outcome outcome;
    // A call that fails outright started nothing: there is nothing to wait for.
    if (finished || calls_.GetLastError() == ERROR_IO_PENDING)
      outcome = Await(overlapped, timeoutMs);
    calls_.CloseHandle(event);
    return outcome;
  }

  Outcome Await(OVERLAPPED& overlapped, int timeoutMs) {
    const DWORD waited =
        calls_.WaitForSingleObject(overlapped.hEvent, timeoutMs < 0 ? INFINITE : timeoutMs);
    const bool ended = waited == WAIT_OBJECT_0;
    if (!ended) calls_.CancelIo(device_);
    // After a cancel the system may still write into the buffer and the record until the
    // cancellation has completed, so this then waits for it. And an ended transfer is not yet
    // a good one: the device or its driver may have failed it. The system's word decides.
    DWORD bytes = 0;
    if (calls_.GetOverlappedResult(device_, &overlapped, &bytes, ended ? FALSE : TRUE)) {
      return {Outcome::Moved, bytes};
    }
    return {waited == WAIT_TIMEOUT ? Outcome::TimedOut : Outcome::Failed, 0};
  }

  HidCalls& calls_;
  HANDLE device_;
  const DWORD inputLength_;
  const DWORD outputLength_;
};

class Backend final : public HidBackend {
 public:
  explicit Backend(HidCalls& calls) : calls_(calls) {}

  std::vector<HidInterfaceInfo> Enumerate() override {
    std::vector<HidInterfaceInfo> found;
    GUID hidClass;
    calls_.HidD_GetHidGuid(&hidClass);
    HDEVINFO list = calls_.SetupDiGetClassDevsA(&hidClass, nullptr, nullptr, kPresentInterfaces);
    if (list == INVALID_HANDLE_VALUE) return found;
    for (DWORD index = 0;; ++index) {
      SP_DEVICE_INTERFACE_DATA data{};
      data.cbSize = sizeof data;  // 32 in a 64-bit process, 28 in a 32-bit one
      if (!calls_.SetupDiEnumDeviceInterfaces(list, nullptr, &hidClass, index, &data))
        break;  // no more
      const std::optional<std::string> path = InterfacePath(calls_, list, data);
      if (!path) continue;
      // An interface whose attributes cannot be read does not match anything.
      if (const std::optional<HIDD_ATTRIBUTES> ids = Attributes(*path)) {
        found.push_back({*path, ids->VendorID, ids->ProductID});
      }
    }
    calls_.SetupDiDestroyDeviceInfoList(list);
    return found;
  }

  std::unique_ptr<HidHandle> Open(const std::string& path) override {
    HANDLE device = OpenForTransfers(path);
    if (device == INVALID_HANDLE_VALUE) return nullptr;
    HIDP_CAPS caps{};
    if (!Capabilities(device, caps)) {
      calls_.CloseHandle(device);
      return nullptr;
    }
    return std::make_unique<Handle>(calls_, device, caps);
  }

  // Windows refuses the open with a sharing violation when another program holds the amp
  // without sharing it for reading and writing, and denies access to devices the system keeps
  // for itself (keyboards, mice) or that a policy blocks.
  HidOpenProblem DiagnoseOpen(const std::string& path) override {
    HANDLE device = OpenForTransfers(path);
    if (device != INVALID_HANDLE_VALUE) {
      calls_.CloseHandle(device);
      return HidOpenProblem::None;
    }
    switch (calls_.GetLastError()) {
      case ERROR_SHARING_VIOLATION:
        return HidOpenProblem::HeldElsewhere;
      case ERROR_ACCESS_DENIED:
        return HidOpenProblem::PermissionDenied;
      default:
        return HidOpenProblem::Unknown;
    }
  }

 private:
  HANDLE OpenForTransfers(const std::string& path) {
    return calls_.CreateFileA(path.c_str(), kReadWrite, kShareReadWrite, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr);
  }

  std::optional<HIDD_ATTRIBUTES> Attributes(const std::string& path) {
    HANDLE device = calls_.CreateFileA(path.c_str(), kNoAccess, kShareReadWrite, nullptr,
                                       OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE) return std::nullopt;
    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof attributes;
    const bool read = calls_.HidD_GetAttributes(device, &attributes);
    calls_.CloseHandle(device);
    if (!read) return std::nullopt;
    return attributes;
  }

  bool Capabilities(HANDLE device, HIDP_CAPS& caps) {
    PHIDP_PREPARSED_DATA preparsed = nullptr;
    if (!calls_.HidD_GetPreparsedData(device, &preparsed)) return false;
    const bool read = calls_.HidP_GetCaps(preparsed, &caps) == HIDP_STATUS_SUCCESS;
    calls_.HidD_FreePreparsedData(preparsed);
    return read;
  }

  HidCalls& calls_;
};

}  // namespace

std::unique_ptr<HidBackend> MakeHidBackend(HidCalls& calls) {
  return std::make_unique<Backend>(calls);
}

}  // namespace win32

std::unique_ptr<HidBackend> MakeSystemHidBackend() {
  return win32::MakeHidBackend(win32::SystemHidCalls());
}

}  // namespace korva
