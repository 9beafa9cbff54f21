// The process-wide link mode.
#include "device/link_mode.h"

namespace korva {
std::atomic<int> LinkMode{kLinkNone};
}  // namespace korva
