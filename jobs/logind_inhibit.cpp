// Holding logind's file descriptor.
#include "jobs/logind_inhibit.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace korva {

FdInhibition::~FdInhibition() { ::close(fd_); }

std::unique_ptr<Inhibition> FdInhibition::Duplicate(int fd, std::string& problem) {
  // Above the standard streams, so that a program whose streams were closed never writes into it.
  const int own = ::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
  if (own < 0) {
    problem = std::string("the lock's file descriptor could not be kept: ") + std::strerror(errno);
    return nullptr;
  }
  return std::make_unique<FdInhibition>(own);
}

}  // namespace korva
