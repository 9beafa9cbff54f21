// Which amp a run of korva-updater-cli talks to, for a technician with a bench of amps. --path
// pins one; otherwise the first that opens is taken, as the window program takes it, and kept
// for the whole run, so that nothing is ever written to a second amp plugged in meanwhile or
// to another device that takes the first one's path. With several amps connected the run says
// which it took and how to choose another.
#pragma once

#include "cli/reporter.h"

namespace korva::cli {

// Before a command that talks to the amp. With `pinnedPath` the transport is already pinned
// there; a path that leads to no KORVA is said to be so.
void ChooseAmp(const std::string& pinnedPath, Reporter& reporter);

// The list command: every connected KORVA with its path, serial number and whether it opens.
// Returns the exit code: 0, or 3 when no KORVA is connected.
int ListAmps(Reporter& reporter);

}  // namespace korva::cli
