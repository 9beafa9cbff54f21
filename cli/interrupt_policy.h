// What Ctrl-C does while a job writes: the first press only warns, because stopping leaves the
// amp's firmware incomplete; a second press within 3 seconds of the warning stops the job.
#pragma once

#include <cstdint>
#include <optional>

namespace korva::cli {

inline constexpr std::int64_t kConfirmStopWithinMs = 3000;

class InterruptPolicy {
 public:
  enum class Action { Warn, Stop };
  // One interrupt at `nowMs`. A press later than 3 seconds after the warning warns again.
  Action OnInterrupt(std::int64_t nowMs);

 private:
  std::optional<std::int64_t> warnedAtMs_;
};

}  // namespace korva::cli
