// The main update window's Qt face against the virtual amp, in virtual time: its labels and lamp,
// the prompt's template and keys, the bar and label while a job reports, its poll's timer and a
// tick that waits for the amp, and a window that cannot be closed while a job writes. What the
// window decides is tested without Qt (tests/dialogs/update_window_tests.cpp).
#include <QKeyEvent>

#include "device/hid_transport.h"
#include "jobs/update_texts.h"
#include "qt/job_event.h"
#include "tests/qt/qt_test_support.h"

namespace korva::testing {
namespace {

using dialogs::MainRoad;
using qt::CUpdateDlg;

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
