// The support log's default place on Windows: the user's local application data, where
// programs keep what belongs to this computer only. HOME and the XDG variables are not looked
// at: a Unix-like shell (Git Bash, MSYS2) sets HOME to a path that Windows does not read.
#include "support/support_log.h"

namespace korva {

std::filesystem::path DefaultSupportLogPath(const EnvironmentLookup& variable) {
  const auto local = variable("LOCALAPPDATA");
  if (!local || !std::filesystem::path(*local).is_absolute()) return {};
  return std::filesystem::path(*local) / kSupportLogFolder / kSupportLogName;
}

}  // namespace korva
