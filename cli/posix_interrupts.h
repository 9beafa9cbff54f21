// Ctrl-C for the real program. While armed, SIGINT is blocked on the main thread, so every
// thread started then (the job threads) inherits the block and no device transfer is ever cut
// short by it; the main thread lets it in only during its idle wait. The handler only counts.
#pragma once

#include "cli/cli.h"

namespace korva::cli {

class PosixInterrupts final : public InterruptSource {
 public:
  void Arm() override;
  void Disarm() override;
  void Listen(const std::function<void()>& wait) override;
  int Take() override;
};

}  // namespace korva::cli
