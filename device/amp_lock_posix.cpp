// The amp lock on POSIX systems: flock() on the amp's lock file. flock belongs to the open file
// description, so the lock goes with the descriptor's close, also when the process dies, and two
// opens in one process exclude each other.
#include "device/amp_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace korva {

std::filesystem::path DefaultAmpLockFolder(const EnvironmentLookup& variable) {
  // A relative XDG_RUNTIME_DIR is invalid and must be ignored.
  if (const auto runtime = variable("XDG_RUNTIME_DIR");
      runtime && std::filesystem::path(*runtime).is_absolute()) {
    return std::filesystem::path(*runtime) / "korva-updater";
  }
  std::error_code ignored;
  std::filesystem::path temporary = std::filesystem::temp_directory_path(ignored);
  if (temporary.empty()) temporary = "/tmp";
  return temporary / ("korva-updater-" + std::to_string(::geteuid()));
}

namespace {

constexpr std::size_t kLongestRecord = 256;

class FileLock final : public AmpLock {
 public:
  explicit FileLock(int fd) : fd_(fd) {}
  ~FileLock() override {
    // Emptied first, so that the file never names a process that no longer holds the amp.
    [[maybe_unused]] const int emptied = ::ftruncate(fd_, 0);
    ::close(fd_);
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  int fd_;
};

std::string Failed(const std::string& what) { return what + ": " + std::strerror(errno); }

// The folder exists, is a directory of this user's (not a link to one elsewhere), and only this
// user may enter it: in the shared temporary folder another user could have made it first.
bool PrepareFolder(const std::filesystem::path& folder, std::string& problem) {
  std::error_code error;
  std::filesystem::create_directories(folder.parent_path(), error);
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    problem = Failed("the lock folder " + folder.string() + " cannot be made");
    return false;
  }
  struct stat status {};
  if (::lstat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode) ||
      status.st_uid != ::geteuid() || (status.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    problem = "the lock folder " + folder.string() + " is not a private folder of this user's";
    return false;
  }
  return true;
}

AmpLockHolder ReadHolder(int fd) {
  char text[kLongestRecord] = {};
  const ssize_t length = ::pread(fd, text, kLongestRecord, 0);
  if (length <= 0) return {};
  return ParseAmpHolderRecord(std::string_view(text, static_cast<std::size_t>(length)));
}

void RecordHolder(int fd) {
  const AmpLockHolder me = ThisProcessAsHolder();
  const std::string record = AmpHolderRecord(me.pid, me.program);
  if (::ftruncate(fd, 0) == 0) {
    [[maybe_unused]] const ssize_t written = ::pwrite(fd, record.data(), record.size(), 0);
  }
}

}  // namespace

AmpLockHolder ThisProcessAsHolder() { return {::getpid(), program_invocation_short_name}; }

AmpLockAttempt TryLockAmpFile(const std::string& devicePath) {
  AmpLockAttempt attempt;
  const std::filesystem::path folder = AmpLockFolder();
  if (!PrepareFolder(folder, attempt.problem)) return attempt;
  const std::filesystem::path path = folder / AmpLockFileName(devicePath);
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    attempt.problem = Failed("the lock file " + path.string() + " cannot be opened");
    return attempt;
  }
  int locked;
  while ((locked = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
  }
  if (locked != 0) {
    if (errno == EWOULDBLOCK) {
      attempt.outcome = AmpLockOutcome::HeldElsewhere;
      attempt.holder = ReadHolder(fd);
    } else {
      attempt.problem = Failed("the lock file " + path.string() + " cannot be locked");
    }
    ::close(fd);
    return attempt;
  }
  RecordHolder(fd);
  attempt.outcome = AmpLockOutcome::Taken;
  attempt.lock = std::make_unique<FileLock>(fd);
  return attempt;
}

}  // namespace korva
