// The Windows HID backend against a stand-in for the Windows HID stack: record sizes as a
// 64-bit process must give them, waits and cancellations, the system's verdict on every
// transfer, report lengths other than 65, the reasons an open fails, and the main road moved
// report by report through it to the virtual amp. Then the backend on the system's own calls:
// under Wine, the HID class that Wine itself presents.
#include "device/win32_hid_backend.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <set>

#include "device/device_access.h"
#include "device/hid_transport.h"
#include "device/win32_hid_calls.h"
#include "images/embedded_images.h"
#include "jobs/start_job.h"
#include "tests/shared/test_support.h"

namespace korva::testing {
namespace {

// The Windows HID stack in front of a virtual bus: SetupAPI lists the bus's interfaces,
// CreateFileA opens them, overlapped ReadFile and WriteFile move reports with the report ID in
// front, as the HID class driver does. It checks what the real system checks (record sizes,
// buffer lengths, handles) and records what the real system would punish silently: an event,
// OVERLAPPED record or handle given up while a transfer still uses it.
class FakeWindowsHid final : public win32::HidCalls {
 public:
  // How one interface differs from a plain 65-byte KORVA interface.
  struct Quirks {
    USHORT inputLength = kReportLength;
    USHORT outputLength = kReportLength;
    bool attributesFail = false;
    bool writesNeverComplete = false;
    bool transfersFailInDevice = false;  // the transfer ends, with an error
    bool refusedAtCall = false;          // ReadFile and WriteFile fail at once
  };

  explicit FakeWindowsHid(VirtualHidBus& bus) : bus_(bus) {}

  void SetQuirks(const std::string& path, Quirks quirks) {
    std::lock_guard lock(mutex_);
    quirks_[path] = quirks;
  }
  std::vector<std::string> Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  std::vector<std::string> Violations() const {
    std::lock_guard lock(mutex_);
    return violations_;
  }
  void ClearCalls() {
    std::lock_guard lock(mutex_);
    calls_.clear();
  }
  // Handles, device lists and preparsed data that were given out and not yet given back.
  int Outstanding() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(objects_.size() + lists_.size() + preparsed_.size());
  }
  std::vector<DWORD> DetailSizeFields() const {
    std::lock_guard lock(mutex_);
    return detailSizeFields_;
  }
  std::vector<DWORD> ReadLengths() const {
    std::lock_guard lock(mutex_);
    return readLengths_;
  }
  std::vector<std::vector<std::uint8_t>> Written() const {
    std::lock_guard lock(mutex_);
    return written_;
  }

  void HidD_GetHidGuid(GUID* guid) override { *guid = kHidClass; }

  HDEVINFO SetupDiGetClassDevsA(const GUID* guid, PCSTR, HWND, DWORD flags) override {
    std::lock_guard lock(mutex_);
    if (std::memcmp(guid, &kHidClass, sizeof kHidClass) != 0 ||
        flags != (DIGCF_PRESENT | DIGCF_DEVICEINTERFACE)) {
      violations_.push_back("listed something other than the present HID interfaces");
    }
    HDEVINFO list = NewToken();
    lists_[list] = bus_.Enumerate();
    return list;
  }

  BOOL SetupDiEnumDeviceInterfaces(HDEVINFO list, PSP_DEVINFO_DATA, const GUID*, DWORD index,
                                   PSP_DEVICE_INTERFACE_DATA data) override {
    std::lock_guard lock(mutex_);
    if (data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) return Fail(ERROR_INVALID_USER_BUFFER);
    const auto& interfaces = lists_.at(list);
    if (index >= interfaces.size()) return Fail(ERROR_NO_MORE_ITEMS);
    data->Reserved = index;
    return TRUE;
  }

  BOOL SetupDiGetDeviceInterfaceDetailA(HDEVINFO list, PSP_DEVICE_INTERFACE_DATA data,
                                        PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD detailSize,
                                        PDWORD requiredSize, PSP_DEVINFO_DATA) override {
    std::lock_guard lock(mutex_);
    const std::string& path = lists_.at(list).at(data->Reserved).path;
    const DWORD required =
        offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + path.size() + 1;
    if (requiredSize) *requiredSize = required;
    if (!detail) return Fail(ERROR_INSUFFICIENT_BUFFER);
    detailSizeFields_.push_back(detail->cbSize);
    if (detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A))
      return Fail(ERROR_INVALID_USER_BUFFER);
    if (detailSize < required) return Fail(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(detail->DevicePath, path.c_str(), path.size() + 1);
    return TRUE;
  }

