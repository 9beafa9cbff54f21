// Opening the support log's file on Windows: a plain file only (a device or a pipe's name is
// refused), in the user's own profile, whose folders are the user's alone already.
#include <cerrno>
#include <cstring>

#include "support/log_file.h"

namespace korva {

std::FILE* OpenLogForAppending(const std::filesystem::path& path, bool truncate,
                               std::string& problem) {
  std::error_code error;
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), error);
  if (error) {
    problem = "its folder cannot be made: " + error.message();
    return nullptr;
  }
  const auto status = std::filesystem::status(path, error);
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
    problem = "not a regular file";
    return nullptr;
  }
  std::FILE* file = _wfopen(path.c_str(), truncate ? L"wb" : L"ab");
  if (!file) problem = std::strerror(errno);
  return file;
}

}  // namespace korva
