// The Bluetooth link switch and update job against the virtual amp and its scripted module:
// what goes over HID, which library calls are made in which order, the progress messages, the
// boxes (each closed before the job's final message) and the stall limit, in virtual time.
#include <algorithm>

#include "device/hid_dfu.h"
#include "device/hid_transport.h"
#include "jobs/job_texts.h"
#include "jobs/service_jobs.h"
#include "jobs/start_job.h"
#include "tests/jobs/job_test_support.h"

namespace korva::testing {
namespace {

// StartJob for the Bluetooth job with the switch: INITSTA 100 + 200, "UA", 50, its
// acknowledgement 200, "UB", 3000.
constexpr int kSwitchMs = 300 + 50 + 200 + 3000;

// Records each box with the number of job messages that had arrived when it was shown.
class OrderPrompter : public Prompter {
 public:
  explicit OrderPrompter(RecordingOwner& owner) : owner_(owner) {}
  void ShowBox(BoxKind kind, const std::string& text) override {
    std::lock_guard lock(mutex_);
    EXPECT_EQ(kind, BoxKind::Application);
    boxes.push_back({text, owner_.Messages().size()});
  }
  std::vector<std::pair<std::string, std::size_t>> Boxes() {
    std::lock_guard lock(mutex_);
    return boxes;
  }

 private:
  RecordingOwner& owner_;
  std::mutex mutex_;
  std::vector<std::pair<std::string, std::size_t>> boxes;
};

class BluetoothJobTest : public KorvaTest {
 protected:
  BluetoothJobTest() : ordered(owner) {
    SetAppPrompter(&ordered);
    LinkMode.store(kLinkHid);
    owner.filePath = "/firmware/module.dfu";
  }

  // Starts the update through the dispatcher and waits for its final message.
  std::vector<JobMessage> Run(const VirtualBluetoothModule::Script& script, int expectedStart = 1) {
    sim.module.SetScript(script);
    EXPECT_EQ(StartJob(&owner, kJobBluetooth), expectedStart);
    return owner.WaitForFinal();
  }

  // The library calls from the `from`-th on.
  Calls CallsSince(std::size_t from) const {
    const Calls calls = sim.module.Calls();
    return Calls(calls.begin() + static_cast<long>(std::min(from, calls.size())), calls.end());
  }

