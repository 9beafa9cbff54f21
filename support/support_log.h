// The support log: what a technician reads after an update went wrong. Both programs append
// to one bounded, rotated file (by default under $XDG_STATE_HOME/korva-updater/). Each line
// carries the wall-clock time (also while the protocol runs on a virtual clock), the program's
// name and its process id. Lines come from the programs' start and from shared places of the
// core: the presence test, the update plan, StartJob, every job's report, the Prompter port.
// Until a program opens the log (and in tests that open none) logging costs one atomic load;
// a log that cannot be written warns once and never stops an update.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/log_file.h"

namespace korva {

inline constexpr const char* kSupportLogFolder = "korva-updater";
inline constexpr const char* kSupportLogName = "korva-updater.log";

// True while a log is open: callers that build a line test it first.
bool SupportLogging();
// Appends one line of `text` to the open log, its control characters escaped as LogQuoted
// escapes them; does nothing while none is open.
void SupportLog(std::string_view text);
// Something the user must hear although no window or reporter is at hand: appended to the log
// as "warning: TEXT" and handed to the open session's `warn` (the program's standard error).
void SupportWarning(const std::string& text);
// Counts the logs opened in this process: a place that logs only what changed starts afresh
// in a new log.
unsigned SupportLogEpoch();

// `bytes` in double quotes, safe for one log line: printable ASCII as it is, '\n', '\r',
// '\t', '\\' and '"' escaped, every other byte as \xNN. The program's texts keep their exact
// bytes, and no byte from the amp or from a file can break a line.
std::string LogQuoted(std::string_view bytes);
// "2025-06-01 10:11:12.345 +0200": local wall-clock time with its offset from UTC.
std::string WallClockStamp(std::chrono::system_clock::time_point when);

// Where the log lives when no --log is given. On Linux: $XDG_STATE_HOME/korva-updater/
// korva-updater.log when that variable holds an absolute path, else ~/.local/state/
// korva-updater/...; on Windows: %LOCALAPPDATA%\korva-updater\korva-updater.log. Nothing when
// it cannot be worked out. `variable` looks up an environment variable. (log_place_posix.cpp,
// log_place_windows.cpp)
using EnvironmentLookup = std::function<std::optional<std::string>(const char* name)>;
std::filesystem::path DefaultSupportLogPath(const EnvironmentLookup& variable);
// This process's environment as an EnvironmentLookup.
std::optional<std::string> ProcessVariable(const char* name);
std::filesystem::path DefaultSupportLogPath();  // from this process's environment

// The log for the length of a program's run. An empty path opens none. `warn` receives, once,
// a sentence saying that the log cannot be written, and every SupportWarning.
class SupportLogSession {
 public:
  SupportLogSession(const std::filesystem::path& path, std::string program, LogFile::Warn warn,
                    LogLimits limits = {});
  ~SupportLogSession();
  SupportLogSession(const SupportLogSession&) = delete;
  SupportLogSession& operator=(const SupportLogSession&) = delete;

 private:
  bool opened_ = false;
};

// The devices a run can talk to, as its first line names them.
#ifdef _WIN32
inline constexpr const char* kLogUsbDevice = "the KORVA on USB (Windows HID)";
#else
inline constexpr const char* kLogUsbDevice = "the KORVA on USB (hidapi)";
#endif
inline constexpr const char* kLogSimulatedDevice = "a virtual KORVA (--simulate)";

// The run's first line: the program and its version, its arguments, the device it talks to and
// the firmware version it carries.
void LogProgramStart(const std::vector<std::string>& arguments, std::string_view device,
                     std::string_view carriedFirmware);

}  // namespace korva
