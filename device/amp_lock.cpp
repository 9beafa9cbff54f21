// The lock's names, the folder in use, the locks of a simulation and the module's shared claim;
// the folder's default and the locking itself are the system's (amp_lock_posix.cpp,
// amp_lock_windows.cpp).
#include "device/amp_lock.h"

#include <atomic>
#include <cstdio>
#include <map>
#include <mutex>

namespace korva {
namespace {

std::atomic<bool> g_saidNoLock{false};
std::mutex g_folderMutex;
std::filesystem::path g_folder;  // empty: the default
std::mutex g_warnMutex;
std::function<void(const std::string&)> g_warn;  // empty: the support log's warning

// The module's lock while this process holds it, with the number of claims that share it.
std::mutex g_moduleMutex;
int g_moduleClaims = 0;
std::unique_ptr<AmpLock> g_moduleLock;

// The locks of a simulation, by device path, with their holder (always this process).
std::mutex g_inProcessMutex;
bool g_inProcess = false;
std::map<std::string, AmpLockHolder> g_inProcessHeld;

class InProcessLock final : public AmpLock {
 public:
  explicit InProcessLock(std::string devicePath) : devicePath_(std::move(devicePath)) {}
  ~InProcessLock() override {
    std::lock_guard lock(g_inProcessMutex);
    g_inProcessHeld.erase(devicePath_);
  }
  InProcessLock(const InProcessLock&) = delete;
  InProcessLock& operator=(const InProcessLock&) = delete;

 private:
  std::string devicePath_;
};

// One claim on the module's lock; the last one to go lets the lock go.
class ModuleClaim final : public AmpLock {
 public:
  ModuleClaim() = default;
  ~ModuleClaim() override {
    std::unique_ptr<AmpLock> released;
    {
      std::lock_guard lock(g_moduleMutex);
      if (--g_moduleClaims == 0) released = std::move(g_moduleLock);
    }
  }
  ModuleClaim(const ModuleClaim&) = delete;
  ModuleClaim& operator=(const ModuleClaim&) = delete;
};

void Warn(const std::string& text) {
  std::function<void(const std::string&)> warn;
  {
    std::lock_guard lock(g_warnMutex);
    warn = g_warn;
  }
  if (warn) {
    SupportLog("warning: " + text);
    warn(text);
  } else {
    SupportWarning(text);
  }
}

bool InProcess() {
  std::lock_guard lock(g_inProcessMutex);
  return g_inProcess;
}

bool Plain(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '_';
}

}  // namespace

AmpLockAttempt TryLockAmp(const std::string& devicePath) {
  {
    std::lock_guard lock(g_inProcessMutex);
    if (g_inProcess) {
      AmpLockAttempt attempt;
      const auto [held, taken] = g_inProcessHeld.emplace(devicePath, ThisProcessAsHolder());
      if (taken) {
        attempt.outcome = AmpLockOutcome::Taken;
        attempt.lock = std::make_unique<InProcessLock>(devicePath);
      } else {
        attempt.outcome = AmpLockOutcome::HeldElsewhere;
        attempt.holder = held->second;
      }
      return attempt;
    }
  }
  return TryLockAmpSystem(devicePath);
}

void KeepAmpLocksInProcess(bool inProcess) {
  std::lock_guard lock(g_inProcessMutex);
  g_inProcess = inProcess;
}

AmpLockAttempt LockFoundAmp(const std::string& path) {
  if (path.empty()) return {};
  AmpLockAttempt attempt = TryLockAmp(path);
  switch (attempt.outcome) {
    case AmpLockOutcome::Taken:
      if (!attempt.notice.empty() && !g_saidNoLock.exchange(true)) Warn(attempt.notice);
      break;
    case AmpLockOutcome::HeldElsewhere:
      SupportLog("the KORVA at " + path + " is in use by " + AmpHolderText(attempt.holder) +
                 ": nothing is written to it");
      break;
    case AmpLockOutcome::NoLockFile:
      if (!g_saidNoLock.exchange(true)) {
        Warn("No lock for the KORVA (" + attempt.problem +
             "): another program could write to it at the same time.");
      }
      break;
  }
  return attempt;
}

AmpLockAttempt ClaimBluetoothModule() {
  AmpLockAttempt attempt;
  std::lock_guard lock(g_moduleMutex);
  if (g_moduleClaims == 0 && !InProcess()) {
    attempt = TryLockModuleSystem();
    if (attempt.outcome == AmpLockOutcome::HeldElsewhere) {
      SupportLog(std::string("the ") + kModuleLockName + " is in use by " +
                 AmpHolderText(attempt.holder) + ": the update library is not called");
      return attempt;
    }
    if (attempt.outcome == AmpLockOutcome::NoLockFile && !g_saidNoLock.exchange(true)) {
      Warn("No lock for the KORVA's Bluetooth module (" + attempt.problem +
           "): another program could use it at the same time.");
    }
    g_moduleLock = std::move(attempt.lock);  // none when no lock can be had
  }
  ++g_moduleClaims;
  attempt.outcome = AmpLockOutcome::Taken;
  attempt.lock = std::make_unique<ModuleClaim>();
  return attempt;
}

void SetAmpLockWarning(std::function<void(const std::string&)> warn) {
  std::lock_guard lock(g_warnMutex);
  g_warn = std::move(warn);
  g_saidNoLock.store(false);  // said once to each listener
}

std::string ModuleInUseText(const AmpLockHolder& holder) {
  return "The KORVA's Bluetooth module is in use by " + AmpHolderText(holder) +
         ". Nothing was sent to it; update it when that program has finished.";
}

std::string AmpInUseText(const AmpLockHolder& holder) {
  return "The KORVA is in use by " + AmpHolderText(holder) +
         ". Nothing was written to it; update it when that program has finished.";
}

std::string AmpHolderText(const AmpLockHolder& holder) {
  if (holder.pid <= 0) return "another program";
  return (holder.program.empty() ? std::string("a program") : holder.program) + " (process " +
         std::to_string(holder.pid) + ")";
}

std::string AmpLockFileName(const std::string& key) {
  std::string name = "amp-";
  for (const unsigned char c : key) {
    if (Plain(c)) {
      name += static_cast<char>(c);
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", c);
      name += escaped;
    }
  }
  return name + ".lock";
}

std::string AmpHolderRecord(long pid, const std::string& program) {
  return std::to_string(pid) + " " + program + "\n";
}

AmpLockHolder ParseAmpHolderRecord(std::string_view record) {
  AmpLockHolder holder;
  const std::size_t space = record.find(' ');
  if (space == std::string_view::npos || space == 0) return holder;
  long pid = 0;
  for (const char c : record.substr(0, space)) {
    if (c < '0' || c > '9' || pid > 99999999) return holder;
    pid = pid * 10 + (c - '0');
  }
  holder.pid = pid;
  for (const char c : record.substr(space + 1)) {
    if (c == '\n' || c == '\0') break;
    holder.program += (c >= 0x20 && c < 0x7F) ? c : '?';
  }
  return holder;
}

std::filesystem::path AmpLockFolder() {
  {
    std::lock_guard lock(g_folderMutex);
    if (!g_folder.empty()) return g_folder;
  }
  return DefaultAmpLockFolder(ProcessVariable);
}

void SetAmpLockFolder(const std::filesystem::path& folder) {
  std::lock_guard lock(g_folderMutex);
  g_folder = folder;
}

std::filesystem::path ChosenAmpLockFolder() {
  std::lock_guard lock(g_folderMutex);
  return g_folder;
}

}  // namespace korva
