// Opening the support log's file on POSIX systems: 0600 in a 0700 folder, a plain file only,
// without blocking.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "support/log_file.h"

namespace korva {

std::FILE* OpenLogForAppending(const std::filesystem::path& path, bool truncate,
                               std::string& problem) {
  const std::filesystem::path folder = path.parent_path();
  std::error_code error;
  if (!folder.empty() && !std::filesystem::exists(folder, error)) {
    if (folder.has_parent_path()) std::filesystem::create_directories(folder.parent_path(), error);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
      problem = std::string("its folder cannot be made: ") + std::strerror(errno);
      return nullptr;
    }
  }
  struct stat status {};
  if (::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
    problem = "not a regular file";
    return nullptr;
  }
  const int flags =
      O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (truncate ? O_TRUNC : 0);
  const int fd = ::open(path.c_str(), flags, 0600);
  if (fd < 0) {
    problem = std::strerror(errno);
    return nullptr;
  }
  // What opened is what was looked at: a plain file (a FIFO put there meanwhile is refused).
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(fd);
    problem = "not a regular file";
    return nullptr;
  }
  ::fcntl(fd, F_SETFL, O_APPEND);  // writes to a plain file may block as usual
  std::FILE* file = ::fdopen(fd, "a");
  if (!file) {
    problem = std::strerror(errno);
    ::close(fd);
  }
  return file;
}

}  // namespace korva
