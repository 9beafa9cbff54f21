// logind's inhibitor lock as both programs ask for it over the system bus (the window program
// through QtDBus, the terminal program through sd-bus): the call, its four words, and the file
// descriptor that logind hands back, which holds the lock until it is closed.
#pragma once

#include "jobs/update_scope.h"

namespace korva {

inline constexpr const char* kLogindService = "org.freedesktop.login1";
inline constexpr const char* kLogindPath = "/org/freedesktop/login1";
inline constexpr const char* kLogindManager = "org.freedesktop.login1.Manager";
inline constexpr const char* kLogindInhibit = "Inhibit";
inline constexpr const char* kInhibitWhat = "sleep:shutdown";
inline constexpr const char* kInhibitWho = "KORVA Updater";
inline constexpr const char* kInhibitWhy = "Writing the amplifier's firmware";
inline constexpr const char* kInhibitMode = "block";
// logind answers at once; a bus that does not answer within this is treated as none.
inline constexpr int kInhibitCallTimeoutMs = 5000;

// The lock as logind hands it out: a file descriptor of our own (a duplicate of the one in the
// reply), closed when the lock is released.
class FdInhibition final : public Inhibition {
 public:
  explicit FdInhibition(int fd) : fd_(fd) {}
  ~FdInhibition() override;
  FdInhibition(const FdInhibition&) = delete;
  FdInhibition& operator=(const FdInhibition&) = delete;

  // Duplicates `fd` (close-on-exec, so that no program started later keeps the lock); nullptr
  // when that fails, with `problem` saying so.
  static std::unique_ptr<Inhibition> Duplicate(int fd, std::string& problem);

 private:
  int fd_;
};

}  // namespace korva
