// What the terminal front end tells its user, event by event: as lines of text for a person
// (with a live progress bar on a terminal) or as one JSON object per line for a script. Only
// the main thread reports.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "device/amp_lock.h"
#include "device/device_access.h"

namespace korva::cli {

struct Environment;

// One job's progress as the user sees it.
struct JobProgress {
  int kind = 0;      // a JobKind
  long sent = 0;     // reports sent so far (the Bluetooth job: its percentage)
  long reports = 0;  // reports the job sends in all (the DSP job's header report included;
                     // the Bluetooth job: 100)
  std::int64_t elapsedMs = 0;
};

class Reporter {
 public:
  virtual ~Reporter() = default;
  // The amp is absent, cannot be opened, is in use by another program (which holds its lock),
  // or does not take "INITSTA": each of these ends the command and is its result (exit 3, 4, 4
  // and 1).
  virtual void Disconnected() = 0;
  virtual void NotAccessible(const DeviceAccessReport& report) = 0;
  // `path` names what is in use (the amp's path, or the Bluetooth module); `text` says so.
  virtual void InUse(const std::string& path, const AmpLockHolder& holder,
                     const std::string& text) = 0;
  virtual void ConnectError() = 0;
  virtual void Connected(const std::string& path) = 0;
  // One line of the list command.
  virtual void Amp(const DeviceAccessReport& amp) = 0;
  // Several amps are connected and no --path was given: the run keeps to `path`.
  virtual void AmpChosen(const std::string& path, int connected) = 0;
  // --path leads to no KORVA.
  virtual void NoAmpAt(const std::string& path) = 0;
  // FILE was not accepted: the command's result (exit 2), with the text that the service page
  // shows and, where it can be said, why ("/etc is a folder, not a file").
  virtual void FileRefused(const std::string& path, const std::string& text,
                           const std::string& reason) = 0;
  // `device` is empty when the amp reports no version to show.
  virtual void Versions(const std::optional<std::string>& device, const std::string& carried) = 0;
  virtual void Plan(int plan) = 0;
  // Asks the user; the caller reads the answer.
  virtual void Ask(const std::string& question) = 0;
  // A status line or a message of the dispatcher.
  virtual void Note(const std::string& text) = 0;
  virtual void Warning(const std::string& text) = 0;
  virtual void JobStarted(const JobProgress& progress) = 0;
  virtual void Progress(const JobProgress& progress) = 0;
  virtual void JobDone(const JobProgress& progress) = 0;
  virtual void JobFailed(const JobProgress& progress) = 0;
  // The last word, with the program's exit code; every command ends with exactly one (an empty
  // text says nothing more to a person).
  virtual void Result(int exitCode, const std::string& text) = 0;
};

std::unique_ptr<Reporter> MakeTextReporter(Environment& env);
std::unique_ptr<Reporter> MakeJsonReporter(Environment& env);

}  // namespace korva::cli
