// The count of scopes and the lock against sleep that they share.
#include "jobs/update_scope.h"

#include <mutex>

#include "support/support_log.h"

namespace korva {
namespace {

// The words the user sees once, around the inhibitor's own reason.
constexpr const char* kNoLockBefore =
    "The computer cannot be kept from sleeping or shutting down during the update (";
constexpr const char* kNoLockAfter = "); the update goes on without that protection.";

std::mutex g_mutex;
SleepInhibitor* g_inhibitor = nullptr;
std::function<void(const std::string&)> g_sayOnce;
bool g_said = false;
int g_scopes = 0;
std::unique_ptr<Inhibition> g_held;

std::string NoLockText(const std::string& problem) {
  return kNoLockBefore + problem + kNoLockAfter;
}

}  // namespace

void SetSleepInhibitor(SleepInhibitor* inhibitor, std::function<void(const std::string&)> sayOnce) {
  std::lock_guard lock(g_mutex);
  g_inhibitor = inhibitor;
  g_sayOnce = std::move(sayOnce);
  g_said = false;
}

UpdateScope::UpdateScope() {
  std::function<void(const std::string&)> say;
  std::string problem;
  {
    std::lock_guard lock(g_mutex);
    if (g_scopes++ > 0 || !g_inhibitor) return;
    g_held = g_inhibitor->Inhibit(problem);
    if (g_held) {
      SupportLog("holding the computer awake (no sleep, no shutdown) while the amp is written");
      return;
    }
    SupportLog("no lock against sleep and shutdown: " + problem);
    if (g_said) return;
    g_said = true;
    say = g_sayOnce;
  }
  // Outside the lock: the front end may take its time to say it.
  if (say) say(NoLockText(problem));
}

UpdateScope::~UpdateScope() {
  std::unique_ptr<Inhibition> released;
  {
    std::lock_guard lock(g_mutex);
    if (--g_scopes > 0 || !g_held) return;
    released = std::move(g_held);
  }
  released.reset();
  SupportLog("the computer may sleep and shut down again");
}

bool UpdateUnderWay() {
  std::lock_guard lock(g_mutex);
  return g_scopes > 0;
}

bool SleepInhibited() {
  std::lock_guard lock(g_mutex);
  return g_held != nullptr;
}

}  // namespace korva
