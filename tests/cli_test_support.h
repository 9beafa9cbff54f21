// Shared pieces of the korva-updater-cli tests: the front end run in process against the
// virtual KORVA, scripted Ctrl-C, a clock that lets a test act between the job's pauses, and
// helpers that read text and JSON output.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli.h"
#include "images/embedded_images.h"
#include "tests/test_support.h"

namespace korva::testing {

using namespace std::chrono_literals;

// Ctrl-C pressed by a test on the job thread. A press returns only once the front end has
// taken it and come back for more, so it has handled the press at the press's virtual time.
class ScriptedInterrupts final : public cli::InterruptSource {
 public:
  void Arm() override { ++armed; }
  void Disarm() override { ++disarmed; }
  int Take() override {
    std::lock_guard lock(mutex_);
    const int n = pending_;
    pending_ = 0;
    ++takes_;
    taken_.notify_all();
    return n;
  }
  void Press() {
    std::unique_lock lock(mutex_);
    ++pending_;
    const long handledAfter = takes_ + 2;
    taken_.wait_for(lock, 10s, [&] { return takes_ >= handledAfter; });
  }
  std::atomic<int> armed{0};
  std::atomic<int> disarmed{0};

 private:
  std::mutex mutex_;
  std::condition_variable taken_;
  int pending_ = 0;
  long takes_ = 0;
};

// What the advice for an amp that this system will not open must name (defined with the tests of
// the system's console).
std::vector<std::string> PermissionDeniedAdviceParts();

struct CliRun {
  int code;
  std::string out;
  std::string err;
};

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

inline bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The JSON lines of one event, and a number field of a line.
inline std::vector<std::string> Events(const std::string& out, const std::string& event) {
  std::vector<std::string> found;
  for (const auto& line : Lines(out)) {
    if (Contains(line, "{\"event\":\"" + event + "\"")) found.push_back(line);
  }
  return found;
}
inline long Number(const std::string& line, const std::string& key) {
  std::smatch match;
  if (!std::regex_search(line, match, std::regex("\"" + key + "\":(-?[0-9]+)"))) return -999;
  return std::stol(match[1]);
}

class CliTest : public KorvaTest {
 protected:
  CliRun Cli(const std::vector<std::string>& args, const std::string& input = "", bool terminal = false,
             int columns = 80) {
    std::istringstream in(input);
    std::ostringstream out, err;
    cli::Environment env{in, out, err, terminal, columns, *envClock, *interruptSource, {}, dfuLibraryVariable,
                         defaultLogPath};
    const int code = cli::RunCli(args, env);
    EXPECT_EQ(RunningWorkers(), 0);
    return {code, out.str(), err.str()};
  }
  // The amp's memories hold the carried images, and it reports the carried version.
  void ExpectCarriedFirmwareOnTheAmp() {
    ASSERT_EQ(LoadEmbeddedImages(), 1);
    EXPECT_EQ(sim.korva.McuMemory(), CarriedMcuMemory());
    EXPECT_EQ(sim.korva.DspMemory(), CarriedDspMemory());
    EXPECT_EQ(sim.korva.McuVersion(), "1.38");
    EXPECT_EQ(sim.korva.DspVersion(), "250");
    EXPECT_TRUE(sim.korva.Violations().empty()) << sim.korva.Violations().front();
  }

  Clock* envClock = &clock;
  std::string defaultLogPath;  // none: the tests write no support log unless they ask
  ScriptedInterrupts interrupts;
  cli::InterruptSource* interruptSource = &interrupts;  // what the runs take Ctrl-C from
  // KORVA_DFU_LIBRARY as the front end sees it; empty: the virtual module stays installed.
  std::function<const char*()> dfuLibraryVariable;
};

}  // namespace korva::testing
