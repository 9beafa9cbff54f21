// One writer per amp. Two programs that drive the same amp at once would interleave their
// reports and ruin both transfers, so a program holds an advisory lock for the amp it talks to
// from its presence test to the end of its job. A program that finds the amp locked learns which
// process holds it, and writes nothing. Separate amps have separate locks.
//
// The lock belongs to the amp, not to a spelling of its path or to a user: on Linux it is an
// flock() on a descriptor of the amp's device node itself (one inode whatever path led there,
// the same for every user and environment); on Windows it is keyed on the device's instance path,
// resolved from whichever spelling of its interface path was given. Only where the node cannot
// be opened does a lock file in the user's runtime folder stand in, and the user is told. The
// system releases every lock when its holder ends, however it ends.
//
// The Bluetooth module has a lock of its own (ClaimBluetoothModule): the update library reaches
// "the" module by its USB IDs, so one lock stands for those IDs on the whole computer.
#pragma once

#include <filesystem>
#include <functional>
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
  long pid = 0;         // 0 when the holder cannot be told
  std::string program;  // printable ASCII only
};

enum class AmpLockOutcome {
  Taken,          // `lock` holds it
  HeldElsewhere,  // another process (or another open of this one) holds it: `holder`
  NoLockFile,     // no lock can be had (`problem`): the program goes on without one
};

struct AmpLockAttempt {
  AmpLockOutcome outcome = AmpLockOutcome::NoLockFile;
  std::unique_ptr<AmpLock> lock;
  AmpLockHolder holder;
  std::string problem;
  // Taken, but only as a lock file of this user's, since the device node could not be opened:
  // why, for the user (a program of another user would not see this lock).
  std::string notice = {};
};

// Tries once, never waits. Every attempt opens anew, so two attempts in one process exclude each
// other as two processes do.
AmpLockAttempt TryLockAmp(const std::string& devicePath);

// The virtual KORVA of --simulate lives inside its program: every simulating program has an amp
// of its own at the same path, and nobody else can write to it. While this is set, TryLockAmp
// keeps its locks in this process (two attempts here still exclude each other) and touches no
// lock file, so that two simulations never block one another. The same holds for the virtual
// Bluetooth module and ClaimBluetoothModule.
void KeepAmpLocksInProcess(bool inProcess);

// The system's part of TryLockAmp: the device itself, else the lock file.
AmpLockAttempt TryLockAmpSystem(const std::string& devicePath);
#ifdef _WIN32
// The key of the amp's lock: the device's instance path, upper case, from any spelling of its
// interface path.
std::string AmpInstanceKey(const std::string& devicePath);
#endif
// A lock file in the lock folder, named after `key`, that records its holder.
AmpLockAttempt TryLockAmpFile(const std::string& key);
AmpLockHolder ThisProcessAsHolder();

// TryLockAmp for the amp that a presence test found at `path`, with the outcome noted in the
// support log where it matters: the amp in use elsewhere, or no lock to be had. What the user
// must hear (no lock at all, or only a lock file of this user's) goes to the lock warning, once
// per process. An empty path (no amp found) locks nothing: NoLockFile.
AmpLockAttempt LockFoundAmp(const std::string& path);

// The Bluetooth module's lock, for the connect, the update and the probe. Claims in one process
// share one lock (the program's probe, its front end and its job never overlap but may nest);
// the last claim to go releases it. HeldElsewhere when another program holds it.
AmpLockAttempt ClaimBluetoothModule();
// The system's part: the module's lock for the whole computer.
AmpLockAttempt TryLockModuleSystem();
// What a program that finds the module in use says.
std::string ModuleInUseText(const AmpLockHolder& holder);
// The name under which the module's lock is reported ("path" of an in_use event).
inline constexpr const char* kModuleLockName = "Bluetooth module 0ecb:1edc";

// Where the user hears that a lock could not be had: the front end's own warning (the terminal
// program's reporter), or, while none is set, the support log's warning. Empty: back to that.
// Each listener hears it once.
void SetAmpLockWarning(std::function<void(const std::string&)> warn);

// "korva-updater-cli (process 1234)", or "another program" when the holder is unknown.
std::string AmpHolderText(const AmpLockHolder& holder);
// What a program that finds the amp in use says: who holds it, and that nothing was written.
std::string AmpInUseText(const AmpLockHolder& holder);

// The lock file's name for `key`: every byte that is not a letter, a digit, '.' or '_' written
// as %XX, so that no two keys share a file.
std::string AmpLockFileName(const std::string& key);

// The lock file's record of its holder, "<pid> <program>\n", as the platform's lock writes and
// reads it. A record that does not parse names nobody (pid 0).
std::string AmpHolderRecord(long pid, const std::string& program);
AmpLockHolder ParseAmpHolderRecord(std::string_view record);

// Where the lock files live: on Linux $XDG_RUNTIME_DIR/korva-updater when that variable holds an
// absolute path, else a folder of the user's own in the temporary folder; on Windows
// %LOCALAPPDATA%\korva-updater\locks.
std::filesystem::path DefaultAmpLockFolder(const EnvironmentLookup& variable);
// The folder in use: the default from this process's environment, or the one a test chose
// (empty: the default again). A test's folder also takes the module's lock.
std::filesystem::path AmpLockFolder();
void SetAmpLockFolder(const std::filesystem::path& folder);
// The folder a test chose; empty when none.
std::filesystem::path ChosenAmpLockFolder();

}  // namespace korva
