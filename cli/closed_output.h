// Standard output that may be closed under the program: `korva-updater-cli update | head -n 3`
// closes it after three lines, while the amp is being written. The update must go on (SIGPIPE is
// ignored by the system console), so output that can no longer be written is dropped, the user
// is told once (on standard error and in the support log), and the exit status still tells how
// the update went.
#pragma once

#include <cstdio>
#include <functional>
#include <ostream>
#include <streambuf>
#include <string>

namespace korva::cli {

class ClosedOutputGuard final : public std::streambuf {
 public:
  // Writes to `file`; `onClosed` receives the system's reason once, at the first write that fails.
  ClosedOutputGuard(std::FILE* file, std::function<void(const std::string& reason)> onClosed)
      : file_(file), onClosed_(std::move(onClosed)) {}

  bool Closed() const { return closed_; }

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* text, std::streamsize count) override;
  int sync() override;

 private:
  // Notes a failed write; the stream never fails, so the program's later lines are dropped too.
  void Fail();

  std::FILE* file_;
  std::function<void(const std::string&)> onClosed_;
  bool closed_ = false;
};

// The text said once when the output was closed.
std::string ClosedOutputText(const std::string& reason);

}  // namespace korva::cli
