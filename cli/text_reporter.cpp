// Lines of text for a person. On a terminal one bar line per job is redrawn in place; into a
// pipe or a file each job writes a line at every 10% step instead. Failures go to the error
// stream, everything else to the output stream.
#include <ostream>

#include "cli/cli.h"
#include "cli/job_traits.h"
#include "cli/messages.h"
#include "cli/progress_line.h"
#include "cli/reporter.h"
#include "jobs/update_plan.h"
#include "jobs/update_texts.h"

namespace korva::cli {
namespace {

// The bar is redrawn at most this often (and at its last report), so that a slow terminal
// line is not flooded with one line per 64-byte report.
constexpr std::int64_t kRedrawEveryMs = 100;
// Erases the rest of the terminal line.
constexpr const char* kEraseToEnd = "\x1b[K";

// A line as the terminal shows it: the program's bytes decoded, and no control character but
// the line break from anything else in it (a file name, a path given to --path), so that
// nothing that passes through can steer the terminal.
std::string Shown(const std::string& text) { return WithoutControls(DisplayText(text)); }

std::string WorkText(const JobProgress& p) {
  return FactsOf(p.kind).percentOnly ? "through the module's update library"
                                     : std::to_string(p.reports) + " reports";
}

class TextReporter final : public Reporter {
 public:
  explicit TextReporter(Environment& env) : env_(env) {}

  void Disconnected() override { ToErrorStream(kTextConnectCable); }
  void NotAccessible(const DeviceAccessReport& report) override {
    ToErrorStream(AccessAdvice(report));
  }
  void InUse(const std::string&, const AmpLockHolder&, const std::string& text) override {
    ToErrorStream(text);
  }
  void ConnectError() override { ToErrorStream(kTextInitStatesFailedCheckCable); }
  void Connected(const std::string& path) override {
    env_.out << "KORVA: " << kTextConnected << " (" << path << ")\n";
  }
  void Amp(const DeviceAccessReport& amp) override {
    const std::string serial = amp.serialNumber.empty()
                                   ? "(no serial number)"
                                   : "serial " + PrintableText(amp.serialNumber);
    env_.out << amp.path << "  " << serial << "  " << AccessWord(amp.access) << '\n';
  }
  void AmpChosen(const std::string& path, int connected) override {
    Note(AmpChosenText(path, connected));
  }
  void NoAmpAt(const std::string& path) override { ToErrorStream(NoAmpAtText(path)); }
  void FileRefused(const std::string&, const std::string& text,
                   const std::string& reason) override {
    ToErrorStream(text);
    if (!reason.empty()) ToErrorStream(reason);
  }
  void Versions(const std::optional<std::string>& device, const std::string& carried) override {
    env_.out << kTextCurrentVersionLabel << ' ' << (device ? *device : "(none reported)") << '\n'
             << kTextNewVersionLabel << "    " << carried << '\n';
  }
  void Plan(int plan) override {
    env_.out << "Plan: " << PlanSummary(plan) << '\n' << PlanStatusLine(plan) << '\n';
  }
  void Ask(const std::string& question) override { env_.out << question << ' ' << std::flush; }
  void Note(const std::string& text) override {
    EndBar();
    env_.out << Shown(text) << '\n';
  }
  void Warning(const std::string& text) override { ToErrorStream(text); }

  void JobStarted(const JobProgress& p) override {
    lastStep_ = 0;
    lastDrawMs_ = -kRedrawEveryMs;
    if (env_.outIsTerminal) {
      Draw(p);
    } else {
      env_.out << JobLabel(p.kind) << ": writing " << WorkText(p) << std::endl;
    }
  }
  void Progress(const JobProgress& p) override {
    if (env_.outIsTerminal) {
      if (p.elapsedMs - lastDrawMs_ >= kRedrawEveryMs || p.sent >= p.reports) Draw(p);
    } else if (ProgressStep(p) > lastStep_) {
      lastStep_ = ProgressStep(p);
      env_.out << ProgressStepLine(p) << std::endl;
    }
  }
  void JobDone(const JobProgress& p) override {
    JobProgress full = p;
    full.sent = p.reports;
    if (env_.outIsTerminal) {
      Draw(full);
      EndBar();
    } else if (lastStep_ < ProgressStep(full)) {
      env_.out << ProgressStepLine(full) << std::endl;
    }
  }
  void JobFailed(const JobProgress& p) override {
    if (FactsOf(p.kind).percentOnly) {
      ToErrorStream(std::string(JobLabel(p.kind)) + ": failed.");
    } else {
      ToErrorStream(std::string(JobLabel(p.kind)) + ": failed after " + std::to_string(p.sent) +
                    " of " + std::to_string(p.reports) + " reports.");
    }
  }
  void Result(int exitCode, const std::string& text) override {
    if (text.empty()) return;
    if (exitCode == kExitOk) {
      Note(text);
    } else {
      ToErrorStream(text);
    }
  }

 private:
  void ToErrorStream(const std::string& text) {
    EndBar();
    env_.out.flush();  // what came before stays before it
    env_.err << Shown(text) << std::endl;
  }
  void Draw(const JobProgress& p) {
    env_.out << '\r' << ProgressBarLine(p, env_.columns) << kEraseToEnd << std::flush;
    lastDrawMs_ = p.elapsedMs;
    barOpen_ = true;
  }
  // Ends the bar's line, so that the next text starts on a line of its own.
  void EndBar() {
    if (!barOpen_) return;
    env_.out << '\n';
    barOpen_ = false;
  }

  Environment& env_;
  bool barOpen_ = false;
  int lastStep_ = 0;
  std::int64_t lastDrawMs_ = 0;
};

}  // namespace

std::unique_ptr<Reporter> MakeTextReporter(Environment& env) {
  return std::make_unique<TextReporter>(env);
}

}  // namespace korva::cli
