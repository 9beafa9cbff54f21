// One writer per amp. Two programs that drive the same amp at once would interleave their
// reports and ruin both transfers, so a program holds an advisory lock for the amp it talks to,
// keyed by the amp's device path, from its presence test to the end of its job. A program that
// finds the amp locked learns which process holds it, and writes nothing. Separate amps have
// separate locks. The lock lives in a file of the user's runtime folder that also records the
// holder's process id and program; the system releases it when its holder ends, however it ends.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "support/support_log.h"

namespace korva {

// A held lock; destroying it releases it.
class AmpLock {
 public:
  virtual ~AmpLock() = default;
};

struct AmpLockHolder {
  long pid = 0;         // 0 when the holder has not recorded itself (yet)
  std::string program;  // printable ASCII only
};

enum class AmpLockOutcome {
  Taken,          // `lock` holds it
  HeldElsewhere,  // another process (or another open of this one) holds it: `holder`
  NoLockFile,     // the lock file cannot be made (`problem`): the program goes on without one
};

struct AmpLockAttempt {
  AmpLockOutcome outcome = AmpLockOutcome::NoLockFile;
  std::unique_ptr<AmpLock> lock;
  AmpLockHolder holder;
  std::string problem;
};

// Tries once, never waits. Every attempt opens the lock file anew, so two attempts in one
// process exclude each other as two processes do.
AmpLockAttempt TryLockAmp(const std::string& devicePath);

// The virtual KORVA of --simulate lives inside its program: every simulating program has an amp
// of its own at the same path, and nobody else can write to it. While this is set, TryLockAmp
// keeps its locks in this process (two attempts here still exclude each other) and touches no
// lock file, so that two simulations never block one another.
void KeepAmpLocksInProcess(bool inProcess);

// The system's part of TryLockAmp: the lock file, and this process as a holder.
AmpLockAttempt TryLockAmpFile(const std::string& devicePath);
AmpLockHolder ThisProcessAsHolder();

// TryLockAmp for the amp that a presence test found at `path`, with the outcome noted in the
// support log where it matters: the amp in use elsewhere, or no lock file to be had (once).
// An empty path (no amp found) locks nothing: NoLockFile.
AmpLockAttempt LockFoundAmp(const std::string& path);

// "korva-updater-cli (process 1234)", or "another program" when the holder is unknown.
std::string AmpHolderText(const AmpLockHolder& holder);
// What a program that finds the amp in use says: who holds it, and that nothing was written.
std::string AmpInUseText(const AmpLockHolder& holder);

// The lock file's name for the amp at `devicePath`: every byte that is not a letter, a digit,
// '.' or '_' written as %XX, so that no two paths share a file.
std::string AmpLockFileName(const std::string& devicePath);

// The lock file's record of its holder, "<pid> <program>\n", as the platform's lock writes and
// reads it. A record that does not parse names nobody (pid 0).
std::string AmpHolderRecord(long pid, const std::string& program);
AmpLockHolder ParseAmpHolderRecord(std::string_view record);

// Where the lock files live: on Linux $XDG_RUNTIME_DIR/korva-updater when that variable holds an
// absolute path, else a folder of the user's own in the temporary folder; on Windows
// %LOCALAPPDATA%\korva-updater\locks.
std::filesystem::path DefaultAmpLockFolder(const EnvironmentLookup& variable);
// The folder in use: the default from this process's environment, or the one a test chose
// (empty: the default again).
std::filesystem::path AmpLockFolder();
void SetAmpLockFolder(const std::filesystem::path& folder);

}  // namespace korva
