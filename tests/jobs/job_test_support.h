// Support of the jobs' test program: the reports the amp took, read as the tests read them,
// the jobs' final messages, and the Bluetooth module's calls.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "tests/shared/file_bytes.h"
#include "tests/shared/test_support.h"

namespace korva::testing {

using Calls = std::vector<std::string>;

// Whether a report the amp took is the command `command`, `subcommand`.
inline bool IsCommand(const VirtualKorva::WireReport& w, std::uint8_t command,
                      std::uint8_t subcommand) {
  return w.Payload(0) == command && w.Payload(1) == subcommand;
}

inline Bytes PayloadOf(const VirtualKorva::WireReport& w) {
  return Bytes(w.bytes.begin() + 1, w.bytes.end());
}

// The final messages among a job's messages: a job posts exactly one.
inline int FinalCount(const std::vector<JobMessage>& messages) {
  return static_cast<int>(std::count_if(messages.begin(), messages.end(), [](const JobMessage& m) {
    return m.wParam != JOB_PROGRESS;
  }));
}

inline JobMessage Bt(int wParam, long lParam) { return {WM_BLUETOOTH_JOB, wParam, lParam}; }

// The module's calls, without the "lasterror" that follows every "connect".
inline Calls ModuleCalls(const VirtualBluetoothModule& module) {
  Calls calls = module.Calls();
  calls.erase(std::remove(calls.begin(), calls.end(), "lasterror"), calls.end());
  return calls;
}

}  // namespace korva::testing
