// The amp lock on POSIX systems: flock() on a descriptor of the amp's device node. flock belongs
// to the open file description, so the lock goes with the descriptor's close, also when the
// process dies, and two opens in one process exclude each other. Who holds a node's lock is read
// from the kernel's table of locks (/proc/locks), which every user may read: the node records
// nothing itself. Where the node cannot be opened, a lock file of this user's stands in and
// records its holder; the module's lock is a file in the computer's lock folder (/run/lock).
#include "device/amp_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

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
// The computer's folder for lock files, which every user may create files in.
constexpr const char* kSystemLockFolder = "/run/lock";
constexpr const char* kModuleLockFile = "korva-updater-bluetooth-0ecb-1edc.lock";
constexpr const char* kKernelLocks = "/proc/locks";

std::string Failed(const std::string& what) { return what + ": " + std::strerror(errno); }

// A lock held by its open descriptor alone.
class DescriptorLock final : public AmpLock {
 public:
  explicit DescriptorLock(int fd) : fd_(fd) {}
  ~DescriptorLock() override { ::close(fd_); }
  DescriptorLock(const DescriptorLock&) = delete;
  DescriptorLock& operator=(const DescriptorLock&) = delete;

 private:
  int fd_;
};

// A lock file that records its holder.
class RecordLock final : public AmpLock {
 public:
  explicit RecordLock(int fd) : fd_(fd) {}
  ~RecordLock() override {
    // Emptied first, so that the file never names a process that no longer holds the amp.
    [[maybe_unused]] const int emptied = ::ftruncate(fd_, 0);
    ::close(fd_);
  }
  RecordLock(const RecordLock&) = delete;
  RecordLock& operator=(const RecordLock&) = delete;

 private:
  int fd_;
};

// 0 when taken, else the errno of the refusal (EWOULDBLOCK: held elsewhere).
int TryFlock(int fd) {
  int locked;
  while ((locked = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
  }
  return locked == 0 ? 0 : errno;
}

// The program that process `pid` runs, from the first word of its command line.
std::string ProgramOf(long pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/cmdline", std::ios::binary);
  std::string first;
  std::getline(in, first, '\0');
  return std::filesystem::path(first).filename().string();
}

// The process that holds the flock on the file that `fd` has open, from the kernel's table:
// "1: FLOCK  ADVISORY  WRITE 1234 00:05:123 0 EOF", the file named by its file system's
// device numbers (hexadecimal) and its inode.
AmpLockHolder HolderOf(int fd) {
  struct stat status {};
  if (::fstat(fd, &status) != 0) return {};
  char wanted[64];
  std::snprintf(wanted, sizeof wanted, "%02x:%02x:%llu", ::major(status.st_dev),
                ::minor(status.st_dev), static_cast<unsigned long long>(status.st_ino));
  std::ifstream table(kKernelLocks);
  for (std::string line; std::getline(table, line);) {
    std::istringstream fields(line);
    std::string entry, kind, mode, access, pid, file;
    if (!(fields >> entry >> kind >> mode >> access >> pid >> file)) continue;
    if (entry.find("->") != std::string::npos || kind != "FLOCK" || file != wanted) continue;
    char* end = nullptr;
    const long number = std::strtol(pid.c_str(), &end, 10);
    if (*end != '\0' || number <= 0) return {};
    // Through the record's parser, so that the name is printable.
    return ParseAmpHolderRecord(AmpHolderRecord(number, ProgramOf(number)));
  }
  return {};
}

// Locks the file that `fd` has open, or learns who holds it; `fd` is the lock's or closed.
AmpLockAttempt LockDescriptor(int fd, const std::string& what) {
  AmpLockAttempt attempt;
  const int refusal = TryFlock(fd);
  if (refusal == 0) {
    attempt.outcome = AmpLockOutcome::Taken;
    attempt.lock = std::make_unique<DescriptorLock>(fd);
    return attempt;
  }
  if (refusal == EWOULDBLOCK) {
    attempt.outcome = AmpLockOutcome::HeldElsewhere;
    attempt.holder = HolderOf(fd);
  } else {
    errno = refusal;
    attempt.problem = Failed(what + " cannot be locked");
  }
  ::close(fd);
  return attempt;
}

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

// Opens the lock file at `path` in a folder that every user may write to (sticky, as /run/lock
// is): never through a link, and without O_CREAT on a file another user made (the kernel's
// protected_regular refuses that), so that every user can lock the one file. Read access is
// all that flock needs. -1 with `problem` on failure.
int OpenSharedLockFile(const std::filesystem::path& path, std::string& problem) {
  constexpr int kFlags = O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;
  for (int attempt = 0; attempt < 2; ++attempt) {
    int fd = ::open(path.c_str(), kFlags);
    if (fd < 0 && errno == ENOENT) {
      fd = ::open(path.c_str(), kFlags | O_CREAT | O_EXCL, 0644);
      if (fd >= 0) ::fchmod(fd, 0644);          // readable by all, whatever the umask
      if (fd < 0 && errno == EEXIST) continue;  // another program made it meanwhile
    }
    if (fd < 0) break;
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
      ::close(fd);
      problem = "the lock file " + path.string() + " is not a plain file";
      return -1;
    }
    return fd;
  }
  problem = Failed("the lock file " + path.string() + " cannot be opened");
  return -1;
}

