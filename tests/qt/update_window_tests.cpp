// The main update window against the virtual amp: what the user sees at the start, at each
// tick, on "Update" and while the jobs report, in virtual time.
#include <unistd.h>

#include <QKeyEvent>

#include "device/amp_lock.h"
#include "device/hid_transport.h"
#include "images/embedded_images.h"
#include "jobs/job_texts.h"
#include "jobs/start_job.h"
#include "jobs/update_texts.h"
#include "qt/job_event.h"
#include "tests/qt/qt_test_support.h"

namespace korva::testing {
namespace {

using qt::CUpdateDlg;
using qt::MainRoad;

class UpdateWindowTest : public WindowTest {
 protected:
  // Opens the window as "Enter" does, with LinkMode as the welcome window's probe left it.
  void Open() {
    LinkMode.store(IsDevicePresent() ? kLinkHid : kLinkNone);
    dialog = std::make_unique<CUpdateDlg>();
    dialog->show();
    Settle();
    Flush(dialog.get());
  }
  // Clicks "Update" and waits until the device thread has looked for the amp and made the
  // job's start (or given the road up).
  void ClickUpdate() {
    Click(dialog.get(), "m_btnUpdate");
    Settle();
  }
  std::string Status() { return Shown(dialog.get(), "status"); }
  std::string Percent() { return Shown(dialog.get(), "percent"); }
  QPushButton* Button(const char* name) { return Child<QPushButton>(dialog.get(), name); }
  QProgressBar* Bar() { return Child<QProgressBar>(dialog.get(), "m_progress"); }
  bool WaitForStatus(const char* text) {
    return WaitUntil([&] { return Status() == text; });
  }
  void Post(int message, int wParam, long lParam) {
    QCoreApplication::postEvent(dialog.get(), new qt::JobEvent(message, wParam, lParam));
    QCoreApplication::processEvents();
  }

