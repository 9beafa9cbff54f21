// What a request to end the program does while the amp is being written, the same in both
// programs and for every way of asking (Ctrl-C, kill, a logout or shutdown): the first request
// only warns, since stopping would leave the amp's firmware incomplete; a second within 3 seconds
// of the warning insists, and the job is stopped between two reports.
#pragma once

#include <cstdint>
#include <optional>

namespace korva {

inline constexpr std::int64_t kInsistWithinMs = 3000;

class EndRequestRule {
 public:
  enum class Verdict { Warn, Insist };
  // One request at `nowMs`. A request later than 3 seconds after the warning warns again.
  Verdict OnRequest(std::int64_t nowMs) {
    if (warnedAtMs_ && nowMs - *warnedAtMs_ <= kInsistWithinMs) return Verdict::Insist;
    warnedAtMs_ = nowMs;
    return Verdict::Warn;
  }

 private:
  std::optional<std::int64_t> warnedAtMs_;
};

}  // namespace korva