bool UsableSystemLockFolder() {
  struct stat status {};
  return ::stat(kSystemLockFolder, &status) == 0 && S_ISDIR(status.st_mode) &&
         (status.st_mode & S_ISVTX) != 0;
}

}  // namespace

AmpLockHolder ThisProcessAsHolder() { return {::getpid(), program_invocation_short_name}; }

AmpLockAttempt TryLockAmpSystem(const std::string& devicePath) {
  // Opened for reading only and without waiting: the amp's reports are its transfers' own.
  const int fd = ::open(devicePath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd >= 0) {
    struct stat status {};
    if (::fstat(fd, &status) == 0 && (S_ISCHR(status.st_mode) || S_ISREG(status.st_mode)))
      return LockDescriptor(fd, "the KORVA's device node " + devicePath);
    ::close(fd);
  }
  // A path that names no file belongs to a backend whose paths are not device nodes (the
  // virtual bus): its lock file is the only lock there is. A node that exists but does not
  // open is said: another user's program would not see this lock.
  const bool noFile = fd < 0 && (errno == ENOENT || errno == ENOTDIR);
  const std::string why = fd < 0 ? std::strerror(errno) : "not a device node";
  AmpLockAttempt attempt = TryLockAmpFile(devicePath);
  if (!noFile && attempt.outcome == AmpLockOutcome::Taken) {
    attempt.notice = "The KORVA's device node " + devicePath + " cannot be opened to lock it (" +
                     why + "); it is locked only for this user's programs.";
  }
  return attempt;
}

AmpLockAttempt TryLockAmpFile(const std::string& key) {
  AmpLockAttempt attempt;
  const std::filesystem::path folder = AmpLockFolder();
  if (!PrepareFolder(folder, attempt.problem)) return attempt;
  const std::filesystem::path path = folder / AmpLockFileName(key);
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    attempt.problem = Failed("the lock file " + path.string() + " cannot be opened");
    return attempt;
  }
  const int refusal = TryFlock(fd);
  if (refusal != 0) {
    if (refusal == EWOULDBLOCK) {
      attempt.outcome = AmpLockOutcome::HeldElsewhere;
      attempt.holder = ReadHolder(fd);
    } else {
      errno = refusal;
      attempt.problem = Failed("the lock file " + path.string() + " cannot be locked");
    }
    ::close(fd);
    return attempt;
  }
  RecordHolder(fd);
  attempt.outcome = AmpLockOutcome::Taken;
  attempt.lock = std::make_unique<RecordLock>(fd);
  return attempt;
}

AmpLockAttempt TryLockModuleSystem() {
  // A test's folder stands in for the computer's.
  std::filesystem::path folder = ChosenAmpLockFolder();
  if (folder.empty()) {
    if (!UsableSystemLockFolder()) return TryLockAmpFile(kModuleLockFile);
    folder = kSystemLockFolder;
  } else {
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
  }
  AmpLockAttempt attempt;
  const int fd = OpenSharedLockFile(folder / kModuleLockFile, attempt.problem);
  if (fd < 0) return attempt;
  return LockDescriptor(fd, "the module's lock file");
}

}  // namespace korva