  BOOL SetupDiDestroyDeviceInfoList(HDEVINFO list) override {
    std::lock_guard lock(mutex_);
    return lists_.erase(list) ? TRUE : Fail(ERROR_INVALID_HANDLE);
  }

  HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES,
                     DWORD disposition, DWORD flags, HANDLE) override {
    std::lock_guard lock(mutex_);
    calls_.push_back("CreateFileA");
    if (disposition != OPEN_EXISTING || share != (FILE_SHARE_READ | FILE_SHARE_WRITE)) {
      violations_.push_back("opened without sharing it for reading and writing");
    }
    Object file{Object::Kind::File, path, access, flags, nullptr};
    if (access & (GENERIC_READ | GENERIC_WRITE)) {
      file.device = bus_.Open(path);
      if (!file.device) {
        const HidOpenProblem problem = bus_.DiagnoseOpen(path);
        Fail(problem == HidOpenProblem::HeldElsewhere      ? ERROR_SHARING_VIOLATION
             : problem == HidOpenProblem::PermissionDenied ? ERROR_ACCESS_DENIED
                                                           : ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
      }
    }
    HANDLE handle = NewToken();
    objects_.emplace(handle, std::move(file));
    return handle;
  }

  BOOL CloseHandle(HANDLE handle) override {
    std::lock_guard lock(mutex_);
    auto it = objects_.find(handle);
    if (it == objects_.end()) return Fail(ERROR_INVALID_HANDLE);
    calls_.push_back(it->second.kind == Object::Kind::Event ? "CloseHandle(event)"
                                                            : "CloseHandle(device)");
    for (const auto& [event, transfer] : transfers_) {
      if (transfer.pending && (event == handle || transfer.file == handle)) {
        violations_.push_back("closed a handle that a pending transfer still uses");
      }
    }
    if (it->second.kind == Object::Kind::Event) transfers_.erase(handle);
    objects_.erase(it);
    return TRUE;
  }

  DWORD GetLastError() override { return t_lastError; }

  BOOLEAN HidD_GetAttributes(HANDLE device, PHIDD_ATTRIBUTES attributes) override {
    std::lock_guard lock(mutex_);
    const Object& file = objects_.at(device);
    if (attributes->Size != sizeof(HIDD_ATTRIBUTES) || QuirksOf(file.path).attributesFail) {
      return Fail(ERROR_INVALID_PARAMETER);
    }
    for (const HidInterfaceInfo& info : bus_.Enumerate()) {
      if (info.path != file.path) continue;
      attributes->VendorID = info.vendorId;
      attributes->ProductID = info.productId;
      return TRUE;
    }
    return Fail(ERROR_DEVICE_NOT_CONNECTED);
  }

  BOOLEAN HidD_GetPreparsedData(HANDLE device, PHIDP_PREPARSED_DATA* data) override {
    std::lock_guard lock(mutex_);
    auto* token = reinterpret_cast<PHIDP_PREPARSED_DATA>(NewToken());
    preparsed_[token] = objects_.at(device).path;
    *data = token;
    return TRUE;
  }

  NTSTATUS HidP_GetCaps(PHIDP_PREPARSED_DATA data, PHIDP_CAPS caps) override {
    std::lock_guard lock(mutex_);
    const Quirks quirks = QuirksOf(preparsed_.at(data));
    *caps = HIDP_CAPS{};
    caps->InputReportByteLength = quirks.inputLength;
    caps->OutputReportByteLength = quirks.outputLength;
    return HIDP_STATUS_SUCCESS;
  }

  BOOLEAN HidD_FreePreparsedData(PHIDP_PREPARSED_DATA data) override {
    std::lock_guard lock(mutex_);
    return preparsed_.erase(data) ? TRUE : Fail(ERROR_INVALID_PARAMETER);
  }

  HANDLE CreateEventA(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState,
                      LPCSTR name) override {
    std::lock_guard lock(mutex_);
    calls_.push_back("CreateEventA");
    if (!manualReset || initialState || name)
      violations_.push_back("the event is not an unnamed manual-reset one");
    HANDLE event = NewToken();
    objects_.emplace(event, Object{Object::Kind::Event, "", 0, 0, nullptr});
    return event;
  }

  BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD length, LPDWORD,
                 LPOVERLAPPED overlapped) override {
    std::lock_guard lock(mutex_);
    calls_.push_back("WriteFile");
    Object& device = Device(file, overlapped);
    const Quirks quirks = QuirksOf(device.path);
    if (quirks.refusedAtCall) return Fail(ERROR_DEVICE_NOT_CONNECTED);
    // The HID class driver takes exactly one whole output report.
    if (length != quirks.outputLength) return Fail(ERROR_INVALID_PARAMETER);
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    written_.emplace_back(bytes, bytes + length);
    if (quirks.writesNeverComplete) return Start(file, overlapped, Transfer::Outcome::Never, 0);
    const bool taken = !quirks.transfersFailInDevice && device.device->Write(bytes, length, 0) >= 0;
    return Start(file, overlapped, taken ? Transfer::Outcome::Done : Transfer::Outcome::Error,
                 length);
  }

  BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD length, LPDWORD,
                LPOVERLAPPED overlapped) override {
    std::lock_guard lock(mutex_);
    calls_.push_back("ReadFile");
    readLengths_.push_back(length);
    Object& device = Device(file, overlapped);
    const Quirks quirks = QuirksOf(device.path);
    if (quirks.refusedAtCall) return Fail(ERROR_DEVICE_NOT_CONNECTED);
    // The HID class driver refuses a buffer shorter than the input report, and fills the
    // whole report: the report ID, then the payload.
    if (length < quirks.inputLength) return Fail(ERROR_INVALID_USER_BUFFER);
    if (quirks.transfersFailInDevice) return Start(file, overlapped, Transfer::Outcome::Error, 0);
    auto* report = static_cast<std::uint8_t*>(buffer);
    std::vector<std::uint8_t> payload(quirks.inputLength - 1);
    const int got = device.device->Read(payload.data(), payload.size(), 0);
    if (got < 0) return Start(file, overlapped, Transfer::Outcome::Error, 0);
    if (got == 0) return Start(file, overlapped, Transfer::Outcome::Never, 0);
    report[0] = 0;
    std::copy(payload.begin(), payload.end(), report + 1);
    return Start(file, overlapped, Transfer::Outcome::Done, quirks.inputLength);
  }

  // No real wait: a transfer that never completes lets the whole limit pass on the bus's clock.
  DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) override {
    std::lock_guard lock(mutex_);
    calls_.push_back("WaitForSingleObject(" + std::to_string(milliseconds) + ")");
    const Transfer& transfer = transfers_.at(handle);
    if (transfer.outcome != Transfer::Outcome::Never) return WAIT_OBJECT_0;
    bus_.BusClock().Pause(static_cast<int>(milliseconds));
    return WAIT_TIMEOUT;
  }

  BOOL CancelIo(HANDLE file) override {
    std::lock_guard lock(mutex_);
    calls_.push_back("CancelIo");
    for (auto& [event, transfer] : transfers_) {
      if (transfer.file == file && transfer.pending) transfer.cancelled = true;
    }
    return TRUE;
  }

  BOOL GetOverlappedResult(HANDLE file, LPOVERLAPPED overlapped, LPDWORD transferred,
                           BOOL wait) override {
    std::lock_guard lock(mutex_);
    calls_.push_back(wait ? "GetOverlappedResult(wait)" : "GetOverlappedResult");
    Transfer& transfer = transfers_.at(overlapped->hEvent);
    if (transfer.file != file) violations_.push_back("asked about a transfer on another handle");
    *transferred = 0;
    if (transfer.outcome == Transfer::Outcome::Never) {
      if (!wait) return Fail(ERROR_IO_INCOMPLETE);
      if (!transfer.cancelled) {
        violations_.push_back("waited for a transfer that nothing will end");
        return Fail(ERROR_IO_INCOMPLETE);
      }
      // The cancellation completes now: the system writes its status into the record.
      overlapped->Internal = kStatusCancelled;
      transfer.pending = false;
      return Fail(ERROR_OPERATION_ABORTED);
    }
    transfer.pending = false;
    if (transfer.outcome == Transfer::Outcome::Error) return Fail(ERROR_GEN_FAILURE);
    *transferred = transfer.bytes;
    return TRUE;
  }

 private:
  struct Object {
    enum class Kind { File, Event } kind;
    std::string path;
    DWORD access = 0;
    DWORD flags = 0;
    std::unique_ptr<HidHandle> device;  // a file opened for reading and writing
  };
  struct Transfer {
    enum class Outcome { Done, Error, Never } outcome;
    HANDLE file;
    DWORD bytes;
    bool pending = true;  // until the caller has collected the outcome or its cancellation
    bool cancelled = false;
  };

  static constexpr ULONG_PTR kStatusCancelled = 0xC0000120;
  static constexpr GUID kHidClass = {
      0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

  HANDLE NewToken() { return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(nextToken_++)); }
  BOOL Fail(DWORD error) {
    t_lastError = error;
    return FALSE;
  }
  Quirks QuirksOf(const std::string& path) const {
    auto it = quirks_.find(path);
    return it == quirks_.end() ? Quirks{} : it->second;
  }
  Object& Device(HANDLE file, LPOVERLAPPED overlapped) {
    Object& device = objects_.at(file);
    if (!device.device || !(device.flags & FILE_FLAG_OVERLAPPED) || !overlapped) {
      violations_.push_back("a transfer on a handle not opened for overlapped reading and writing");
    }
    return device;
  }
  // The transfer is queued (or has already ended) and its event says when it has.
  BOOL Start(HANDLE file, LPOVERLAPPED overlapped, Transfer::Outcome outcome, DWORD bytes) {
    transfers_.insert_or_assign(overlapped->hEvent, Transfer{outcome, file, bytes});
    return Fail(ERROR_IO_PENDING);
  }

  static thread_local DWORD t_lastError;
  VirtualHidBus& bus_;
  mutable std::mutex mutex_;
  std::uintptr_t nextToken_ = 0x100;
  std::map<std::string, Quirks> quirks_;
  std::map<HDEVINFO, std::vector<HidInterfaceInfo>> lists_;
  std::map<HANDLE, Object> objects_;
  std::map<HANDLE, Transfer> transfers_;  // by event
  std::map<PHIDP_PREPARSED_DATA, std::string> preparsed_;
  std::vector<std::string> calls_;
  std::vector<std::string> violations_;
  std::vector<DWORD> detailSizeFields_;
  std::vector<DWORD> readLengths_;
  std::vector<std::vector<std::uint8_t>> written_;
};

