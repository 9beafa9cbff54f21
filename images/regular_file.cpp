// Regular files only: a look at what the path names before it is opened (so that no device is
// opened at all), an open that cannot block, and a second look at what was opened (the path
// may have been swapped in between).
#include "images/regular_file.h"

#include <algorithm>
#include <climits>
#include <system_error>
#include <utility>

#ifdef _WIN32
#include <windows.h>

#include <filesystem>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace korva {
namespace {

// Hands a reason to the caller that asked for one; always "no file".
std::nullopt_t Refuse(std::string* why, std::string reason) {
  if (why) *why = std::move(reason);
  return std::nullopt;
}

std::string CannotRead(const std::string& path, const std::error_code& error) {
  std::string message = error.message();
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.'))
    message.pop_back();
  return "cannot read " + path + ": " + message;
}

std::string NotAFile(const std::string& path, const char* what) {
  return path + " is " + what + ", not a file";
}

}  // namespace

#ifdef _WIN32

namespace {
constexpr std::intptr_t kNoHandle = -1;
HANDLE AsHandle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }
std::error_code LastError() {
  return std::error_code(static_cast<int>(GetLastError()), std::system_category());
}
}  // namespace

std::optional<RegularFile> RegularFile::Open(const std::string& path, std::string* why) {
  const std::filesystem::path name(path);
  const DWORD attributes = GetFileAttributesW(name.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return Refuse(why, CannotRead(path, LastError()));
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return Refuse(why, NotAFile(path, "a folder"));
  // A pipe or a console opens as a client at once (or fails when busy); its type is refused.
  HANDLE file = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return Refuse(why, CannotRead(path, LastError()));
  LARGE_INTEGER size{};
  if (GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    return Refuse(why, NotAFile(path, "a device or a pipe"));
  }
  if (!GetFileSizeEx(file, &size)) {
    const std::error_code error = LastError();
    CloseHandle(file);
    return Refuse(why, CannotRead(path, error));
  }
  return RegularFile(reinterpret_cast<std::intptr_t>(file),
                     static_cast<std::uint64_t>(size.QuadPart));
}

long RegularFile::Read(std::uint8_t* data, std::size_t length) {
  DWORD got = 0;
  const DWORD want = static_cast<DWORD>(std::min<std::size_t>(length, 1u << 30));
  if (!ReadFile(AsHandle(handle_), data, want, &got, nullptr)) return -1;
  return static_cast<long>(got);
}

void RegularFile::Close() {
  if (handle_ != kNoHandle) CloseHandle(AsHandle(handle_));
  handle_ = kNoHandle;
}

#else

namespace {
constexpr std::intptr_t kNoHandle = -1;

std::error_code LastError() { return std::error_code(errno, std::generic_category()); }

// What a path that is not a regular file names instead.
std::string NotAFile(const std::string& path, mode_t mode) {
  if (S_ISDIR(mode)) return NotAFile(path, "a folder");
  if (S_ISFIFO(mode)) return NotAFile(path, "a FIFO");
  if (S_ISCHR(mode) || S_ISBLK(mode)) return NotAFile(path, "a device");
  if (S_ISSOCK(mode)) return NotAFile(path, "a socket");
  return path + " is not a regular file";
}

}  // namespace

std::optional<RegularFile> RegularFile::Open(const std::string& path, std::string* why) {
  struct stat named {};
  if (::stat(path.c_str(), &named) != 0) return Refuse(why, CannotRead(path, LastError()));
  if (!S_ISREG(named.st_mode)) return Refuse(why, NotAFile(path, named.st_mode));
  // O_NONBLOCK: should the path name a FIFO by now, the open returns at once instead of
  // waiting for a writer; O_NOCTTY: a terminal never becomes the program's.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return Refuse(why, CannotRead(path, LastError()));
  struct stat opened {};
  if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
    const std::string reason = NotAFile(path, opened.st_mode);
    ::close(fd);
    return Refuse(why, reason);
  }
  // A regular file reads the same either way; the flag is dropped so that reads are plain.
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return RegularFile(fd, static_cast<std::uint64_t>(opened.st_size));
}

long RegularFile::Read(std::uint8_t* data, std::size_t length) {
  for (;;) {
    const ssize_t got =
        ::read(static_cast<int>(handle_), data, std::min<std::size_t>(length, INT_MAX));
    if (got >= 0) return static_cast<long>(got);
    if (errno != EINTR) return -1;
  }
}

void RegularFile::Close() {
  if (handle_ != kNoHandle) ::close(static_cast<int>(handle_));
  handle_ = kNoHandle;
}

#endif

RegularFile::RegularFile(RegularFile&& other) noexcept
    : handle_(std::exchange(other.handle_, kNoHandle)), size_(other.size_) {}

RegularFile& RegularFile::operator=(RegularFile&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, kNoHandle);
    size_ = other.size_;
  }
  return *this;
}

RegularFile::~RegularFile() { Close(); }

}  // namespace korva
