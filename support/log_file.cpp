// The support log's file: append, rotate at the bound, warn once.
#include "support/log_file.h"

#include <cerrno>
#include <cstring>
#include <system_error>

namespace korva {
namespace {

std::filesystem::path Older(const std::filesystem::path& path, int generation) {
  if (generation == 0) return path;
  std::filesystem::path older = path;
  older += ".";
  older += std::to_string(generation);
  return older;
}

}  // namespace

LogFile::LogFile(std::filesystem::path path, LogLimits limits, Warn warn)
    : path_(std::move(path)), limits_(limits), warn_(std::move(warn)) {
  std::lock_guard lock(mutex_);
  OpenLocked();
}

LogFile::~LogFile() {
  if (file_) std::fclose(file_);
}

bool LogFile::Usable() const {
  std::lock_guard lock(mutex_);
  return !failed_;
}

bool LogFile::OpenLocked() {
  std::string problem;
  file_ = OpenLogForAppending(path_, false, problem);
  if (!file_) {
    FailLocked(problem);
    return false;
  }
  // Appending writes land at the end whatever the position; the end is where the size is.
  std::fseek(file_, 0, SEEK_END);
  const long end = std::ftell(file_);
  size_ = end > 0 ? static_cast<std::uintmax_t>(end) : 0;
  return true;
}

void LogFile::RotateLocked() {
  std::fclose(file_);
  file_ = nullptr;
  std::error_code ignored;  // an older file that is not there yet is no fault
  std::filesystem::remove(Older(path_, limits_.keptFiles), ignored);
  for (int generation = limits_.keptFiles - 1; generation > 0; --generation) {
    std::filesystem::rename(Older(path_, generation), Older(path_, generation + 1), ignored);
  }
  std::error_code moved;
  if (limits_.keptFiles > 0) std::filesystem::rename(path_, Older(path_, 1), moved);
  // Where the file could not be moved aside (or none is kept), it starts again empty: the
  // bound holds either way.
  if (limits_.keptFiles == 0 || moved) {
    std::string ignoredProblem;  // the open that follows says it
    if (std::FILE* truncated = OpenLogForAppending(path_, true, ignoredProblem))
      std::fclose(truncated);
  }
  OpenLocked();
}

void LogFile::Append(std::string_view line) {
  std::lock_guard lock(mutex_);
  if (failed_) return;
  if (!file_ && !OpenLocked()) return;
  const std::uintmax_t needed = line.size() + 1;
  if (size_ > 0 && size_ + needed > limits_.maxBytes) {
    RotateLocked();
    if (!file_) return;
  }
  const bool written = std::fwrite(line.data(), 1, line.size(), file_) == line.size() &&
                       std::fputc('\n', file_) != EOF && std::fflush(file_) == 0;
  if (!written) {
    FailLocked(std::strerror(errno));
    return;
  }
  // Another program may append to the same log: the position after an appending write is
  // the file's real end.
  const long end = std::ftell(file_);
  size_ = end > 0 ? static_cast<std::uintmax_t>(end) : size_ + needed;
}

void LogFile::FailLocked(const std::string& what) {
  if (file_) std::fclose(file_);
  file_ = nullptr;
  if (failed_) return;
  failed_ = true;
  if (warn_)
    warn_("cannot write the support log " + path_.string() + " (" + what +
          "); going on without it");
}

}  // namespace korva
