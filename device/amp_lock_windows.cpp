// The amp lock on Windows: LockFileEx on the amp's lock file, named after the device's instance
// path. One HID interface has many spellings (\\?\ or \\.\ in front, any case, with or
// without its class's GUID), but one instance path, which SetupAPI resolves from any of them.
// The lock covers one byte far past the holder's record, so that another program can still read
// who holds it; it belongs to the file handle, so it goes with the handle's close, also when the
// process dies, and two opens in one process exclude each other.
#include <windows.h>
// After windows.h.
#include <setupapi.h>

#include <cctype>

#include "device/amp_lock.h"

namespace korva {

std::filesystem::path DefaultAmpLockFolder(const EnvironmentLookup& variable) {
  if (const auto local = variable("LOCALAPPDATA");
      local && std::filesystem::path(*local).is_absolute()) {
    return std::filesystem::path(*local) / "korva-updater" / "locks";
  }
  std::error_code ignored;
  return std::filesystem::temp_directory_path(ignored) / "korva-updater-locks";
}

namespace {

constexpr DWORD kLongestRecord = 256;
constexpr DWORD kLongestInstancePath = 200;  // MAX_DEVICE_ID_LEN of the device manager
// The module's key: the update library reaches it by these IDs alone.
constexpr const char* kModuleKey = "USB\\VID_0ECB&PID_1EDC";
constexpr DWORD kLockedByteOffset = 0x40000000;  // far past any record

OVERLAPPED LockedByte() {
  OVERLAPPED at{};
  at.Offset = kLockedByteOffset;
  return at;
}

std::string Failed(const std::string& what) {
  return what + ": error " + std::to_string(GetLastError());
}

class FileLock final : public AmpLock {
 public:
  explicit FileLock(HANDLE file) : file_(file) {}
  ~FileLock() override {
    // Emptied first, so that the file never names a process that no longer holds the amp.
    SetFilePointer(file_, 0, nullptr, FILE_BEGIN);
    SetEndOfFile(file_);
    OVERLAPPED at = LockedByte();
    UnlockFileEx(file_, 0, 1, 0, &at);
    CloseHandle(file_);
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  HANDLE file_;
};

std::string ThisProgram() {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::filesystem::path(std::string(path, length)).stem().string();
}

AmpLockHolder ReadHolder(HANDLE file) {
  char text[kLongestRecord] = {};
  DWORD length = 0;
  OVERLAPPED start{};
  if (!ReadFile(file, text, kLongestRecord, &length, &start) || length == 0) return {};
  return ParseAmpHolderRecord(std::string_view(text, length));
}

void RecordHolder(HANDLE file) {
  const AmpLockHolder me = ThisProcessAsHolder();
  const std::string record = AmpHolderRecord(me.pid, me.program);
  SetFilePointer(file, 0, nullptr, FILE_BEGIN);
  SetEndOfFile(file);
  DWORD written = 0;
  WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// The instance path as SetupAPI has it for the interface at `path`; empty when it knows none.
std::string ResolvedInstancePath(const std::string& path) {
  const HDEVINFO list = SetupDiCreateDeviceInfoList(nullptr, nullptr);
  if (list == INVALID_HANDLE_VALUE) return {};
  std::string instance;
  SP_DEVICE_INTERFACE_DATA interfaceData{};
  interfaceData.cbSize = sizeof interfaceData;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  char text[kLongestInstancePath] = {};
  if (SetupDiOpenDeviceInterfaceA(list, path.c_str(), 0, &interfaceData)) {
    // Without a buffer for the detail this fails, but names the device the interface belongs to.
    SetupDiGetDeviceInterfaceDetailA(list, &interfaceData, nullptr, 0, nullptr, &device);
    if (SetupDiGetDeviceInstanceIdA(list, &device, text, sizeof text, nullptr)) instance = text;
  }
  SetupDiDestroyDeviceInfoList(list);
  return instance;
}

// The instance path read from the interface path itself, where SetupAPI does not know it:
// "\\?\hid#vid_1fc9&pid_001b#7&2b3c&0&0000#{4d1e55b2-...}" is
// "HID\VID_1FC9&PID_001B\7&2B3C&0&0000".
std::string InstancePathOfSpelling(std::string path) {
  for (const char* prefix : {"\\\\?\\", "\\\\.\\", "\\??\\"}) {
    if (path.rfind(prefix, 0) == 0) {
      path.erase(0, std::string(prefix).size());
      break;
    }
  }
  if (const std::size_t guid = path.rfind("#{"); guid != std::string::npos && path.back() == '}')
    path.erase(guid);
  for (char& c : path) {
    if (c == '#') c = '\\';
  }
  return Upper(path);
}

}  // namespace

std::string AmpInstanceKey(const std::string& devicePath) {
  const std::string resolved = ResolvedInstancePath(devicePath);
  return resolved.empty() ? InstancePathOfSpelling(devicePath) : Upper(resolved);
}

AmpLockHolder ThisProcessAsHolder() {
  return {static_cast<long>(GetCurrentProcessId()), ThisProgram()};
}

AmpLockAttempt TryLockAmpSystem(const std::string& devicePath) {
  return TryLockAmpFile(AmpInstanceKey(devicePath));
}

AmpLockAttempt TryLockModuleSystem() { return TryLockAmpFile(kModuleKey); }

AmpLockAttempt TryLockAmpFile(const std::string& key) {
  AmpLockAttempt attempt;
  const std::filesystem::path folder = AmpLockFolder();
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    attempt.problem = "the lock folder " + folder.string() + " cannot be made: " + error.message();
    return attempt;
  }
  const std::filesystem::path path = folder / AmpLockFileName(key);
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    attempt.problem = Failed("the lock file " + path.string() + " cannot be opened");
    return attempt;
  }
  OVERLAPPED at = LockedByte();
  if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
    if (GetLastError() == ERROR_LOCK_VIOLATION) {
      attempt.outcome = AmpLockOutcome::HeldElsewhere;
      attempt.holder = ReadHolder(file);
    } else {
      attempt.problem = Failed("the lock file " + path.string() + " cannot be locked");
    }
    CloseHandle(file);
    return attempt;
  }
  RecordHolder(file);
  attempt.outcome = AmpLockOutcome::Taken;
  attempt.lock = std::make_unique<FileLock>(file);
  return attempt;
}

}  // namespace korva