  OrderPrompter ordered;
};

Calls Repeat(const std::string& call, int n) { return Calls(static_cast<std::size_t>(n), call); }
Calls Join(std::initializer_list<Calls> parts) {
  Calls all;
  for (const Calls& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

TEST_F(BluetoothJobTest, SwitchConnectUpdateResetDisconnect) {
  const auto start = clock.NowMs();
  sim.module.SetScript({.progress = {0, 35, 99, 100}});
  ASSERT_EQ(StartJob(&owner, kJobBluetooth), 1);
  // The switch runs inside StartJob (the job's own clock may have moved on since).
  EXPECT_GE(clock.NowMs() - start, kSwitchMs);
  const auto messages = owner.WaitForFinal();

  EXPECT_EQ(messages, (std::vector<JobMessage>{{WM_BLUETOOTH_JOB, JOB_PROGRESS, 0},
                                               {WM_BLUETOOTH_JOB, JOB_PROGRESS, 35},
                                               {WM_BLUETOOTH_JOB, JOB_PROGRESS, 99},
                                               {WM_BLUETOOTH_JOB, JOB_PROGRESS, 100},
                                               {WM_BLUETOOTH_JOB, JOB_DONE, 0}}));
  EXPECT_EQ(JobStatus.load(), kJobSucceeded);
  EXPECT_EQ(LinkMode.load(), kLinkBluetooth);
  EXPECT_EQ(owner.ProgressTotals(), std::vector<int>{100});
  EXPECT_EQ(DfuConnectAttempts.load(), 0);
  EXPECT_EQ(ModuleCalls(sim.module),
            (Calls{"connect", "upgrade", "progress", "progress", "progress", "progress", "result",
                   "reset", "disconnect"}));
  EXPECT_EQ(sim.module.UpgradedFile(), "/firmware/module.dfu");
  EXPECT_TRUE(ordered.Boxes().empty());
  // The switch, then four polls 100 ms apart.
  EXPECT_EQ(clock.NowMs() - start, kSwitchMs + 400);

  // On the wire: INITSTA, its poll, "UA" with zeros, its poll 50 ms later, "UB" with zeros.
  const auto w = Writes();
  ASSERT_EQ(w.size(), 5u);
  EXPECT_EQ(w[2].Payload(0), 0x55);
  EXPECT_EQ(w[2].Payload(1), 0x41);
  EXPECT_TRUE(std::all_of(w[2].bytes.begin() + 3, w[2].bytes.end(), [](auto b) { return b == 0; }));
  EXPECT_EQ(w[3].timeMs - w[2].timeMs, 50);
  EXPECT_EQ(w[4].Payload(0), 0x55);
  EXPECT_EQ(w[4].Payload(1), 0x42);
  EXPECT_TRUE(std::all_of(w[4].bytes.begin() + 3, w[4].bytes.end(), [](auto b) { return b == 0; }));
  // The module's restart brought the amp back as the HID device.
  EXPECT_TRUE(sim.korva.Plugged());
  EXPECT_FALSE(sim.module.Present());
  EXPECT_TRUE(sim.korva.Violations().empty()) << sim.korva.Violations().front();
}

TEST_F(BluetoothJobTest, ConnectionAttempts) {
  struct Case {
    const char* name;
    VirtualBluetoothModule::Script script;
    int connects;
    int attempts;
  };
  const Case cases[] = {
      {"answers at the fourth attempt", {.failedConnects = 3}, 4, 3},
      {"\"Already connected\" counts as connected", {.alreadyConnected = true}, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LinkMode.store(kLinkHid);
    sim.korva.Plug();
    RecordingOwner caseOwner;
    caseOwner.filePath = "bt.bin";
    sim.module.SetScript(c.script);
    const std::size_t callsBefore = sim.module.Calls().size();
    const auto start = clock.NowMs();
    ASSERT_EQ(StartJob(&caseOwner, kJobBluetooth), 1);
    EXPECT_EQ(caseOwner.WaitForFinal().back().wParam, JOB_DONE);
    const Calls calls = CallsSince(callsBefore);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "connect"), c.connects);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "lasterror"), c.connects);
    EXPECT_EQ(DfuConnectAttempts.load(), c.attempts);
    // The switch, one second between attempts, then six polls of the default script.
    EXPECT_EQ(clock.NowMs() - start, kSwitchMs + c.attempts * 1000 + 600);
    EXPECT_EQ(LinkMode.load(), kLinkBluetooth);
  }
}

TEST_F(BluetoothJobTest, ModuleThatNeverAnswers) {
  const auto messages = Run({.failedConnects = -1});
  EXPECT_EQ(messages, (std::vector<JobMessage>{{WM_BLUETOOTH_JOB, JOB_FAILED, 0}}));
  EXPECT_EQ(ordered.Boxes(),
            (std::vector<std::pair<std::string, std::size_t>>{{kTextBluetoothConnectFailed, 0}}));
  EXPECT_EQ(ModuleCalls(sim.module), Repeat("connect", 10));
  EXPECT_EQ(DfuConnectAttempts.load(), 10);
  EXPECT_TRUE(owner.ProgressTotals().empty());
  EXPECT_EQ(JobStatus.load(), kJobFailedStatus);
  EXPECT_EQ(LinkMode.load(), kLinkHid);
}

TEST_F(BluetoothJobTest, AlreadyHandedOverGoesStraightToTheUpdate) {
  LinkMode.store(kLinkBluetooth);
  sim.module.SetPresent(true);
  sim.module.SetScript({.alreadyConnected = true, .progress = {99, 100}});
  // The library keeps its connection from an earlier run ("Already connected" counts); the job
  // does not connect again.
  ASSERT_TRUE(ConnectBluetoothModuleOnce());
  const std::size_t callsBefore = sim.module.Calls().size();
  ASSERT_EQ(StartJob(&owner, kJobBluetooth), 1);
  EXPECT_EQ(owner.WaitForFinal().back(), (JobMessage{WM_BLUETOOTH_JOB, JOB_DONE, 0}));
  EXPECT_EQ(CallsSince(callsBefore).front(), "upgrade");
  EXPECT_TRUE(Writes().empty());
}

// A failed update closes the library's connection, though the link stays with the module: the
// next attempt connects again (no "INITSTA", no switch) and succeeds, with nothing unplugged.
TEST_F(BluetoothJobTest, ARetryAfterAFailedUpdateConnectsAgainAndSucceeds) {
  sim.module.SetScript({.progress = {40, 100}});
  ASSERT_EQ(StartJob(&owner, kJobBluetooth), 1);
  EXPECT_EQ(owner.WaitForFinal().back(), (JobMessage{WM_BLUETOOTH_JOB, JOB_FAILED, 100}));
  EXPECT_FALSE(DfuConnectionOpen());
  EXPECT_EQ(LinkMode.load(), kLinkBluetooth);
  const std::size_t writesBefore = Writes().size();
  const std::size_t callsBefore = sim.module.Calls().size();

  JobStatus.store(kJobIdle);
  RecordingOwner retry;
  retry.filePath = owner.filePath;
  sim.module.SetScript({.progress = {50, 99, 100}});
  ASSERT_EQ(StartJob(&retry, kJobBluetooth), 1);
  EXPECT_EQ(retry.WaitForFinal().back(), (JobMessage{WM_BLUETOOTH_JOB, JOB_DONE, 0}));
  EXPECT_EQ(CallsSince(callsBefore),
            (Calls{"connect", "lasterror", "upgrade", "progress", "progress", "progress", "result",
                   "reset", "disconnect"}));
  EXPECT_EQ(Writes().size(), writesBefore);
}

// Another program holds the module: the job is not started, and nothing goes to the amp or the
// library; the box names the holder.
TEST_F(BluetoothJobTest, AModuleInUseElsewhereStartsNothing) {
  AmpLockAttempt other = TryLockModuleSystem();
  ASSERT_EQ(other.outcome, AmpLockOutcome::Taken) << other.problem;
  for (int linkMode : {kLinkHid, kLinkBluetooth}) {
    LinkMode.store(linkMode);
    EXPECT_EQ(StartJob(&owner, kJobBluetooth), 0);
    JobStatus.store(kJobIdle);
  }
  EXPECT_TRUE(Writes().empty());
  EXPECT_TRUE(sim.module.Calls().empty());
  EXPECT_TRUE(owner.Messages().empty());
  const std::string box = ModuleInUseText(ThisProcessAsHolder());
  EXPECT_EQ(ordered.Boxes(),
            (std::vector<std::pair<std::string, std::size_t>>{{box, 0}, {box, 0}}));

  // Let go, the module is this program's again.
  other.lock.reset();
  LinkMode.store(kLinkHid);
  sim.module.SetScript({.progress = {99, 100}});
  ASSERT_EQ(StartJob(&owner, kJobBluetooth), 1);
  EXPECT_EQ(owner.WaitForFinal().back(), (JobMessage{WM_BLUETOOTH_JOB, JOB_DONE, 0}));
}

// How an update that was started ends: the progress the library reports, its result, the
// restart and the disconnection.
TEST_F(BluetoothJobTest, OutcomesOfAStartedUpdate) {
  struct Case {
    const char* name;
    VirtualBluetoothModule::Script script;
    std::vector<long> progress;
    JobMessage final;
    Calls tail;       // library calls after the polls
    const char* box;  // nullptr: none
  };
  const Calls resultReset = {"result", "reset", "disconnect"};
  const Case cases[] = {
      {"97, 98, 100 is a failure",
       {.progress = {97, 98, 100}},
       {97, 98, 100},
       {WM_BLUETOOTH_JOB, JOB_FAILED, 100},
       {"result", "disconnect"},
       nullptr},
      {"a first poll of 100 is a failure",
       {.progress = {100}},
       {100},
       {WM_BLUETOOTH_JOB, JOB_FAILED, 100},
       {"result", "disconnect"},
       nullptr},
      {"99 then 100 with a result other than 0",
       {.progress = {50, 99, 100}, .result = 3},
       {50, 99, 100},
       {WM_BLUETOOTH_JOB, JOB_FAILED, 100},
       {"result", "disconnect"},
       nullptr},
      {"only the low 8 bits count",
       {.progress = {0x163, 0x164}},
       {99, 100},
       {WM_BLUETOOTH_JOB, JOB_DONE, 0},
       resultReset,
       nullptr},
      {"a value above 100 is a failure, and not shown",
       {.progress = {50, 153, 99, 100}},
       {50},
       {WM_BLUETOOTH_JOB, JOB_FAILED, 100},
       {"progress", "disconnect"},
       nullptr},
      {"restart fails",
       {.progress = {99, 100}, .resetResult = 1},
       {99, 100},
       {WM_BLUETOOTH_JOB, JOB_FAILED, 100},
       resultReset,
       kTextBluetoothResetFailed},
      {"disconnection fails",
       {.progress = {99, 100}, .disconnectResults = {1}},
       {99, 100},
       {WM_BLUETOOTH_JOB, JOB_FAILED, 100},
       Join({resultReset, {"disconnect"}}),
       kTextBluetoothDisconnectFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LinkMode.store(kLinkBluetooth);  // connected: the calls start with "upgrade"
    sim.module.SetPresent(true);
    RecordingOwner caseOwner;
    OrderPrompter casePrompter(caseOwner);
    SetAppPrompter(&casePrompter);
    sim.module.SetScript(c.script);
    int handle = 0;
    ASSERT_EQ(hidDfuConnect(kBluetoothVendorId, kBluetoothProductId, 0, 0, &handle), 0);
    const std::size_t callsBefore = sim.module.Calls().size();
    ASSERT_EQ(StartJob(&caseOwner, kJobBluetooth), 1);
    const auto messages = caseOwner.WaitForFinal();

    EXPECT_EQ(caseOwner.ProgressValues(), c.progress);
    EXPECT_EQ(messages.back(), c.final);
    EXPECT_EQ(messages.size(), c.progress.size() + 1);
    const Calls expectedCalls =
        Join({{"upgrade"}, Repeat("progress", static_cast<int>(c.progress.size())), c.tail});
    EXPECT_EQ(CallsSince(callsBefore), expectedCalls);
    EXPECT_EQ(JobStatus.load(), c.final.wParam == JOB_DONE ? kJobSucceeded : kJobFailedStatus);
    const auto boxes = casePrompter.Boxes();
    if (c.box) {
      // Shown after the last progress message and closed before the failure was posted.
      EXPECT_EQ(boxes,
                (std::vector<std::pair<std::string, std::size_t>>{{c.box, c.progress.size()}}));
    } else {
      EXPECT_TRUE(boxes.empty());
    }
    SetAppPrompter(&ordered);
  }
}

TEST_F(BluetoothJobTest, RefusedUpdateResetsAndDisconnects) {
  const auto messages = Run({.upgradeResult = 1});
  EXPECT_EQ(messages, (std::vector<JobMessage>{{WM_BLUETOOTH_JOB, JOB_FAILED, 0}}));
  EXPECT_EQ(ModuleCalls(sim.module), (Calls{"connect", "upgrade", "reset", "disconnect"}));
  EXPECT_EQ(owner.ProgressTotals(), std::vector<int>{100});
  EXPECT_TRUE(ordered.Boxes().empty());
  EXPECT_EQ(JobStatus.load(), kJobFailedStatus);
}

TEST_F(BluetoothJobTest, ProgressThatStallsEndsAfterTheLimit) {
  sim.module.SetScript({.progress = {10, 20}});  // then stays at 20
  const auto start = clock.NowMs();
  ASSERT_EQ(StartJob(&owner, kJobBluetooth), 1);
  const auto messages = owner.WaitForFinal();

  // 20 is first read at the second poll, 100 ms in; the poll 300 s later gives up.
  const auto progress = owner.ProgressValues();
  ASSERT_EQ(progress.size(), 2u + 3000);
  EXPECT_EQ(progress.front(), 10);
  EXPECT_TRUE(std::all_of(progress.begin() + 1, progress.end(), [](long v) { return v == 20; }));
  EXPECT_EQ(messages.back(), (JobMessage{WM_BLUETOOTH_JOB, JOB_FAILED, 100}));
  EXPECT_EQ(clock.NowMs() - start, kSwitchMs + 100 + 300000 + 100);
  EXPECT_EQ(JobStatus.load(), kJobFailedStatus);
  const Calls calls = ModuleCalls(sim.module);
  EXPECT_EQ(calls.back(), "disconnect");
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "reset"), 0);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "result"), 0);
  EXPECT_TRUE(ordered.Boxes().empty());
}

