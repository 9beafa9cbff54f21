// Opening a file that the user named, for reading, only when it is a regular file. Anything
// else (a folder, a FIFO, a device, a socket) is refused without blocking and without being
// read: a FIFO blocks an ordinary open until a writer comes, a device can deliver bytes for
// ever, and opening some devices has effects of its own. Shared by every front end's loaders.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace korva {

class RegularFile {
 public:
  // Opens `path` when it names a regular file (symbolic links followed); nothing when it does
  // not, or cannot be opened, and then `why` (when given) says so for a person: "cannot read
  // /x: No such file or directory", "/etc is a folder, not a file". Never blocks on what the
  // path names.
  static std::optional<RegularFile> Open(const std::string& path, std::string* why = nullptr);

  RegularFile(RegularFile&& other) noexcept;
  RegularFile& operator=(RegularFile&& other) noexcept;
  RegularFile(const RegularFile&) = delete;
  RegularFile& operator=(const RegularFile&) = delete;
  ~RegularFile();

  // The file's length when it was opened.
  std::uint64_t Size() const { return size_; }
  // Reads up to `length` bytes at the current position: the number read, 0 at the end of the
  // file, or -1 after a read error.
  long Read(std::uint8_t* data, std::size_t length);

 private:
  RegularFile(std::intptr_t handle, std::uint64_t size) : handle_(handle), size_(size) {}
  void Close();

  std::intptr_t handle_;  // a file descriptor, or a Windows file handle
  std::uint64_t size_;
};

}  // namespace korva
