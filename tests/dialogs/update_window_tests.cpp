// The main update window's behaviour with a recording face, against the virtual amp in virtual
// time: what it shows as it opens, at each reading of its poll, on "Update" with each plan and
// prompt answer, while the jobs report and at their end, and every way the road fails.
#include "dialogs/update_window.h"

#include "device/amp_lock.h"
#include "images/embedded_images.h"
#include "jobs/job_texts.h"
#include "jobs/start_job.h"
#include "jobs/update_texts.h"
#include "tests/dialogs/recording_faces.h"

namespace korva::testing {
namespace {

using dialogs::MainRoad;
using Text = dialogs::UpdateText;
using Control = dialogs::UpdateControl;

class UpdateWindowTest : public DialogsTest {
 protected:
  UpdateWindowTest() { face.window = &window; }

  // Opens the window as "Enter" does, with LinkMode as the welcome window's probe left it; the
  // face then copies its texts, as at its next message.
  void Open() {
    LinkMode.store(IsDevicePresent() ? kLinkHid : kLinkNone);
    window.OnOpening();
    Settle();
    face.CopyTexts();
  }
  // One tick of the running poll, made and shown. A job's thread may still be returning after
  // its final message, and a tick then leaves everything alone: the tick waits for it.
  void Tick() {
    WaitForWorkers();
    Settle();
    ASSERT_EQ(face.armedMs, 500) << "the poll is stopped";
    face.armedMs.reset();  // the timer goes off once
    window.OnTick();
    Settle();
    face.CopyTexts();
  }
  // "Update", until the device thread has looked for the amp and made the job's start (or
  // given the road up).
  void Update() {
    window.OnUpdate();
    Settle();
    face.CopyTexts();
  }
  std::string Status() const { return face.String(Text::Status); }
  bool RunUntilStatus(const char* text) {
    return gui.PumpUntil([&] { return Status() == text; });
  }
  std::string InUseText() { return AmpInUseText(TryLockAmp(kVirtualKorvaPath).holder); }

