// The test controls of the scripted update library (scripted_dfu_library.c), reached through
// the same loaded instance that the program's loader uses.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "device/shared_library.h"

namespace korva::testing {

class ScriptedDfuControls {
 public:
  ScriptedDfuControls() {
    std::string error;
    library_ = OpenSharedLibrary(KORVA_SCRIPTED_DFU, error);
    if (!library_) {
      ADD_FAILURE() << error;
      return;
    }
    script_ = reinterpret_cast<ScriptFn>(library_->Find("scriptedDfuScript"));
    journal_ = reinterpret_cast<JournalFn>(library_->Find("scriptedDfuJournal"));
    upgradedBytes_ = reinterpret_cast<BytesFn>(library_->Find("scriptedDfuUpgradedBytes"));
    hang_ = reinterpret_cast<HangFn>(library_->Find("scriptedDfuHang"));
    hangEntered_ = reinterpret_cast<EnteredFn>(library_->Find("scriptedDfuHangEntered"));
    release_ = reinterpret_cast<ReleaseFn>(library_->Find("scriptedDfuRelease"));
    if (!script_ || !journal_ || !upgradedBytes_ || !hang_ || !hangEntered_ || !release_)
      ADD_FAILURE() << "the test controls are missing";
  }

  // Connection attempts that fail first, what successive progress polls read, the result of
  // the update and of the restart. Clears the journal and the connection.
  void Script(int failedConnects, std::initializer_list<int> progress, int result = 0,
              int resetResult = 0) {
    const std::vector<int> values(progress);
    script_(failedConnects, values.data(), static_cast<int>(values.size()), result, resetResult);
  }
  // Every call the program made since the script, separated by spaces.
  std::string Journal() const { return journal_(); }
  long UpgradedBytes() const { return upgradedBytes_(); }
  // `call` ("connect", "progress") hangs from now on until Release(); nullptr hangs nothing.
  void Hang(const char* call) { hang_(call); }
  // How often the hanging call was entered.
  int HangEntered() const { return hangEntered_(); }
  void Release() { release_(); }

 private:
  using ScriptFn = void (*)(int, const int*, int, int, int);
  using JournalFn = const char* (*)();
  using BytesFn = long (*)();
  using HangFn = void (*)(const char*);
  using EnteredFn = int (*)();
  using ReleaseFn = void (*)();

  std::unique_ptr<SharedLibrary> library_;
  ScriptFn script_ = nullptr;
  JournalFn journal_ = nullptr;
  BytesFn upgradedBytes_ = nullptr;
  HangFn hang_ = nullptr;
  EnteredFn hangEntered_ = nullptr;
  ReleaseFn release_ = nullptr;
};

}  // namespace korva::testing
