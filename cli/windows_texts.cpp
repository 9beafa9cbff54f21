// On Windows every user may open a HID device such as the amp; a denied access comes from a
// program that took it for itself, or from a policy of the computer.
#include "cli/system_texts.h"

namespace korva::cli {

std::string PermissionDeniedAdvice() {
  return "Windows denied access to it (access denied).\nClose every other program that may use the "
         "amp "
         "(its editor, another updater), reconnect the amp and try again. If that does not help, a "
         "policy "
         "of this computer may block USB devices: ask its administrator.";
}

}  // namespace korva::cli
