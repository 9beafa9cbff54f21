// The support log's default place on Linux and other POSIX desktops: the XDG state folder.
#include "support/support_log.h"

namespace korva {

std::filesystem::path DefaultSupportLogPath(const EnvironmentLookup& variable) {
  std::filesystem::path folder;
  // A relative XDG_STATE_HOME is invalid and must be ignored.
  if (const auto state = variable("XDG_STATE_HOME");
      state && std::filesystem::path(*state).is_absolute()) {
    folder = *state;
  } else if (const auto home = variable("HOME"); home && !home->empty()) {
    folder = std::filesystem::path(*home) / ".local" / "state";
  } else {
    return {};
  }
  return folder / kSupportLogFolder / kSupportLogName;
}

}  // namespace korva