thread_local DWORD FakeWindowsHid::t_lastError = 0;

constexpr const char* kKorvaPath = "/dev/hidraw-korva";  // the virtual amp's path on the bus

// The simulated amp, reached through the Windows backend on the stand-in stack.
class Win32BackendTest : public KorvaTest {
 protected:
  Win32BackendTest() : windows(sim.bus), backend(win32::MakeHidBackend(windows)) {
    SetHidBackend(backend.get());
  }
  ~Win32BackendTest() override {
    WaitForWorkers();
    SetHidBackend(&sim.bus);
  }
  void ExpectEverythingGivenBack() {
    EXPECT_EQ(windows.Outstanding(), 0);
    EXPECT_EQ(sim.bus.OpenHandles(), 0);
    EXPECT_EQ(windows.Violations(), std::vector<std::string>{});
  }

  FakeWindowsHid windows;
  std::unique_ptr<HidBackend> backend;
};

TEST_F(Win32BackendTest, ListsTheHidClassWithTheRecordSizesOfThisProcess) {
  OtherHidDevice mouse("\\\\?\\hid#vid_046d&pid_c077", 0x046D, 0xC077, true);
  OtherHidDevice broken("\\\\?\\hid#broken", 0x1234, 0x5678, true);
  sim.bus.Attach(&mouse);
  sim.bus.Attach(&broken);
  windows.SetQuirks(broken.Info().path, {.attributesFail = true});

  const std::vector<HidInterfaceInfo> listed = backend->Enumerate();
  ASSERT_EQ(listed.size(), 2u);  // the interface whose attributes cannot be read is left out
  EXPECT_EQ(listed[0].path, kKorvaPath);
  EXPECT_EQ(listed[0].vendorId, kKorvaVendorId);
  EXPECT_EQ(listed[0].productId, kKorvaProductId);
  EXPECT_EQ(listed[1].path, mouse.Info().path);
  EXPECT_EQ(listed[1].vendorId, 0x046D);
  // The detail record's size field is the fixed part as this process lays it out (8 bytes in
  // a 64-bit process); 5, right for a 32-bit process only, would fail every interface here.
  EXPECT_EQ(windows.DetailSizeFields(),
            std::vector<DWORD>(3, sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)));
  ExpectEverythingGivenBack();
  sim.bus.Detach(&mouse);
  sim.bus.Detach(&broken);
}