// Values that go back and forth never stall, and never end: the update limit does.
TEST_F(BluetoothJobTest, ProgressThatNeverEndsFailsAtTheUpdateLimit) {
  std::vector<int> alternating;
  for (int i = 0; i < kDfuUpdateLimitMs / kDfuProgressPollMs + 10; ++i)
    alternating.push_back(40 + i % 2);
  const auto start = clock.NowMs();
  const auto messages = Run({.progress = alternating});
  EXPECT_EQ(messages.back(), (JobMessage{WM_BLUETOOTH_JOB, JOB_FAILED, 100}));
  // The poll that finds the limit reached is the last: 30 minutes after the first, which came
  // once the switch was made.
  EXPECT_EQ(owner.ProgressValues().size(), static_cast<std::size_t>(kDfuUpdateLimitMs / 100 + 1));
  EXPECT_EQ(clock.NowMs() - start, kSwitchMs + kDfuUpdateLimitMs + kDfuProgressPollMs);
  const Calls calls = ModuleCalls(sim.module);
  EXPECT_EQ(calls.back(), "disconnect");
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "result"), 0);
}

TEST_F(BluetoothJobTest, ProgressThatKeepsMovingIsNotAStall) {
  // 400 s of progress, one percent every four seconds: no value lasts 300 s.
  std::vector<int> progress;
  for (int v = 0; v < 99; ++v) progress.insert(progress.end(), 40, v);
  progress.push_back(99);
  progress.push_back(100);
  const auto messages = Run({.progress = progress});
  EXPECT_EQ(messages.back(), (JobMessage{WM_BLUETOOTH_JOB, JOB_DONE, 0}));
  EXPECT_EQ(owner.ProgressValues().size(), progress.size());
}

