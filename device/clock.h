// The clock behind every protocol pause and every 3000 ms limit. The program runs on real
// time; tests install a virtual clock so that pauses can be asserted exactly and a whole
// firmware transfer runs in milliseconds.
#pragma once

#include <atomic>
#include <cstdint>

namespace korva {

class Clock {
 public:
  virtual ~Clock() = default;
  // Blocks the calling thread for `ms` milliseconds of this clock's time.
  virtual void Pause(int ms) = 0;
  // Milliseconds since an arbitrary start.
  virtual std::int64_t NowMs() const = 0;
};

class RealClock final : public Clock {
 public:
  void Pause(int ms) override;
  std::int64_t NowMs() const override;
};

// Virtual time: a pause advances the clock and returns at once. Safe to use from any thread.
class VirtualClock final : public Clock {
 public:
  void Pause(int ms) override;
  std::int64_t NowMs() const override { return now_.load(); }
  void Reset() { now_.store(0); }

 private:
  std::atomic<std::int64_t> now_{0};
};

// The process-wide clock; the real clock unless a test installs another. Not owned.
Clock& ProcessClock();
void SetProcessClock(Clock* clock);  // nullptr restores the real clock

// Pauses the process-wide clock.
inline void Pause(int ms) { ProcessClock().Pause(ms); }

}  // namespace korva