TEST_F(Win32BackendTest, OneReportEachWayOpensOverlappedAndGivesEverythingBack) {
  HidReport report{};
  report.fill(0x5A);
  ASSERT_EQ(WriteReport(report, kReportId), 1);
  ASSERT_EQ(windows.Written().size(), 1u);
  EXPECT_EQ(windows.Written()[0].size(), kReportLength);
  EXPECT_EQ(windows.Written()[0][0], kReportId);
  EXPECT_EQ(sim.korva.Writes().back().bytes, report);
  ExpectEverythingGivenBack();

  ASSERT_EQ(InitStates(), 1);  // the amp now streams status reports echoing poll 1
  windows.ClearCalls();
  std::array<std::uint8_t, kReportLength> buffer{};
  ASSERT_EQ(ReadReport(buffer.data()), 1);
  EXPECT_EQ(buffer[kStatusByte], kStatusAcknowledged);
  EXPECT_EQ(buffer[kStatusSequenceByte], 1);
  EXPECT_EQ(buffer[kPayloadLength], buffer[kPayloadLength - 1]);
  const std::vector<std::string> read = windows.Calls();
  // Listing opens each interface for its attributes only; then the amp is opened for transfers.
  const auto transfer = std::find(read.begin(), read.end(), "CreateEventA");
  ASSERT_NE(transfer, read.end());
  EXPECT_EQ(std::vector<std::string>(transfer, read.end()),
            (std::vector<std::string>{"CreateEventA", "ReadFile", "WaitForSingleObject(3000)",
                                      "GetOverlappedResult", "CloseHandle(event)",
                                      "CloseHandle(device)"}));
  ExpectEverythingGivenBack();
}

TEST_F(Win32BackendTest, ATimedOutTransferIsCancelledAndItsCancellationAwaited) {
  // A read of a silent amp.
  ExpectSilentReadFailsAtTheLimit();
  const std::vector<std::string> read = windows.Calls();
  EXPECT_EQ(std::vector<std::string>(read.end() - 5, read.end()),
            (std::vector<std::string>{"WaitForSingleObject(3000)", "CancelIo",
                                      "GetOverlappedResult(wait)", "CloseHandle(event)",
                                      "CloseHandle(device)"}));
  ExpectEverythingGivenBack();

  // A write that never leaves.
  sim.korva.SetFaults({});
  windows.SetQuirks(kKorvaPath, {.writesNeverComplete = true});
  windows.ClearCalls();
  HidReport report{};
  EXPECT_EQ(WriteReport(report, kReportId), 0);
  const std::vector<std::string> write = windows.Calls();
  EXPECT_EQ(std::vector<std::string>(write.end() - 5, write.end()),
            (std::vector<std::string>{"WaitForSingleObject(3000)", "CancelIo",
                                      "GetOverlappedResult(wait)", "CloseHandle(event)",
                                      "CloseHandle(device)"}));
  EXPECT_TRUE(sim.korva.Writes().empty());
  ExpectEverythingGivenBack();
}

