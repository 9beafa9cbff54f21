// An update under way: from a front end's first step towards writing the amp until its last
// job has ended. While at least one UpdateScope lives the program is writing the amp (or about
// to), and must neither be put to sleep nor ended half-way: the computer would leave the amp
// with incomplete firmware. Every job holds a scope from StartJob until its thread returns; a
// front end that runs jobs one after the other holds one across them, so that nothing lets go in
// between. The front ends hold off their end while an update is under way (UpdateUnderWay), and
// the front end's inhibitor holds its lock against sleep and shutdown (logind's on Linux): taken
// when the first scope begins, released when the last one ends. Where no lock can be had (no
// system bus, no logind: containers, CI) the update goes on without one, and the front end says
// so once.
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
// to tell the user, once in the program's run, that the lock could not be had (on the thread that
// begins the scope). Called while no scope lives.
void SetSleepInhibitor(SleepInhibitor* inhibitor, std::function<void(const std::string&)> sayOnce);

class UpdateScope {
 public:
  UpdateScope();
  ~UpdateScope();
  UpdateScope(const UpdateScope&) = delete;
  UpdateScope& operator=(const UpdateScope&) = delete;
};

// True while any scope lives.
bool UpdateUnderWay();
// True while the inhibitor's lock is held.
bool SleepInhibited();

}  // namespace korva
