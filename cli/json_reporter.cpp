// One JSON object per line for every event, on the output stream, for scripts. Progress is
// reported whenever the whole percentage changes (at most 101 lines per job), not per report.
#include <ostream>

#include "cli/cli.h"
#include "cli/json_line.h"
#include "cli/messages.h"
#include "cli/reporter.h"
#include "jobs/job_facts.h"
#include "jobs/update_plan.h"
#include "jobs/update_texts.h"

namespace korva::cli {
namespace {

class JsonReporter final : public Reporter {
 public:
  explicit JsonReporter(Environment& env) : env_(env) {}

  void Disconnected() override {
    Emit(JsonLine("disconnected").Add("message", kTextConnectCable));
    Result(kExitNoDevice, kTextConnectCable);
  }
  void NotAccessible(const DeviceAccessReport& report) override {
    Emit(JsonLine("not_accessible")
             .Add("path", report.path)
             .Add("reason", DeviceAccessReason(report.access))
             .Add("message", AccessAdvice(report)));
    Result(kExitNotAccessible, AccessAdvice(report));
  }
  void InUse(const std::string& path, const AmpLockHolder& holder,
             const std::string& text) override {
    JsonLine line("in_use");
    line.Add("path", path);
    if (holder.pid > 0) {
      line.Add("pid", holder.pid).Add("program", holder.program);
    } else {
      line.AddNull("pid").AddNull("program");
    }
    Emit(line.Add("message", text));
    Result(kExitNotAccessible, text);
  }
  void ConnectError() override {
    Emit(JsonLine("connect_error").Add("message", kTextInitStatesFailedCheckCable));
    Result(kExitUpdateFailed, kTextInitStatesFailedCheckCable);
  }
  void Connected(const std::string& path) override {
    Emit(JsonLine("connected").Add("path", path));
  }
  void Amp(const DeviceAccessReport& amp) override {
    JsonLine line("amp");
    line.Add("path", amp.path);
    if (amp.serialNumber.empty()) {
      line.AddNull("serial");
    } else {
      line.Add("serial", PrintableText(amp.serialNumber));
    }
    Emit(line.Add("access", AccessWord(amp.access)));
  }
  void AmpChosen(const std::string& path, int connected) override {
    Emit(JsonLine("amp_chosen")
             .Add("path", path)
             .Add("connected", connected)
             .Add("message", AmpChosenText(path, connected)));
  }
  void NoAmpAt(const std::string& path) override {
    Emit(JsonLine("no_amp_at").Add("path", path).Add("message", NoAmpAtText(path)));
  }
  void FileRefused(const std::string& path, const std::string& text,
                   const std::string& reason) override {
    JsonLine line("file_refused");
    line.Add("path", path).Add("message", DisplayText(text));
    if (reason.empty()) {
      line.AddNull("reason");
    } else {
      line.Add("reason", reason);
    }
    Emit(line);
    Result(kExitUsage, text);
  }
  void Versions(const std::optional<std::string>& device, const std::string& carried) override {
    JsonLine line("versions");
    if (device) {
      line.Add("device", *device);
    } else {
      line.AddNull("device");
    }
    Emit(line.Add("carried", carried));
  }
  void Plan(int plan) override {
    Emit(JsonLine("plan")
             .Add("plan", PlanName(plan))
             .Add("plan_number", plan)
             .Add("summary", PlanSummary(plan))
             .Add("status", PlanStatusLine(plan)));
  }
  void Ask(const std::string& question) override {
    Emit(JsonLine("prompt").Add("question", question));
  }
  void Note(const std::string& text) override {
    Emit(JsonLine("message").Add("text", DisplayText(text)));
  }
  void Warning(const std::string& text) override { Emit(JsonLine("warning").Add("text", text)); }
  void JobStarted(const JobProgress& p) override {
    lastPercent_ = -1;
    Emit(JsonLine("job_started").Add("job", JobName(p.kind)).Add("reports", p.reports));
  }
  void Progress(const JobProgress& p) override {
    const int percent = ProgressPercent(p.sent, p.reports);
    if (percent == lastPercent_) return;
    lastPercent_ = percent;
    Emit(JsonLine("progress")
             .Add("job", JobName(p.kind))
             .Add("sent", p.sent)
             .Add("reports", p.reports)
             .Add("percent", percent)
             .Add("elapsed_ms", static_cast<long long>(p.elapsedMs)));
  }
  void JobDone(const JobProgress& p) override {
    Emit(JsonLine("done")
             .Add("job", JobName(p.kind))
             .Add("elapsed_ms", static_cast<long long>(p.elapsedMs)));
  }
  void JobFailed(const JobProgress& p) override {
    Emit(JsonLine("failed")
             .Add("job", JobName(p.kind))
             .Add("count", p.sent)
             .Add("reports", p.reports));
  }
  void Result(int exitCode, const std::string& text) override {
    Emit(JsonLine("result").Add("exit_code", exitCode).Add("message", DisplayText(text)));
  }

 private:
  void Emit(const JsonLine& line) { env_.out << line.Text() << std::endl; }

  Environment& env_;
  int lastPercent_ = -1;
};

}  // namespace

std::unique_ptr<Reporter> MakeJsonReporter(Environment& env) {
  return std::make_unique<JsonReporter>(env);
}

}  // namespace korva::cli
