// Keeping the computer awake while the amp is written: a computer that suspends or shuts down
// half-way through an update leaves the amp with incomplete firmware. While at least one
// SleepGuard lives, the front end's inhibitor holds its lock against sleep and shutdown (logind's
// on Linux); the lock is taken when the first guard begins and released when the last one ends.
// Every job holds a guard from StartJob until its thread returns; a front end that runs jobs one
// after the other holds one across them, so that the computer is not let go in between. Where no
// lock can be had (no system bus, no logind: containers, CI) the update goes on without one, and
// the front end says so once.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace korva {

// A lock that is held; destroying it releases it.
class Inhibition {
 public:
  virtual ~Inhibition() = default;
};

class SleepInhibitor {
 public:
  virtual ~SleepInhibitor() = default;
  // Takes the lock. When it cannot be had, returns nullptr and says why in `problem`.
  virtual std::unique_ptr<Inhibition> Inhibit(std::string& problem) = 0;
};

// Installs the front end's inhibitor (not owned; nullptr: none, and nothing is said) and the way
// to tell the user, once in the program's run, that the lock could not be had. Called while no
// guard lives.
void SetSleepInhibitor(SleepInhibitor* inhibitor, std::function<void(const std::string&)> sayOnce);

class SleepGuard {
 public:
  SleepGuard();
  ~SleepGuard();
  SleepGuard(const SleepGuard&) = delete;
  SleepGuard& operator=(const SleepGuard&) = delete;
};

// True while the inhibitor's lock is held.
bool SleepInhibited();

}  // namespace korva