  RecordingUpdateFace face{gui};
  dialogs::UpdateWindow window{face, device};
};

TEST_F(UpdateWindowTest, WithoutTheAmpItOpensDisconnectedAndProbesTheModuleAtEachTick) {
  sim.korva.Unplug();
  Open();
  EXPECT_EQ(Status(), kTextConnectCable);
  EXPECT_EQ(face.Shown(Text::UsbState), "Disconnected");
  // Set straight onto the control at the opening, replaced by the empty display string.
  EXPECT_EQ(face.Shown(Text::CurrentVersion), "");
  EXPECT_EQ(face.lampGreen, false);
  EXPECT_FALSE(face.Enabled(Control::Update));  // never seen since the window opened
  EXPECT_TRUE(face.Enabled(Control::Exit));
  EXPECT_EQ(face.armedMs, 500);
  EXPECT_EQ(sim.module.Calls(), (std::vector<std::string>{"disconnect"}));

  Tick();
  EXPECT_EQ(sim.module.Calls(),
            (std::vector<std::string>{"disconnect", "connect", "lasterror", "disconnect"}));
  EXPECT_EQ(face.Shown(Text::CurrentVersion), " ");
  EXPECT_FALSE(face.Enabled(Control::Update));
  EXPECT_TRUE(sim.korva.Writes().empty());
}

// At the opening an amp that another program has opened is named as the reason; LinkMode was 0
// (the welcome window's probe could not open it), so the library is only closed and the amp is
// sent nothing.
TEST_F(UpdateWindowTest, AtTheOpeningAnAmpHeldElsewhereIsNamed) {
  sim.korva.SetFaults({.openedElsewhere = true});
  Open();
  EXPECT_NE(Status().find("another program holds it"), std::string::npos) << Status();
  EXPECT_EQ(face.Shown(Text::UsbState), "Disconnected");
  EXPECT_EQ(sim.module.Calls(), (std::vector<std::string>{"disconnect"}));
  EXPECT_TRUE(sim.korva.Writes().empty());
}

// Each row: the amp's versions (and state flags), the plan, the status at the start and at the
// first tick.
struct VersionCase {
  const char* mcu;
  const char* dsp;
  std::uint8_t flags;
  int plan;
  const char* currentVersion;
  const char* statusAtStart;
  const char* statusAtTick;
};

void PrintTo(const VersionCase& c, std::ostream* out) {
  *out << "Ver" << c.mcu << "." << c.dsp << " flags " << int(c.flags);
}

class VersionComparisonTest : public UpdateWindowTest,
                              public ::testing::WithParamInterface<VersionCase> {};

TEST_P(VersionComparisonTest, ShowsVersionsPlanAndStatus) {
  const VersionCase& c = GetParam();
  sim.korva.SetVersions(c.mcu, c.dsp, c.flags);
  Open();
  EXPECT_EQ(face.lampGreen, true);
  EXPECT_EQ(face.Shown(Text::UsbState), "Connected");
  EXPECT_EQ(face.Shown(Text::CurrentVersion), c.currentVersion);
  EXPECT_EQ(face.Shown(Text::NewVersion), "Ver1.38.250");
  EXPECT_EQ(Status(), c.statusAtStart);
  EXPECT_EQ(MainRoad().UpdatePlan, c.plan);
  EXPECT_EQ(MainRoad().UpdateConfirmed, c.plan == kPlanNothing ? 0 : 1);
  EXPECT_TRUE(face.Enabled(Control::Update));
  EXPECT_EQ(face.focus, Control::Update);

  Tick();
  EXPECT_EQ(Status(), c.statusAtTick);
  EXPECT_EQ(MainRoad().UpdatePlan, c.plan);
  EXPECT_TRUE(sim.korva.Violations().empty()) << sim.korva.Violations().front();
}

INSTANTIATE_TEST_SUITE_P(
    Plans, VersionComparisonTest,
    ::testing::Values(VersionCase{"1.38", "250", 0, kPlanNothing, "Ver1.38.250", kTextSameFirmware,
                                  kTextSameFirmware},
                      // The second MCU character is not compared.
                      VersionCase{"1x38", "250", 0, kPlanNothing, "Ver1x38.250", kTextSameFirmware,
                                  kTextSameFirmware},
                      VersionCase{"1.38", "192", 0, kPlanDspOnly, "Ver1.38.192",
                                  kTextSameMcuFirmware, kTextSameMcuFirmware},
                      VersionCase{"1.36", "250", 0, kPlanMcuOnly, "Ver1.36.250",
                                  kTextSameDspFirmware, kTextSameDspFirmware},
                      VersionCase{"1.36", "192", 0, kPlanBoth, "Ver1.36.192", kTextInitializing,
                                  kTextClickUpdate},
                      VersionCase{"2.38", "251", 0, kPlanBoth, "Ver2.38.251", kTextInitializing,
                                  kTextClickUpdate},
                      // A record without a version on a first connection: a blank version, and the
                      // previous device text (all zero) compared, so neither part matches.
                      VersionCase{"1.38", "250", kVersionFlagsNoVersion, kPlanBoth, " ",
                                  kTextInitializing, kTextClickUpdate}),
    [](const auto& info) {
      std::string name = std::string("Mcu") + info.param.mcu + "Dsp" + info.param.dsp +
                         (info.param.flags ? "NoVersion" : "");
      std::replace_if(
          name.begin(), name.end(),
          [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
      return name;
    });

// The poll's readings, each from a connected window and back: what the lamp, the state word,
// the version line, LinkMode and "Update" show, and what went to the amp and the module.
TEST_F(UpdateWindowTest, EachReadingOfThePoll) {
  struct Case {
    const char* name;
    VirtualKorva::Faults faults;
    bool unplug;
    bool lockedElsewhere;
    std::string status;  // empty: the status line's text is looked for by `statusHas`
    const char* statusHas;
    const char* usbState;
    bool lampGreen;
    const char* currentVersion;
    int linkMode;
    std::size_t moduleCalls;  // the library calls of the tick
  };
  const Case cases[] = {
      {"absent", {}, true, false, kTextConnectCable, "", "Disconnected", false, " ", kLinkNone, 3},
      {"no permission",
       {.permissionDenied = true},
       false,
       false,
       "",
       "may not open it. Install the udev rule 70-korva.rules in /etc/udev/rules.d",
       "Disconnected",
       false,
       " ",
       kLinkNone,
       3},
      {"held by another program's open",
       {.openedElsewhere = true},
       false,
       false,
       "",
       "another program holds it",
       "Disconnected",
       false,
       " ",
       kLinkNone,
       3},
      // The lamp keeps its colour and the versions their texts.
      {"\"INITSTA\" refused",
       {.acknowledgeLimit = 0},
       false,
       false,
       kTextInitStatesFailedCheckCable,
       "",
       "Connect Error!",
       true,
       "Ver1.36.192",
       kLinkHid,
       0},
      {"locked by another program",
       {},
       false,
       true,
       "",
       "",
       "Connected",
       true,
       "Ver1.36.192",
       kLinkHid,
       0},
  };
  Open();
  Tick();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim.korva.SetFaults(c.faults);
    if (c.unplug) sim.korva.Unplug();
    AmpLockAttempt other;
    if (c.lockedElsewhere) other = TryLockAmp(kVirtualKorvaPath);
    const std::string inUse = c.lockedElsewhere ? InUseText() : "";
    sim.korva.ClearLog();
    const std::size_t moduleCalls = sim.module.Calls().size();
    Tick();
    if (c.lockedElsewhere) {
      EXPECT_EQ(Status(), inUse);
    } else if (c.status.empty()) {
      EXPECT_NE(Status().find(c.statusHas), std::string::npos) << Status();
    } else {
      EXPECT_EQ(Status(), c.status);
    }
    EXPECT_EQ(face.Shown(Text::UsbState), c.usbState);
    EXPECT_EQ(face.lampGreen, c.lampGreen);
    EXPECT_EQ(face.Shown(Text::CurrentVersion), c.currentVersion);
    EXPECT_EQ(LinkMode.load(), c.linkMode);
    EXPECT_EQ(sim.module.Calls().size(), moduleCalls + c.moduleCalls);
    EXPECT_TRUE(face.Enabled(Control::Update));
    if (c.lockedElsewhere || c.unplug || c.faults.permissionDenied || c.faults.openedElsewhere) {
      EXPECT_TRUE(sim.korva.Writes().empty());
    }
    EXPECT_EQ(face.armedMs, 500);

    // "Update" says the same and starts nothing.
    const std::size_t boxes = prompter.Boxes().size();
    Update();
    if (c.lockedElsewhere) {
      EXPECT_EQ(Status(), inUse);
      EXPECT_EQ(prompter.Boxes().size(), boxes);
    } else if (c.linkMode == kLinkNone) {
      ASSERT_EQ(prompter.Boxes().size(), boxes + 1);
      EXPECT_EQ(prompter.Boxes().back().kind, BoxKind::Window);
      EXPECT_EQ(prompter.Boxes().back().text, Status());
    }
    if (c.linkMode == kLinkNone || c.lockedElsewhere) {
      EXPECT_FALSE(JobInProgress());
      EXPECT_TRUE(face.Enabled(Control::Update));
      EXPECT_EQ(face.armedMs, 500);
    }
    WaitForWorkers();
    Settle();
    gui.RunPosted();  // a failed start's messages

    // Back to a connected amp.
    other.lock.reset();
    sim.korva.SetFaults({});
    sim.korva.Plug();
    Tick();
    EXPECT_EQ(face.lampGreen, true);
    EXPECT_EQ(face.Shown(Text::UsbState), "Connected");
  }
}

// The main road: plan 3, "Update", the MCU job and then the DSP job to the final text, the
// percentage over each job's own total, and the amp holding the carried firmware.
TEST_F(UpdateWindowTest, TheMainRoadFromUpdateToTheFinalText) {
  Open();
  ASSERT_EQ(MainRoad().UpdatePlan, kPlanBoth);
  std::vector<std::string> statuses{Status()};
  std::map<long, std::string> mcuPercent;
  std::vector<AmpLockOutcome> lockWhileWriting;
  face.beforeMessage = [&](int message, int wParam, long lParam) {
    if (statuses.back() != Status()) statuses.push_back(Status());
    // The window takes each job's total from the job's start, not from the process-wide one.
    McuReportTotal.store(1);
    DspReportTotal.store(1);
    EXPECT_FALSE(window.MayClose());
    EXPECT_TRUE(window.UpdateRunning());
    if (wParam == JOB_PROGRESS && lParam == 1)
      lockWhileWriting.push_back(TryLockAmp(kVirtualKorvaPath).outcome);
    if (message == WM_MCU_JOB && lParam == 1) {
      // Messages of the other job, and of no job, change nothing.
      window.OnJobMessage(WM_DSP_JOB, JOB_DONE, 0);
      window.OnJobMessage(WM_MCU_JOB, 5, 10);
    }
  };
  int lastDspBar = -1;
  std::string lastDspPercent;
  face.afterMessage = [&](int message, int wParam, long lParam) {
    if (statuses.back() != Status()) statuses.push_back(Status());
    if (message == WM_MCU_JOB && (lParam == 376 || lParam == 751)) {
      mcuPercent[lParam] = face.Shown(Text::Percent);
      EXPECT_EQ(face.bar, lParam);
    }
    if (message == WM_DSP_JOB && wParam == JOB_PROGRESS) {
      lastDspBar = face.bar;
      lastDspPercent = face.Shown(Text::Percent);
    }
  };
  window.OnUpdate();
  EXPECT_FALSE(face.Enabled(Control::Update));
  EXPECT_FALSE(face.Enabled(Control::Exit));
  EXPECT_FALSE(face.armedMs.has_value());
  EXPECT_FALSE(window.MayClose());
  ASSERT_TRUE(RunUntilStatus(kTextUpdateSucceeded));
  face.beforeMessage = nullptr;
  face.afterMessage = nullptr;

  EXPECT_EQ(statuses,
            (std::vector<std::string>{kTextInitializing, kTextStartUpdating, kTextMcuUpdating,
                                      kTextMcuUpdateDone, kTextDspUpdating, kTextUpdateSucceeded}));
  EXPECT_EQ(mcuPercent, (std::map<long, std::string>{{376, "50%"}, {751, "99%"}}));
  // The DSP job's last progress counts its header too: the bar at its end, 100%.
  EXPECT_EQ(lastDspBar, face.barMaximum);
  EXPECT_EQ(lastDspPercent, "100%");
  EXPECT_EQ(face.bar, 0);
  EXPECT_EQ(face.Shown(Text::Percent), " ");
  EXPECT_TRUE(face.Enabled(Control::Update));
  EXPECT_TRUE(face.Enabled(Control::Exit));
  EXPECT_EQ(face.focus, Control::Exit);
  EXPECT_EQ(face.armedMs, 500);
  EXPECT_TRUE(window.MayClose());
  EXPECT_FALSE(window.UpdateRunning());
  EXPECT_EQ(MainRoad().UpdateCompleted, 1);
  EXPECT_EQ(CurrentTransfer.load(), kTransferNone);
  EXPECT_EQ(JobStatus.load(), kJobIdle);
  EXPECT_EQ(lockWhileWriting, (std::vector<AmpLockOutcome>{AmpLockOutcome::HeldElsewhere,
                                                           AmpLockOutcome::HeldElsewhere}));
  WaitForWorkers();
  EXPECT_EQ(TryLockAmp(kVirtualKorvaPath).outcome, AmpLockOutcome::Taken);
  ASSERT_EQ(LoadEmbeddedImages(), 1);
  EXPECT_EQ(sim.korva.McuMemory(), CarriedMcuMemory());
  EXPECT_EQ(sim.korva.DspMemory(), CarriedDspMemory());
  EXPECT_TRUE(sim.korva.Violations().empty()) << sim.korva.Violations().front();

  // Messages after the road changed nothing either.
  window.OnJobMessage(WM_MCU_JOB, JOB_DONE, 0);
  EXPECT_EQ(Status(), kTextUpdateSucceeded);

  // The success text stays while the amp stays; the first tick without it says so.
  Tick();
  EXPECT_EQ(Status(), kTextUpdateSucceeded);
  EXPECT_EQ(face.Shown(Text::CurrentVersion), "Ver1.38.250");
  sim.korva.Unplug();
  Tick();
  EXPECT_EQ(Status(), kTextConnectCable);
  EXPECT_EQ(MainRoad().UpdateCompleted, 0);
  EXPECT_EQ(face.lampGreen, false);
  EXPECT_TRUE(face.Enabled(Control::Update));
}

// Which jobs each plan and prompt answer runs, and the status before the first job message.
struct PlanCase {
  const char* name;
  const char* mcu;
  const char* dsp;
  std::optional<bool> answer;  // the same-version prompt's
  int updates;                 // jobs that the amp completed
  const char* statusBeforeTheFirstMessage;
};

void PrintTo(const PlanCase& c, std::ostream* out) { *out << c.name; }

class EachPlanTest : public UpdateWindowTest, public ::testing::WithParamInterface<PlanCase> {};

TEST_P(EachPlanTest, RunsItsJobs) {
  const PlanCase& c = GetParam();
  sim.korva.SetVersions(c.mcu, c.dsp);
  if (c.answer) face.answers.Add(*c.answer);
  Open();
  sim.korva.ClearLog();
  std::optional<std::string> before;
  face.beforeMessage = [&](int, int, long) {
    if (!before) before = Status();
  };
  Update();
  EXPECT_EQ(face.prompts, c.answer ? 1 : 0);
  if (c.updates == 0) {
    EXPECT_EQ(MainRoad().UpdateConfirmed, 0);
    EXPECT_TRUE(sim.korva.Writes().empty());
    EXPECT_TRUE(face.Enabled(Control::Update));
    EXPECT_EQ(face.armedMs, 500);
    EXPECT_FALSE(window.UpdateRunning());
    return;
  }
  ASSERT_TRUE(RunUntilStatus(kTextUpdateSucceeded));
  EXPECT_EQ(sim.korva.CompletedUpdates(), c.updates);
  EXPECT_EQ(before, c.statusBeforeTheFirstMessage);
  EXPECT_EQ(MainRoad().UpdateCompleted, 1);
  EXPECT_EQ(sim.korva.McuMemory().empty(), c.updates == 1 && c.mcu == std::string("1.38"));
  EXPECT_EQ(sim.korva.DspMemory().empty(), c.updates == 1 && c.dsp == std::string("250"));
}

INSTANTIATE_TEST_SUITE_P(
    Plans, EachPlanTest,
    ::testing::Values(PlanCase{"SameFirmwareNo", "1.38", "250", false, 0, nullptr},
                      PlanCase{"SameFirmwareYes", "1.38", "250", true, 2, kTextStartUpdating},
                      PlanCase{"DspOnly", "1.38", "192", std::nullopt, 1, kTextSameMcuFirmware},
                      PlanCase{"McuOnly", "1.36", "250", std::nullopt, 1, kTextStartUpdating}),
    [](const auto& info) { return std::string(info.param.name); });

// Every way the road ends early: the amp gone at "Update", "INITSTA" refused inside the MCU
// job's start, the DSP job's start refused after the MCU job, and a job failing on the way.
TEST_F(UpdateWindowTest, EveryWayTheRoadFails) {
  Open();
  Tick();
  sim.korva.Unplug();
  Update();
  ASSERT_EQ(prompter.Boxes().size(), 1u);
  EXPECT_EQ(prompter.Boxes()[0].kind, BoxKind::Window);
  EXPECT_EQ(prompter.Boxes()[0].text, kTextConnectCable);
  EXPECT_EQ(Status(), kTextConnectCable);
  EXPECT_EQ(face.armedMs, 500);

  // Two boxes in a row, the first asked for from the device thread; the Connected buttons and
  // the poll after them.
  sim.korva.Plug();
  Tick();
  sim.korva.SetFaults({.acknowledgeLimit = 0});
  Update();
  ASSERT_EQ(prompter.Boxes().size(), 3u);
  EXPECT_EQ(prompter.Boxes()[1].kind, BoxKind::Application);
  EXPECT_EQ(prompter.Boxes()[1].text, kTextInitStatesFailedWide);
  EXPECT_NE(prompter.Boxes()[1].thread, std::this_thread::get_id());
  EXPECT_EQ(prompter.Boxes()[2].thread, std::this_thread::get_id());
  EXPECT_EQ(prompter.Boxes()[2].kind, BoxKind::Window);
  EXPECT_EQ(prompter.Boxes()[2].text, kTextUpdateMcuFailed);
  EXPECT_EQ(Status(), kTextClickUpdateAfterMcuStartFailed);
  EXPECT_TRUE(face.Enabled(Control::Update));
  EXPECT_TRUE(face.Enabled(Control::Exit));
  EXPECT_EQ(JobStatus.load(), kJobIdle);
  EXPECT_EQ(CurrentTransfer.load(), kTransferNone);
  EXPECT_EQ(face.armedMs, 500);
  EXPECT_EQ(RunningWorkers(), 0);
  EXPECT_FALSE(window.UpdateRunning());

  // The amp takes the MCU job and then refuses the DSP job's "INITSTA".
  sim.korva.SetFaults({});
  Tick();
  face.beforeMessage = [&](int message, int wParam, long) {
    if (message == WM_MCU_JOB && wParam == JOB_DONE) sim.korva.SetFaults({.acknowledgeLimit = 0});
  };
  window.OnUpdate();
  ASSERT_TRUE(gui.PumpUntil([&] { return prompter.Boxes().size() == 5; }));
  Settle();
  face.beforeMessage = nullptr;
  EXPECT_EQ(prompter.Texts()[3], kTextInitStatesFailed);
  EXPECT_EQ(prompter.Texts()[4], kTextUpdateDspFailed);
  EXPECT_EQ(Status(), kTextClickUpdate);
  EXPECT_TRUE(face.Enabled(Control::Exit));
  EXPECT_EQ(face.armedMs, 500);

  // The amp goes away in the middle of the MCU job: no DSP job after it.
  sim.korva.SetFaults({});
  sim.korva.SetVersions("1.36", "192");
  Tick();
  sim.korva.ClearLog();
  sim.korva.SetFaults({.unplugAfterDataReports = 100});
  window.OnUpdate();
  ASSERT_TRUE(RunUntilStatus(kTextUpdateFailed));
  face.CopyTexts();
  EXPECT_EQ(face.Shown(Text::Percent), " ");
  EXPECT_EQ(face.bar, 0);
  EXPECT_TRUE(face.Enabled(Control::Update));
  EXPECT_EQ(face.focus, Control::Update);  // to try again
  EXPECT_EQ(face.armedMs, 500);
  EXPECT_EQ(prompter.Boxes().size(), 5u);
  EXPECT_TRUE(sim.korva.DspMemory().empty());
  Tick();
  EXPECT_EQ(Status(), kTextConnectCable);
}

}  // namespace
}  // namespace korva::testing