  std::unique_ptr<CUpdateDlg> dialog;
};

TEST_F(UpdateWindowTest, WithoutTheAmpItOpensDisconnectedAndProbesTheModuleAtEachTick) {
  sim.korva.Unplug();
  Open();
  EXPECT_EQ(Status(), kTextConnectCable);
  EXPECT_EQ(Shown(dialog.get(), "usbState"), "Disconnected");
  EXPECT_EQ(Shown(dialog.get(), "currentVersion"), "");
  EXPECT_FALSE(LampIsGreen(dialog.get()));
  EXPECT_FALSE(Button("m_btnUpdate")->isEnabled());  // never seen since the window opened
  EXPECT_TRUE(Button("m_btnExit")->isEnabled());
  EXPECT_NE(dialog->PollTimerId(), 0);
  EXPECT_EQ(sim.module.Calls(), (std::vector<std::string>{"disconnect"}));

  Tick(*dialog);
  EXPECT_EQ(sim.module.Calls(),
            (std::vector<std::string>{"disconnect", "connect", "lasterror", "disconnect"}));
  EXPECT_EQ(Shown(dialog.get(), "currentVersion"), " ");
  EXPECT_FALSE(Button("m_btnUpdate")->isEnabled());
  EXPECT_TRUE(sim.korva.Writes().empty());
}

// Each row: the amp's versions, the plan, the status at the start and at the first tick.
struct VersionCase {
  const char* mcu;
  const char* dsp;
  int plan;
  const char* statusAtStart;
  const char* statusAtTick;
};

void PrintTo(const VersionCase& c, std::ostream* out) { *out << "Ver" << c.mcu << "." << c.dsp; }

class VersionComparisonTest : public UpdateWindowTest,
                              public ::testing::WithParamInterface<VersionCase> {};

TEST_P(VersionComparisonTest, ShowsVersionsPlanAndStatus) {
  const VersionCase& c = GetParam();
  sim.korva.SetVersions(c.mcu, c.dsp);
  Open();
  EXPECT_TRUE(LampIsGreen(dialog.get()));
  EXPECT_EQ(Shown(dialog.get(), "usbState"), "Connected");
  EXPECT_EQ(Shown(dialog.get(), "currentVersion"), std::string("Ver") + c.mcu + "." + c.dsp);
  EXPECT_EQ(Shown(dialog.get(), "newVersion"), "Ver1.38.250");
  EXPECT_EQ(Status(), c.statusAtStart);
  EXPECT_EQ(MainRoad().UpdatePlan, c.plan);
  EXPECT_EQ(MainRoad().UpdateConfirmed, c.plan == kPlanNothing ? 0 : 1);
  EXPECT_TRUE(Button("m_btnUpdate")->isEnabled());

  Tick(*dialog);
  EXPECT_EQ(Status(), c.statusAtTick);
  EXPECT_EQ(MainRoad().UpdatePlan, c.plan);
  EXPECT_TRUE(sim.korva.Violations().empty()) << sim.korva.Violations().front();
}

INSTANTIATE_TEST_SUITE_P(
    Plans, VersionComparisonTest,
    ::testing::Values(
        VersionCase{"1.38", "250", kPlanNothing, kTextSameFirmware, kTextSameFirmware},
        // The second MCU character is not compared.
        VersionCase{"1x38", "250", kPlanNothing, kTextSameFirmware, kTextSameFirmware},
        VersionCase{"1.38", "192", kPlanDspOnly, kTextSameMcuFirmware, kTextSameMcuFirmware},
        VersionCase{"1.36", "250", kPlanMcuOnly, kTextSameDspFirmware, kTextSameDspFirmware},
        VersionCase{"1.36", "192", kPlanBoth, kTextInitializing, kTextClickUpdate},
        VersionCase{"2.38", "251", kPlanBoth, kTextInitializing, kTextClickUpdate}),
    [](const auto& info) {
      std::string name = std::string("Mcu") + info.param.mcu + "Dsp" + info.param.dsp;
      std::replace_if(
          name.begin(), name.end(),
          [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
      return name;
    });

// Another program holds the amp (a second open of its lock stands in for it: the lock belongs
// to each open, as it belongs to each process): the window says who, and sends nothing, not
// even its poll's "INITSTA", which would ruin the other program's job.
TEST_F(UpdateWindowTest, AnAmpInUseByAnotherProgramIsLeftAloneUntilItIsFree) {
  AmpLockAttempt other = TryLockAmp("/dev/hidraw-korva");
  ASSERT_EQ(other.outcome, AmpLockOutcome::Taken);
  const std::string inUse = AmpInUseText(TryLockAmp("/dev/hidraw-korva").holder);
  EXPECT_NE(inUse.find("(process " + std::to_string(getpid()) + ")"), std::string::npos) << inUse;
  Open();
  EXPECT_EQ(Status(), inUse);
  EXPECT_EQ(Shown(dialog.get(), "usbState"), "Connected");
  Tick(*dialog);
  EXPECT_EQ(Status(), inUse);
  EXPECT_TRUE(sim.korva.Writes().empty());

  other.lock.reset();
  Tick(*dialog);
  EXPECT_EQ(Status(), kTextClickUpdate);
  // "Update" finds it taken again meanwhile: nothing starts, the window says who holds it.
  other = TryLockAmp("/dev/hidraw-korva");
  const std::size_t writes = sim.korva.Writes().size();
  ClickUpdate();
  EXPECT_EQ(Status(), inUse);
  EXPECT_FALSE(JobInProgress());
  EXPECT_EQ(sim.korva.Writes().size(), writes);
  EXPECT_TRUE(Button("m_btnUpdate")->isEnabled());
  EXPECT_NE(dialog->PollTimerId(), 0);

  // Free again: the update holds the lock from its presence test to its end.
  other.lock.reset();
  std::vector<AmpLockOutcome> duringTheJobs;
  JobEventWatcher jobs;
  jobs.onJob = [&](const qt::JobEvent& event) {
    if (event.WParam() == JOB_PROGRESS && event.LParam() == 1) {
      duringTheJobs.push_back(TryLockAmp("/dev/hidraw-korva").outcome);
    }
  };
  dialog->installEventFilter(&jobs);
  ClickUpdate();
  ASSERT_TRUE(WaitForStatus(kTextUpdateSucceeded));
  dialog->removeEventFilter(&jobs);
  EXPECT_EQ(duringTheJobs, (std::vector<AmpLockOutcome>{AmpLockOutcome::HeldElsewhere,
                                                        AmpLockOutcome::HeldElsewhere}));
  EXPECT_EQ(TryLockAmp("/dev/hidraw-korva").outcome, AmpLockOutcome::Taken);
  EXPECT_EQ(sim.korva.DspVersion(), "250");
}

TEST_F(UpdateWindowTest, ARecordWithoutVersionOnAFirstConnectionGivesPlanBoth) {
  sim.korva.SetVersions("1.38", "250", kVersionFlagsNoVersion);
  Open();
  EXPECT_EQ(Shown(dialog.get(), "currentVersion"), " ");
  EXPECT_EQ(MainRoad().UpdatePlan, kPlanBoth);
  Tick(*dialog);
  EXPECT_EQ(Status(), kTextClickUpdate);
}

TEST_F(UpdateWindowTest, InitStatesRefusedAtATickShowsConnectError) {
  Open();
  VirtualKorva::Faults faults;
  faults.acknowledgeLimit = 0;
  sim.korva.SetFaults(faults);
  Tick(*dialog);
  EXPECT_EQ(Status(), kTextInitStatesFailedCheckCable);
  EXPECT_EQ(Shown(dialog.get(), "usbState"), "Connect Error!");
  EXPECT_TRUE(LampIsGreen(dialog.get()));  // the lamp keeps its colour
  EXPECT_NE(dialog->PollTimerId(), 0);
}

TEST_F(UpdateWindowTest, SamePromptNoStartsNothingAndPollingResumes) {
  sim.korva.SetVersions("1.38", "250");
  Open();
  sim.korva.ClearLog();
  std::string promptText;
  WhenModal([&](QWidget* prompt) {
    promptText = Child<QLabel>(prompt, "prompt")->text().toStdString();
    EXPECT_TRUE(Child<QPushButton>(prompt, "btnNo")->isDefault());
    Click(prompt, "btnNo");
  });
  ClickUpdate();
  EXPECT_EQ(promptText,
            "The firmware version to be updated is same as the current firmware version. Are you  "
            "to update the "
            "software? Press \"Yes\" to update,otherwize press \"No\".");
  EXPECT_EQ(MainRoad().UpdateConfirmed, 0);
  EXPECT_TRUE(sim.korva.Writes().empty());
  EXPECT_TRUE(Button("m_btnUpdate")->isEnabled());
  EXPECT_NE(dialog->PollTimerId(), 0);
}

TEST_F(UpdateWindowTest, SamePromptEscapeCountsAsNo) {
  sim.korva.SetVersions("1.38", "250");
  Open();
  WhenModal([](QWidget* prompt) { QTest::keyClick(prompt, Qt::Key_Escape); });
  ClickUpdate();
  EXPECT_EQ(MainRoad().UpdateConfirmed, 0);
  EXPECT_EQ(JobStatus.load(), kJobIdle);
}

TEST_F(UpdateWindowTest, SamePromptYesRunsTheMcuJobAndThenTheDspJob) {
  sim.korva.SetVersions("1.38", "250");
  Open();
  WhenModal([](QWidget* prompt) { Click(prompt, "btnYes"); });
  Click(dialog.get(), "m_btnUpdate");
  ASSERT_TRUE(WaitForStatus(kTextUpdateSucceeded));
  EXPECT_EQ(sim.korva.CompletedUpdates(), 2);
  EXPECT_EQ(sim.korva.McuMemory().size(), 47u * 1024);
  EXPECT_FALSE(sim.korva.DspMemory().empty());
}

TEST_F(UpdateWindowTest, DspOnlyPlanRunsTheDspJobAlone) {
  sim.korva.SetVersions("1.38", "192");
  Open();
  // The status before the job's first progress message is handled, as the user sees it.
  std::vector<std::string> statuses;
  JobEventWatcher watcher;
  watcher.onJob = [&](const qt::JobEvent&) {
    if (statuses.empty()) statuses.push_back(Status());
  };
  qApp->installEventFilter(&watcher);  // the last installed sees events first
  Click(dialog.get(), "m_btnUpdate");
  const bool done = WaitForStatus(kTextUpdateSucceeded);
  qApp->removeEventFilter(&watcher);
  ASSERT_TRUE(done);
  ASSERT_FALSE(statuses.empty());
  EXPECT_EQ(statuses.front(), kTextSameMcuFirmware);
  EXPECT_TRUE(sim.korva.McuMemory().empty());
  EXPECT_EQ(sim.korva.DspVersion(), "250");
  EXPECT_EQ(CurrentTransfer.load(), kTransferNone);
  EXPECT_EQ(JobStatus.load(), kJobIdle);
  EXPECT_EQ(MainRoad().UpdateCompleted, 1);
}

TEST_F(UpdateWindowTest, PercentageFollowsTheMcuJobAndDoneClearsBarAndPercentage) {
  sim.korva.SetVersions("1.36", "250");
  Open();
  // Read what the user sees at the 376th and 751st report of 752.
  std::map<long, std::pair<std::string, int>> seen;
  JobEventWatcher watcher;
  watcher.onJob = [&](const qt::JobEvent& e) {
    if (e.WParam() == JOB_PROGRESS && (e.LParam() == 376 || e.LParam() == 751)) {
      seen[e.LParam()] = {Child<QLabel>(dialog.get(), "percent")->text().toStdString(),
                          Bar()->value()};
    }
  };
  dialog->installEventFilter(&watcher);
  Click(dialog.get(), "m_btnUpdate");
  EXPECT_FALSE(Button("m_btnUpdate")->isEnabled());
  EXPECT_FALSE(Button("m_btnExit")->isEnabled());
  EXPECT_EQ(dialog->PollTimerId(), 0);
  ASSERT_TRUE(WaitForStatus(kTextUpdateSucceeded));
  EXPECT_EQ(seen[376], std::make_pair(std::string("50%"), 376));
  EXPECT_EQ(seen[751], std::make_pair(std::string("99%"), 751));
  EXPECT_EQ(Bar()->maximum(), 752);
  EXPECT_EQ(Bar()->value(), 0);
  EXPECT_EQ(Percent(), " ");
  EXPECT_TRUE(Button("m_btnUpdate")->isEnabled());
  EXPECT_TRUE(Button("m_btnExit")->isEnabled());
  EXPECT_NE(dialog->PollTimerId(), 0);
  EXPECT_TRUE(sim.korva.DspMemory().empty());  // plan 2: no DSP job
}

// Job messages as the window takes them: from the running job only, percentages capped.
TEST_F(UpdateWindowTest, JobMessagesOfTheOtherJobChangeNothingAndPercentagesStayInRange) {
  Open();
  Tick(*dialog);
  const std::string before = Status();
  CurrentTransfer.store(kTransferMcu);
  McuReportTotal.store(752);
  DspReportTotal.store(2142);
  Post(WM_DSP_JOB, JOB_PROGRESS, 10);
  Post(WM_DSP_JOB, JOB_DONE, 0);
  Post(WM_MCU_JOB, 5, 10);  // an unknown wParam
  EXPECT_EQ(Status(), before);
  EXPECT_EQ(Percent(), "");

  // The DSP job counts its header: its last progress is one past the total.
  CurrentTransfer.store(kTransferDsp);
  Bar()->setRange(0, 2142);
  Post(WM_DSP_JOB, JOB_PROGRESS, 2143);
  EXPECT_EQ(Percent(), "100%");
  EXPECT_EQ(Bar()->value(), 2142);
  // A DSP image of only a header announces no data reports at all.
  DspReportTotal.store(0);
  Post(WM_DSP_JOB, JOB_PROGRESS, 1);
  EXPECT_EQ(Percent(), "100%");
  EXPECT_EQ(Status(), kTextDspUpdating);
  CurrentTransfer.store(kTransferNone);
}

TEST_F(UpdateWindowTest, UnplugAfterSuccessKeepsTheTextUntilATickMissesTheAmp) {
  sim.korva.SetVersions("1.36", "250");
  Open();
  Click(dialog.get(), "m_btnUpdate");
  ASSERT_TRUE(WaitForStatus(kTextUpdateSucceeded));
  Tick(*dialog);
  EXPECT_EQ(Status(), kTextUpdateSucceeded);
  EXPECT_EQ(Shown(dialog.get(), "currentVersion"), "Ver1.38.250");
  sim.korva.Unplug();
  EXPECT_EQ(Status(), kTextUpdateSucceeded);
  Tick(*dialog);
  EXPECT_EQ(Status(), kTextConnectCable);
  EXPECT_EQ(MainRoad().UpdateCompleted, 0);
  EXPECT_FALSE(LampIsGreen(dialog.get()));
  EXPECT_TRUE(Button("m_btnUpdate")->isEnabled());
}

TEST_F(UpdateWindowTest, UpdateWithTheAmpGoneShowsABoxAndResumesPolling) {
  Open();
  sim.korva.Unplug();
  ClickUpdate();
  ASSERT_EQ(prompter.Boxes().size(), 1u);
  EXPECT_EQ(prompter.Boxes()[0].kind, BoxKind::Window);
  EXPECT_EQ(prompter.Boxes()[0].text, kTextConnectCable);
  EXPECT_EQ(Status(), kTextConnectCable);
  EXPECT_NE(dialog->PollTimerId(), 0);
}

TEST_F(UpdateWindowTest, InitStatesRefusedInsideStartJobGivesTwoBoxes) {
  Open();
  Tick(*dialog);
  VirtualKorva::Faults faults;
  faults.acknowledgeLimit = 0;
  sim.korva.SetFaults(faults);
  ClickUpdate();
  ASSERT_EQ(prompter.Boxes().size(), 2u);
  EXPECT_EQ(prompter.Boxes()[0].kind, BoxKind::Application);
  EXPECT_EQ(prompter.Boxes()[0].text, kTextInitStatesFailedWide);
  // "INITSTA" was sent from the device thread, and its box asked for from there.
  EXPECT_NE(prompter.Boxes()[0].thread, std::this_thread::get_id());
  EXPECT_EQ(prompter.Boxes()[1].thread, std::this_thread::get_id());
  EXPECT_EQ(prompter.Boxes()[1].kind, BoxKind::Window);
  EXPECT_EQ(prompter.Boxes()[1].text, kTextUpdateMcuFailed);
  EXPECT_EQ(Status(), kTextClickUpdateAfterMcuStartFailed);
  EXPECT_TRUE(Button("m_btnUpdate")->isEnabled());
  EXPECT_TRUE(Button("m_btnExit")->isEnabled());
  EXPECT_EQ(JobStatus.load(), kJobIdle);
  EXPECT_EQ(CurrentTransfer.load(), kTransferNone);
  EXPECT_NE(dialog->PollTimerId(), 0);
  EXPECT_EQ(RunningWorkers(), 0);
}

TEST_F(UpdateWindowTest, ADspStartRefusedAfterTheMcuJobSaysSo) {
  Open();
  // The amp takes the MCU job and then refuses the DSP job's "INITSTA".
  bool armed = false;
  JobEventWatcher watcher;
  watcher.onJob = [&](const qt::JobEvent& e) {
    if (e.Message() == WM_MCU_JOB && e.WParam() == JOB_DONE && !std::exchange(armed, true)) {
      VirtualKorva::Faults faults;
      faults.acknowledgeLimit = 0;
      sim.korva.SetFaults(faults);
    }
  };
  // Installed first, so it runs before the window's own handling of the same event.
  qApp->installEventFilter(&watcher);
  Click(dialog.get(), "m_btnUpdate");
  ASSERT_TRUE(WaitUntil([&] { return prompter.Boxes().size() == 2; }));
  qApp->removeEventFilter(&watcher);
  Settle();
  EXPECT_EQ(prompter.Texts(),
            (std::vector<std::string>{kTextInitStatesFailed, kTextUpdateDspFailed}));
  EXPECT_EQ(Status(), kTextClickUpdate);
  EXPECT_TRUE(Button("m_btnExit")->isEnabled());
  EXPECT_NE(dialog->PollTimerId(), 0);
}

TEST_F(UpdateWindowTest, AFailingJobShowsTheFailureAndGivesTheButtonsBack) {
  Open();
  VirtualKorva::Faults faults;
  faults.unplugAfterDataReports = 100;
  sim.korva.SetFaults(faults);
  Click(dialog.get(), "m_btnUpdate");
  ASSERT_TRUE(WaitForStatus(kTextUpdateFailed));
  EXPECT_EQ(Percent(), " ");
  EXPECT_EQ(Bar()->value(), 0);
  EXPECT_TRUE(Button("m_btnUpdate")->isEnabled());
  EXPECT_TRUE(Button("m_btnExit")->isEnabled());
  EXPECT_NE(dialog->PollTimerId(), 0);
  EXPECT_TRUE(sim.korva.DspMemory().empty());  // no DSP job after a failed MCU job
  Tick(*dialog);
  EXPECT_EQ(Status(), kTextConnectCable);
}

// A tick held inside "INITSTA" on the device thread: the window goes on handling the user,
// schedules no further tick, and "Update" waits for the tick before anything of the job goes
// to the amp.
TEST_F(UpdateWindowTest, ATickThatWaitsForTheAmpLeavesTheWindowFreeAndUpdateWaitsForIt) {
  Open();
  HookedClock hooked(clock);
  Gate gate;
  hooked.hook = [&] { gate.Pass(); };
  SetProcessClock(&hooked);
  sim.korva.ClearLog();
  gate.Close();
  QTimerEvent tick(dialog->PollTimerId());
  QCoreApplication::sendEvent(dialog.get(), &tick);  // returns at once
  ASSERT_TRUE(gate.WaitUntilHeld());
  EXPECT_EQ(dialog->PollTimerId(), 0);  // the next tick is due 500 ms after this one came back

  Click(dialog.get(), "m_btnUpdate");
  EXPECT_FALSE(Button("m_btnUpdate")->isEnabled());
  EXPECT_FALSE(Button("m_btnExit")->isEnabled());
  QTest::keyClick(dialog.get(), Qt::Key_Escape);  // refused while the job is being started
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(sim.korva.Writes().size(), 1u);  // the tick's "INITSTA", held in its pause
  gate.Open();
  ASSERT_TRUE(WaitForStatus(kTextUpdateSucceeded));
  Settle();
  WaitForWorkers();
  SetProcessClock(&clock);

  const auto w = sim.korva.Writes();
  ASSERT_GE(w.size(), 5u);
  auto starts = [&](std::size_t i, std::string_view text) {
    return std::string_view(reinterpret_cast<const char*>(&w[i].bytes[1]), text.size()) == text;
  };
  EXPECT_TRUE(starts(0, "INITSTA"));
  EXPECT_TRUE(starts(2, "RV"));
  EXPECT_TRUE(starts(3, "INITSTA"));  // the job's, after the whole tick
  EXPECT_EQ(sim.korva.CompletedUpdates(), 2);
  EXPECT_TRUE(sim.korva.Violations().empty()) << sim.korva.Violations().front();
}

// An amp that is listed but cannot be opened: lamp, state word, version line, module probe
// and "Update" as for an absent amp; the status line and the box say why.
TEST_F(UpdateWindowTest, AnAmpThatCannotBeOpenedLooksAbsentButTheStatusSaysWhy) {
  struct Case {
    VirtualKorva::Faults faults;
    const char* why;
  };
  const Case cases[] = {
      {{.permissionDenied = true},
       "may not open it. Install the udev rule 70-korva.rules in /etc/udev/rules.d"},
      {{.openedElsewhere = true}, "another program holds it"},
  };
  Open();
  for (const Case& c : cases) {
    sim.korva.SetFaults(c.faults);
    sim.korva.ClearLog();
    const std::size_t moduleCalls = sim.module.Calls().size();
    Tick(*dialog);
    EXPECT_NE(Status().find(c.why), std::string::npos) << Status();
    EXPECT_FALSE(LampIsGreen(dialog.get()));
    EXPECT_EQ(Shown(dialog.get(), "usbState"), "Disconnected");
    EXPECT_EQ(Shown(dialog.get(), "currentVersion"), " ");
    EXPECT_EQ(LinkMode.load(), kLinkNone);
    EXPECT_EQ(sim.module.Calls().size(), moduleCalls + 3);  // connect, last error, disconnect
    EXPECT_TRUE(Button("m_btnUpdate")->isEnabled());

    ClickUpdate();
    ASSERT_FALSE(prompter.Boxes().empty());
    EXPECT_EQ(prompter.Boxes().back().text, Status());
    EXPECT_TRUE(sim.korva.Writes().empty());
    EXPECT_TRUE(Button("m_btnUpdate")->isEnabled());
    EXPECT_NE(dialog->PollTimerId(), 0);
  }
  sim.korva.SetFaults({});
  Tick(*dialog);
  EXPECT_TRUE(LampIsGreen(dialog.get()));
  EXPECT_EQ(Status(), kTextClickUpdate);
}

TEST_F(UpdateWindowTest, AtTheOpeningAnAmpHeldElsewhereIsNamed) {
  sim.korva.SetFaults({.openedElsewhere = true});
  Open();
  EXPECT_NE(Status().find("another program holds it"), std::string::npos) << Status();
  EXPECT_EQ(Shown(dialog.get(), "usbState"), "Disconnected");
  EXPECT_EQ(sim.module.Calls(), (std::vector<std::string>{"disconnect"}));
  EXPECT_TRUE(sim.korva.Writes().empty());
}

TEST_F(UpdateWindowTest, TheWindowCannotBeClosedWhileAJobWrites) {
  Open();
  Click(dialog.get(), "m_btnUpdate");
  // The job waits for the window to prepare its bar: it is surely running now.
  EXPECT_FALSE(Button("m_btnExit")->isEnabled());
  QTest::keyClick(dialog.get(), Qt::Key_Escape);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_FALSE(dialog->close());
  EXPECT_TRUE(dialog->isVisible());
  ASSERT_TRUE(WaitForStatus(kTextUpdateSucceeded));
  QTest::keyClick(dialog.get(), Qt::Key_Escape);
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(dialog->result(), QDialog::Rejected);
}

}  // namespace
}  // namespace korva::testing
