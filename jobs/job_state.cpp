// Dispatcher state and report totals.
#include "jobs/job_state.h"

#include <cstdio>

#include "jobs/prompter.h"

namespace korva {

std::atomic<JobOwner*> CurrentJobOwner{nullptr};
std::atomic<int> JobStatus{0};
std::atomic<std::uint8_t> CurrentTransfer{0};
std::atomic<int> McuReportTotal{0};
std::atomic<int> DspReportTotal{0};
std::atomic<int> BatteryReportTotal{0};
std::atomic<int> AudioReportTotal{0};
std::atomic<bool> JobStopRequested{false};

void ResetJobState() {
  CurrentJobOwner.store(nullptr);
  JobStatus.store(0);
  CurrentTransfer.store(0);
  McuReportTotal.store(0);
  DspReportTotal.store(0);
  BatteryReportTotal.store(0);
  AudioReportTotal.store(0);
  JobStopRequested.store(false);
}

namespace {

// Before a front end installs its prompter, nothing may vanish silently.
class StderrPrompter final : public Prompter {
 public:
  void ShowBox(BoxKind, const std::string& text) override {
    std::fprintf(stderr, "%s\n", text.c_str());
  }
};

StderrPrompter g_stderrPrompter;
std::atomic<Prompter*> g_prompter{&g_stderrPrompter};

}  // namespace

Prompter& AppPrompter() { return *g_prompter.load(); }
void SetAppPrompter(Prompter* prompter) {
  g_prompter.store(prompter ? prompter : &g_stderrPrompter);
}

}  // namespace korva
