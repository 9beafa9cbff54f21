// A bounded, rotated, append-only text file: the support log's storage. When a line would
// take the file past its bound, the file becomes NAME.1 (NAME.1 becomes NAME.2, and so on,
// up to the number of older files kept) and a new file is started, so the log never takes
// more than (kept + 1) × bound bytes. Safe to use from several threads. A file that cannot be
// written gives one warning and is then left alone: logging never stops the program.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

namespace korva {

struct LogLimits {
  std::uintmax_t maxBytes = 1024 * 1024;  // one file's bound
  int keptFiles = 2;                      // older files kept beside the current one
};

// Opens the log's file for appending (emptied first with `truncate`), creating it readable by
// this user alone, and its folder (when missing) enterable by this user alone: the log names the
// user's files and devices. Only a plain file is opened, and never waited for (a FIFO would hold
// the program until a reader came). nullptr with `problem` on failure. (log_open_posix.cpp,
// log_open_windows.cpp)
std::FILE* OpenLogForAppending(const std::filesystem::path& path, bool truncate,
                               std::string& problem);

class LogFile {
 public:
  using Warn = std::function<void(const std::string&)>;

  // Creates the file's folder when it is missing and opens the file for appending. `warn` is
  // called once, with a sentence for the user, the first time the file cannot be written.
  LogFile(std::filesystem::path path, LogLimits limits, Warn warn);
  ~LogFile();
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;

  // Appends `line` and a line break, and flushes it, so that the line survives a crash.
  void Append(std::string_view line);
  // False once the file could not be written.
  bool Usable() const;
  const std::filesystem::path& Path() const { return path_; }

 private:
  bool OpenLocked();
  void RotateLocked();
  void FailLocked(const std::string& what);

  const std::filesystem::path path_;
  const LogLimits limits_;
  const Warn warn_;
  mutable std::mutex mutex_;
  std::FILE* file_ = nullptr;
  std::uintmax_t size_ = 0;
  bool failed_ = false;
};

}  // namespace korva
