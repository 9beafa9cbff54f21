// Dispatcher state and report totals.
#include "jobs/job_state.h"

#include <cstdio>

#include "jobs/prompter.h"
#include "support/support_log.h"

namespace korva {

JobOwnerSlot CurrentJobOwner;
std::atomic<int> StartedJobKind{-1};
std::atomic<int> JobStatus{0};
std::atomic<std::uint8_t> CurrentTransfer{0};
std::atomic<int> McuReportTotal{0};
std::atomic<int> DspReportTotal{0};
std::atomic<int> BatteryReportTotal{0};
std::atomic<int> AudioReportTotal{0};
std::atomic<bool> JobStopRequested{false};
std::atomic<int> WriteGate{kGateOpen};

bool PassWriteGate() {
  if (JobStopRequested.load()) return false;
  int state = kGateOpen;
  return WriteGate.compare_exchange_strong(state, kGateWriting) || state == kGateWriting;
}

bool CloseWriteGate() {
  int state = kGateOpen;
  return WriteGate.compare_exchange_strong(state, kGateClosed) || state == kGateClosed;
}

void ResetStopRequests() {
  JobStopRequested.store(false);
  WriteGate.store(kGateOpen);
}

void JobOwnerSlot::store(JobOwner* owner) {
  std::lock_guard lock(mutex_);
  link_ = owner ? owner->Link() : nullptr;
}

JobOwner* JobOwnerSlot::load() const {
  JobOwner* owner = nullptr;
  if (const auto link = this->link()) link->With([&owner](JobOwner& o) { owner = &o; });
  return owner;
}

std::shared_ptr<JobOwnerLink> JobOwnerSlot::link() const {
  std::lock_guard lock(mutex_);
  if (link_) return link_;
  static const auto cut = std::make_shared<JobOwnerLink>(nullptr);
  return cut;
}

void ResetJobState() {
  CurrentJobOwner.store(nullptr);
  StartedJobKind.store(-1);
  JobStatus.store(0);
  CurrentTransfer.store(0);
  McuReportTotal.store(0);
  DspReportTotal.store(0);
  BatteryReportTotal.store(0);
  AudioReportTotal.store(0);
  ResetStopRequests();
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

// Every box passes here on its way to the installed prompter, whichever front end installed it.
class LoggingPrompter final : public Prompter {
 public:
  void ShowBox(BoxKind kind, const std::string& text) override {
    if (SupportLogging()) SupportLog("box: " + LogQuoted(text));
    g_prompter.load()->ShowBox(kind, text);
  }
};

LoggingPrompter g_loggingPrompter;

}  // namespace

Prompter& AppPrompter() { return g_loggingPrompter; }
Prompter* SetAppPrompter(Prompter* prompter) {
  // The logging prompter given back would show its boxes to itself: it counts as none.
  if (prompter == &g_loggingPrompter) prompter = nullptr;
  Prompter* previous = g_prompter.exchange(prompter ? prompter : &g_stderrPrompter);
  return previous == &g_stderrPrompter ? nullptr : previous;
}

void RequestJobStop() {
  SupportLog("the user asked the running job to stop");
  JobStopRequested.store(true);
}

}  // namespace korva