TEST_F(BluetoothJobTest, LinkSwitchFailures) {
  struct Case {
    const char* name;
    VirtualKorva::Faults faults;
    std::vector<std::string> boxes;
  };
  const Case cases[] = {
      {"\"UA\" not written", {.writesFailAfter = 2}, {}},
      {"\"UA\" not acknowledged", {.acknowledgeLimit = 1}, {kTextLinkSwitchFailed}},
      {"\"UB\" not written", {.writesFailAfter = 4}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim.korva.Plug();
    sim.korva.SetFaults(c.faults);
    RecordingOwner caseOwner;
    OrderPrompter casePrompter(caseOwner);
    SetAppPrompter(&casePrompter);
    const std::size_t callsBefore = sim.module.Calls().size();
    EXPECT_EQ(StartJob(&caseOwner, kJobBluetooth), 0);
    EXPECT_EQ(caseOwner.Messages(), (std::vector<JobMessage>{{WM_BLUETOOTH_JOB, JOB_FAILED, 0}}));
    EXPECT_EQ(JobStatus.load(), kJobFailedStatus);
    EXPECT_EQ(RunningWorkers(), 0);
    EXPECT_EQ(sim.module.Calls().size(), callsBefore);
    std::vector<std::string> texts;
    for (const auto& [text, messagesBefore] : casePrompter.Boxes()) {
      texts.push_back(text);
      EXPECT_EQ(messagesBefore, 0u);
    }
    EXPECT_EQ(texts, c.boxes);
    SetAppPrompter(&ordered);
    sim.korva.SetFaults({});
  }
}

}  // namespace
}  // namespace korva::testing
