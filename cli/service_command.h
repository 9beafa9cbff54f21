// The service commands of korva-updater-cli (flash mcu|dsp|battery, audio, bluetooth): the
// checks of a service page's "Upgrade" in its order, then the page's job with its texts.
#pragma once

#include "cli/cli.h"
#include "cli/interrupt_policy.h"
#include "cli/options.h"
#include "cli/reporter.h"

namespace korva::cli {

int RunServiceCommand(const Options& options, Environment& env, Reporter& reporter,
                      InterruptPolicy& policy);

}  // namespace korva::cli
