// Shared pieces of the korva-updater-cli tests: the front end run in process against the
// virtual KORVA, scripted Ctrl-C, a clock that lets a test act between the job's pauses, and
// helpers that read text and JSON output.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli.h"
#include "images/embedded_images.h"
#include "tests/shared/file_bytes.h"
#include "tests/shared/scratch_folder.h"
#include "tests/shared/test_support.h"

namespace korva::testing {

using namespace std::chrono_literals;

// Ctrl-C pressed by a test, on whichever thread the test runs (the job thread in a clock hook,
// or the main thread inside the amp's replies): the press reaches the program at once, as the
// real source's listener thread delivers it, at the press's virtual time.
class ScriptedInterrupts final : public cli::InterruptSource {
 public:
  void Start(std::function<void(cli::Interrupt)> onInterrupt) override {
    std::lock_guard lock(mutex_);
    ++started;
    onInterrupt_ = std::move(onInterrupt);
  }
  void Stop() override {
    std::lock_guard lock(mutex_);
    ++stopped;
    onInterrupt_ = nullptr;
  }
  // Presses while the question waits for its answer, then answers with the line given (when
  // the press has not stopped the command).
  std::optional<std::string> ReadAnswer(std::istream& in,
                                        const std::function<bool()>& stopped) override {
    for (int i = 0; i < pressesAtQuestion; ++i) Press(causeAtQuestion);
    if (stopped()) return std::nullopt;
    return InterruptSource::ReadAnswer(in, stopped);
  }
  // False when no command was listening.
  bool Press(cli::Interrupt cause = cli::Interrupt::CtrlC) {
    std::lock_guard lock(mutex_);
    if (!onInterrupt_) return false;
    onInterrupt_(cause);
    return true;
  }
  int pressesAtQuestion = 0;
  cli::Interrupt causeAtQuestion = cli::Interrupt::CtrlC;
  int started = 0;
  int stopped = 0;

 private:
  std::mutex mutex_;
  std::function<void(cli::Interrupt)> onInterrupt_;
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
  CliRun Cli(const std::vector<std::string>& args, const std::string& input = "",
             bool terminal = false, int columns = 80) {
    std::istringstream in(input);
    std::ostringstream out, err;
    cli::Environment env{in,
                         out,
                         err,
                         terminal,
                         columns,
                         *envClock,
                         *interruptSource,
                         {},
                         dfuLibraryVariable,
                         defaultLogPath,
                         inhibitor};
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

  // Virtual time with hooks, the process's clock and the runs' until the test ends.
  HookedClock& Hooked() {
    if (!hooked_) {
      hooked_.emplace(clock);
      envClock = &*hooked_;
    }
    return *hooked_;
  }

  // Two interrupts while an update writes: the first once the amp has taken `firstAtReport`
  // data reports (counted from the call), the second `gapMs` of virtual time after it or once
  // the amp has taken `secondAtReport` (negative: not so).
  struct Presses {
    int firstAtReport;
    std::int64_t gapMs = -1;
    int secondAtReport = -1;
    cli::Interrupt first = cli::Interrupt::CtrlC;
    cli::Interrupt second = cli::Interrupt::CtrlC;
  };
  void PressWhileWriting(const Presses& presses) {
    const int takenBefore = sim.korva.DataReportsTaken();
    auto firstAt = std::make_shared<std::int64_t>(-1);
    auto secondDone = std::make_shared<bool>(false);
    Hooked().hook = [this, presses, takenBefore, firstAt, secondDone] {
      const int taken = sim.korva.DataReportsTaken() - takenBefore;
      if (*firstAt < 0 && taken >= presses.firstAtReport) {
        *firstAt = clock.NowMs();
        interrupts.Press(presses.first);
      } else if (*firstAt >= 0 && !*secondDone &&
                 ((presses.gapMs >= 0 && clock.NowMs() >= *firstAt + presses.gapMs) ||
                  (presses.secondAtReport >= 0 && taken >= presses.secondAtReport))) {
        *secondDone = true;
        interrupts.Press(presses.second);
      }
    };
  }

  Clock* envClock = &clock;
  std::string defaultLogPath;  // none: the tests write no support log unless they ask
  ScriptedInterrupts interrupts;
  cli::InterruptSource* interruptSource = &interrupts;  // what the runs take Ctrl-C from
  SleepInhibitor* inhibitor = nullptr;  // the runs' lock against sleep and shutdown: none
  // KORVA_DFU_LIBRARY as the front end sees it; empty: the virtual module stays installed.
  std::function<const char*()> dfuLibraryVariable;

 private:
  std::optional<HookedClock> hooked_;
};

inline const std::string kWide = "\xEF\xBC\x81";  // the full-width "!" as the terminal shows it

// The front end with files of its own for each test, in a folder removed afterwards.
class CliFilesTest : public CliTest {
 protected:
  std::string File(const std::string& name, const Bytes& bytes) { return dir_.File(name, bytes); }
  std::string Missing() const { return (dir_ / "missing.bin").string(); }
  std::string Folder() const { return dir_.Path().string(); }
  // The amp has handed its link to the module, and the module has not been restarted.
  void LinkHandedToModule() {
    sim.korva.Unplug();
    sim.module.SetPresent(true);
  }
  static std::string Result(const CliRun& run) {
    const auto results = Events(run.out, "result");
    return results.empty() ? "" : results[0];
  }

  const Bytes battery_ = WithMarker(Pattern(1000, 31), 0x10, "BATV1.02");
  const Bytes mcu_ = WithMarker(Pattern(0x2345, 7), 0x10, "APPV1.39");
  const Bytes dsp_ = WithMarker(Pattern(5000, 13), 4, "DSPV251");
  const Bytes wav_ = Wav(28844);

 private:
  ScratchFolder dir_{"korva-cli"};
};

}  // namespace korva::testing
