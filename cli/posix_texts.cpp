// On Linux access to the amp's hidraw node comes from the udev rule that ships with the updater.
#include "cli/messages.h"
#include "cli/system_texts.h"

namespace korva::cli {

std::string PermissionDeniedAdvice() {
  return std::string("this user may not open it (permission denied).\nInstall the udev rule ") +
         kUdevRuleName + " that comes with the updater as /etc/udev/rules.d/" + kUdevRuleName +
         " (packages put it in /usr/lib/udev/rules.d/); it gives the logged-in user access "
         "(TAG+=\"uaccess\"). "
         "Then run 'sudo udevadm control --reload && sudo udevadm trigger' and reconnect the amp.";
}

}  // namespace korva::cli
