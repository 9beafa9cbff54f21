// The amp lock on Windows: LockFileEx on the amp's lock file. The lock covers one byte far past
// the holder's record, so that another program can still read who holds it; it belongs to the
// file handle, so it goes with the handle's close, also when the process dies, and two opens in
// one process exclude each other.
#include "device/amp_lock.h"

#include <windows.h>

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

}  // namespace

AmpLockHolder ThisProcessAsHolder() {
  return {static_cast<long>(GetCurrentProcessId()), ThisProgram()};
}

AmpLockAttempt TryLockAmpFile(const std::string& devicePath) {
  AmpLockAttempt attempt;
  const std::filesystem::path folder = AmpLockFolder();
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    attempt.problem = "the lock folder " + folder.string() + " cannot be made: " + error.message();
    return attempt;
  }
  const std::filesystem::path path = folder / AmpLockFileName(devicePath);
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
