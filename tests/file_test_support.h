// Files for the tests that choose them as a user would: byte patterns with the markers of the
// firmware forms, WAV files with the one header the amp takes, and a scratch folder that is
// removed with the test.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/file_bytes.h"

namespace korva::testing {

// A folder of its own for the running test, named after it unless given a name.
class ScratchFolder {
 public:
  explicit ScratchFolder(std::string name = {}) {
    if (name.empty()) {
      const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
      name = std::string("korva-") + info->test_suite_name() + "-" + info->name();
    }
    for (char& c : name) {
      if (c == '/') c = '-';
    }
    path_ = std::filesystem::path(::testing::TempDir()) / name;
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() { std::filesystem::remove_all(path_); }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // Writes (or overwrites) the file `name` and returns its full path.
  std::string File(const std::string& name, const Bytes& bytes) const {
    const std::filesystem::path path = path_ / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path.string();
  }
  std::string PathOf(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace korva::testing
