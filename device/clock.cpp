// Real and virtual clocks, and the process-wide choice between them.
#include "device/clock.h"

#include <chrono>
#include <thread>

namespace korva {
namespace {
RealClock g_realClock;
std::atomic<Clock*> g_clock{&g_realClock};
}  // namespace

void RealClock::Pause(int ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::int64_t RealClock::NowMs() const {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void VirtualClock::Pause(int ms) {
  if (ms > 0) now_.fetch_add(ms);
}

Clock& ProcessClock() { return *g_clock.load(); }

void SetProcessClock(Clock* clock) { g_clock.store(clock ? clock : &g_realClock); }

}  // namespace korva