TEST_F(Win32BackendTest, ATransferThatEndsIsGoodOnlyWhenTheSystemSaysSo) {
  // The event is signalled for a failed transfer too.
  windows.SetQuirks(kKorvaPath, {.transfersFailInDevice = true});
  HidReport report{};
  EXPECT_EQ(WriteReport(report, kReportId), 0);
  std::array<std::uint8_t, kReportLength> buffer;
  buffer.fill(0xAA);
  EXPECT_EQ(ReadReport(buffer.data()), 0);
  EXPECT_EQ(buffer[0], 0);
  ExpectEverythingGivenBack();

  // A whole job on such a link fails at its first report instead of "succeeding".
  ASSERT_EQ(LoadEmbeddedImages(), 1);
  windows.SetQuirks(kKorvaPath, {});
  ASSERT_EQ(InitStates(), 1);
  windows.SetQuirks(kKorvaPath, {.transfersFailInDevice = true});
  ASSERT_EQ(StartJob(&owner, kJobMcu), 0);  // its "INITSTA" is not acknowledged
  ExpectEverythingGivenBack();
}

TEST_F(Win32BackendTest, ReportLengthsOtherThan65) {
  OtherHidDevice wide("\\\\?\\hid#wide", kKorvaVendorId, kKorvaProductId, true);
  sim.korva.Unplug();
  sim.bus.Attach(&wide);

  // A longer input report is read whole into a buffer of its length; only 64 payload bytes
  // reach the caller's buffer, and nothing past its end.
  windows.SetQuirks(wide.Info().path, {.inputLength = 129});
  struct {
    std::array<std::uint8_t, kReportLength> buffer;
    std::array<std::uint8_t, 64> guard;
  } area;
  area.buffer.fill(0);
  area.guard.fill(0xEE);
  ASSERT_EQ(ReadReport(area.buffer.data()), 1);
  EXPECT_EQ(windows.ReadLengths(), std::vector<DWORD>{129});
  for (std::size_t i = 0; i < kPayloadLength; ++i) ASSERT_EQ(area.buffer[i], i + 1) << i;
  EXPECT_EQ(area.buffer[kPayloadLength], kPayloadLength);
  EXPECT_TRUE(
      std::all_of(area.guard.begin(), area.guard.end(), [](std::uint8_t b) { return b == 0xEE; }));

  // A longer output report leaves padded with zeros; a shorter one would cut the report and
  // is not written at all.
  HidReport report{};
  report.fill(0x33);
  windows.SetQuirks(wide.Info().path, {.outputLength = 129});
  ASSERT_EQ(WriteReport(report, kReportId), 1);
  std::vector<std::uint8_t> expected(report.begin(), report.end());
  expected.resize(129, 0);
  ASSERT_EQ(windows.Written().size(), 1u);
  EXPECT_EQ(windows.Written()[0], expected);
  windows.SetQuirks(wide.Info().path, {.outputLength = 33});
  EXPECT_EQ(WriteReport(report, kReportId), 0);
  windows.SetQuirks(wide.Info().path, {.outputLength = 0});  // a device without output reports
  EXPECT_EQ(WriteReport(report, kReportId), 0);
  EXPECT_EQ(windows.Written().size(), 1u);
  ExpectEverythingGivenBack();
  sim.bus.Detach(&wide);
}

// A call that fails outright (the amp was unplugged since the open) started nothing: there is
// nothing to wait for, and no limit to sit out.
TEST_F(Win32BackendTest, ATransferRefusedAtTheCallIsNotWaitedFor) {
  windows.SetQuirks(kKorvaPath, {.refusedAtCall = true});
  const auto before = clock.NowMs();
  HidReport report{};
  EXPECT_EQ(WriteReport(report, kReportId), 0);
  std::array<std::uint8_t, kReportLength> buffer{};
  EXPECT_EQ(ReadReport(buffer.data()), 0);
  EXPECT_EQ(clock.NowMs(), before);
  for (const std::string& call : windows.Calls())
    EXPECT_EQ(call.find("Wait"), std::string::npos) << call;
  ExpectEverythingGivenBack();
}

