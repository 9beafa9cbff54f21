// A folder of a test's own under GoogleTest's temporary folder: emptied when made, removed
// with everything in it when the test ends. Its name carries the test's and the process's, so
// that test programs that CTest runs side by side, and the same test run at once from two
// build trees, never share one (unless a test names it outright).
#pragma once

#include <gtest/gtest.h>
#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace korva::testing {

class ScratchFolder {
 public:
  // A name given outright, such as the short one a technician's folder would have.
  struct Named {
    std::string name;
  };

  // "korva-<suite>-<test>-<process>", or "<prefix>-<suite>-<test>-<process>".
  ScratchFolder() : ScratchFolder(std::string("korva")) {}
  explicit ScratchFolder(const std::string& prefix) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
#ifdef _WIN32
    const int process = _getpid();
#else
    const int process = static_cast<int>(getpid());
#endif
    Make(prefix + "-" + info->test_suite_name() + "-" + info->name() + "-" +
         std::to_string(process));
  }
  explicit ScratchFolder(const Named& named) { Make(named.name); }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
  std::string PathOf(const std::string& name) const { return (path_ / name).string(); }

  // Writes (or overwrites) the file `name` and returns its full path.
  std::string File(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
    const std::filesystem::path path = path_ / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path.string();
  }

 private:
  void Make(std::string name) {
    // Parameterised and typed tests have '/' in their names.
    for (char& c : name) {
      if (c == '/') c = '-';
    }
    path_ = std::filesystem::path(::testing::TempDir()) / name;
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }

  std::filesystem::path path_;
};

// The lines of a text file; none when it cannot be read.
inline std::vector<std::string> FileLines(const std::filesystem::path& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace korva::testing