TEST_F(Win32BackendTest, WhyTheAmpDoesNotOpen) {
  sim.korva.SetFaults({.openedElsewhere = true});
  DeviceAccessReport report = CheckDeviceAccess();
  EXPECT_EQ(report.access, DeviceAccess::HeldElsewhere);
  EXPECT_EQ(report.path, kKorvaPath);
  sim.korva.SetFaults({.permissionDenied = true});
  EXPECT_EQ(CheckDeviceAccess().access, DeviceAccess::PermissionDenied);
  EXPECT_EQ(IsDevicePresent(), 0);
  sim.korva.SetFaults({});
  EXPECT_EQ(CheckDeviceAccess().access, DeviceAccess::Ready);
  ExpectEverythingGivenBack();
}

TEST_F(Win32BackendTest, TheMainRoadArrivesWholeThroughTheWindowsStack) {
  ASSERT_EQ(LoadEmbeddedImages(), 1);
  ASSERT_EQ(StartJob(&owner, kJobMcu), 1);
  ExpectCompleteRun(owner.WaitForFinal(), WM_MCU_JOB, 752);
  ASSERT_EQ(StartJob(&owner, kJobDsp), 1);
  const auto messages = owner.WaitForFinal(2);
  EXPECT_EQ(messages.back(), (JobMessage{WM_DSP_JOB, JOB_DONE, 0}));
  EXPECT_EQ(sim.korva.McuVersion(), "1.38");
  EXPECT_EQ(sim.korva.DspVersion(), "250");
  EXPECT_EQ(sim.korva.Violations(), std::vector<std::string>{});
  ExpectEverythingGivenBack();
}

// The backend on the system's own calls. Wine presents a HID class of its own (a virtual
// mouse and keyboard of vendor 0x845E); on Windows the class holds whatever is plugged in.
bool RunningUnderWine() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

TEST(Win32SystemHidTest, ListsTheSystemsHidClassAndCannotFindAKorvaThere) {
  auto backend = MakeSystemHidBackend();
  const std::vector<HidInterfaceInfo> listed = backend->Enumerate();
  for (const HidInterfaceInfo& info : listed)
    EXPECT_EQ(info.path.rfind("\\\\?\\", 0), 0u) << info.path;
  if (RunningUnderWine()) {
    const bool winesOwn = std::any_of(listed.begin(), listed.end(),
                                      [](const auto& i) { return i.vendorId == 0x845E; });
    EXPECT_TRUE(winesOwn) << listed.size() << " interfaces listed";
  }
  SetHidBackend(backend.get());
  if (std::none_of(listed.begin(), listed.end(), IsKorvaInterface)) {
    std::array<std::uint8_t, kReportLength> buffer;
    buffer.fill(0xAA);
    HidReport report{};
    EXPECT_EQ(OpenDevice(), 0);
    EXPECT_EQ(WriteReport(report, kReportId), 0);
    EXPECT_EQ(ReadReport(buffer.data()), 0);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(CheckDeviceAccess().access, DeviceAccess::Absent);
  }
  SetHidBackend(nullptr);
}

// A real overlapped read on one of Wine's own interfaces, which send nothing: the wait runs
// out, the read is cancelled and its cancellation awaited. It ends with nothing read, and not
// before the limit given (how long after it depends on the machine, and is not tested).
TEST(Win32SystemHidTest, AReadThatGetsNothingEndsAtItsLimit) {
  if (!RunningUnderWine()) GTEST_SKIP() << "needs Wine's silent virtual HID devices";
  auto backend = MakeSystemHidBackend();
  std::unique_ptr<HidHandle> handle;
  for (const HidInterfaceInfo& info : backend->Enumerate()) {
    if (info.vendorId == 0x845E && (handle = backend->Open(info.path))) break;
  }
  ASSERT_TRUE(handle) << "none of Wine's HID interfaces opens";
  std::array<std::uint8_t, kPayloadLength> payload{};
  const DWORD start = GetTickCount();
  EXPECT_EQ(handle->Read(payload.data(), payload.size(), 200), 0);
  // GetTickCount moves in steps of about 16 ms.
  EXPECT_GE(GetTickCount() - start, 200u - 16u);
}

}  // namespace
}  // namespace korva::testing
