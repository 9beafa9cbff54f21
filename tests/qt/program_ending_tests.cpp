// The window program asked to end by a signal: at once while nothing is written; during an
// update only once the update has ended, unless asked twice within 3 seconds, which stops the
// job between two reports and leaves the next run to update the amp. Signals come through the
// program's own catcher (qt/end_signals.h) as the system sends them.
#include "qt/program_ending.h"

#include <signal.h>

#include "images/embedded_images.h"
#include "jobs/end_request_rule.h"
#include "jobs/update_texts.h"
#include "qt/device_watchers.h"
#include "qt/end_signals.h"
#include "qt/welcome_dlg.h"
#include "tests/qt/qt_test_support.h"

namespace korva::testing {
namespace {

// Virtual time whose first pause once `holdWhen` holds waits until the test releases it: the
// job that makes it stands still there.
class HeldClock final : public Clock {
 public:
  HeldClock(VirtualClock& time, std::function<bool()> holdWhen)
      : time_(time), holdWhen_(std::move(holdWhen)) {}
  void Pause(int ms) override {
    time_.Pause(ms);
    std::unique_lock lock(mutex_);
    if (held_ || !holdWhen_()) return;
    held_ = true;
    holding_ = true;
    released_.wait(lock, [this] { return !holding_; });
  }
  std::int64_t NowMs() const override { return time_.NowMs(); }
  bool Holding() {
    std::lock_guard lock(mutex_);
    return holding_;
  }
  void Release() {
    std::lock_guard lock(mutex_);
    holding_ = false;
    released_.notify_all();
  }

 private:
  VirtualClock& time_;
  const std::function<bool()> holdWhen_;
  std::mutex mutex_;
  std::condition_variable released_;
  bool held_ = false;
  bool holding_ = false;
};

class ProgramEndingTest : public WindowTest {
 protected:
  ProgramEndingTest() : watcher(sim.bus) { qApp->installEventFilter(&jobs); }
  ~ProgramEndingTest() override {
    qApp->removeEventFilter(&jobs);
    // Ending the event loops leaves later loops ending at once until the application's own
    // loop has run again.
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
  }

  // Runs the program's windows as its start does, until they end; returns the exit status.
  int RunProgram(const std::function<void(QWidget* main)>& inMainWindow) {
    qt::CWelcomeDlg welcome(&watcher);
    WhenModal([&](QWidget* welcomeWindow) {
      WhenModal(inMainWindow);
      Click(welcomeWindow, "btnEnter");
    });
    welcome.exec();
    WaitForWorkers();
    return ending.ExitStatus();
  }

  // A signal to this process, as kill(1) sends it.
  static void Send(int signal) { kill(getpid(), signal); }

  std::string NoticeText() {
    return ending.NoticeBox() ? ending.NoticeBox()->text().toStdString() : std::string();
  }

  bool AmpHoldsTheCarriedFirmware() {
    EXPECT_EQ(LoadEmbeddedImages(), 1);
    return sim.korva.McuMemory() == CarriedMcuMemory() &&
           sim.korva.DspMemory() == CarriedDspMemory() && sim.korva.McuVersion() == "1.38" &&
           sim.korva.DspVersion() == "250";
  }

  qt::VirtualBusWatcher watcher;
  VirtualClock signalTimes;  // moved on by the tests alone
  qt::ProgramEnding ending{signalTimes};
  qt::EndSignals endSignals{[this](int signal) { ending.OnEndSignal(signal); }};
  JobEventWatcher jobs;
  bool sent = false;
};

TEST_F(ProgramEndingTest, WithNothingWrittenEachSignalEndsTheProgramAtOnce) {
  for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
    SCOPED_TRACE(signal);
    const int status = RunProgram([signal](QWidget*) { Send(signal); });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ending.NoticeBox(), nullptr);
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
  }
  EXPECT_TRUE(sim.korva.Writes().size() > 0);  // the windows read the amp
  EXPECT_EQ(sim.korva.McuVersion(), "1.36");   // and wrote nothing
}

TEST_F(ProgramEndingTest, ASignalDuringTheUpdateIsHeldOffUntilTheUpdateHasEnded) {
  // The MCU job is held after its first hundred writes until the window says why it goes on.
  HeldClock held(clock, [this] { return sim.korva.Writes().size() > 100; });
  SetProcessClock(&held);
  std::string notice;
  QTimer driver;
  QObject::connect(&driver, &QTimer::timeout, [&] {
    if (held.Holding() && notice.empty()) {
      if (!NoticeText().empty()) {
        notice = NoticeText();
        held.Release();
      } else if (!sent) {
        sent = true;
        Send(SIGTERM);
      }
    }
  });
  driver.start(1);
  bool dspDoneBeforeTheEnd = false;
  jobs.onJob = [&](const qt::JobEvent& event) {
    if (event.Message() == WM_DSP_JOB && event.WParam() == JOB_DONE) dspDoneBeforeTheEnd = true;
  };
  const int status = RunProgram([](QWidget* main) { ClickWhenEnabled(main, "m_btnUpdate"); });
  driver.stop();
  SetProcessClock(&clock);
  EXPECT_EQ(notice, qt::kTextFinishingUpdate);
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(dspDoneBeforeTheEnd);
  EXPECT_TRUE(AmpHoldsTheCarriedFirmware());
  EXPECT_TRUE(sim.korva.Violations().empty()) << sim.korva.Violations().front();
}

TEST_F(ProgramEndingTest, ASecondSignalWithin3SecondsStopsTheJobAndTheNextRunUpdatesTheAmp) {
  // The MCU job is held at an acknowledgement after its first hundred writes while the signals
  // come, so that they reach the window while it is still writing.
  HeldClock held(clock, [this] { return sim.korva.Writes().size() > 100; });
  SetProcessClock(&held);
  int step = 0;
  QTimer driver;
  QObject::connect(&driver, &QTimer::timeout, [&] {
    if (step == 0 && held.Holding()) {
      ++step;
      Send(SIGHUP);
    } else if (step == 1 && !NoticeText().empty()) {
      ++step;
      signalTimes.Pause(static_cast<int>(kInsistWithinMs));  // the last moment that counts
      Send(SIGINT);
    } else if (step == 2 && JobStopRequested.load()) {
      ++step;
      held.Release();
    }
  });
  driver.start(1);
  long lastMcuReport = 0;
  std::string noticeAtTheEnd;
  jobs.onJob = [&](const qt::JobEvent& event) {
    if (event.Message() != WM_MCU_JOB) return;
    if (event.WParam() == JOB_PROGRESS) lastMcuReport = event.LParam();
    if (event.WParam() == JOB_FAILED) noticeAtTheEnd = NoticeText();
  };
  const int status = RunProgram([](QWidget* main) { ClickWhenEnabled(main, "m_btnUpdate"); });
  driver.stop();
  SetProcessClock(&clock);
  EXPECT_EQ(step, 3);
  EXPECT_EQ(status, qt::ProgramEnding::kExitStopped);
  EXPECT_EQ(noticeAtTheEnd, qt::kTextStoppingUpdate);
  // Stopped between two reports of the MCU job, right after the held acknowledgement of a block
  // of 16 reports; the DSP job never started.
  EXPECT_GT(lastMcuReport, 0);
  EXPECT_LT(lastMcuReport, 752);
  EXPECT_EQ(lastMcuReport % 16, 0);
  EXPECT_EQ(sim.korva.McuVersion(), "1.36");
  EXPECT_EQ(sim.korva.DspVersion(), "192");
  EXPECT_TRUE(sim.korva.DspMemory().empty());

  // The next run updates the amp.
  jobs.onJob = [](const qt::JobEvent&) {};
  QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
  QCoreApplication::exec();
  qt::ProgramEnding next(signalTimes);
  JobStopRequested.store(false);
  qt::CWelcomeDlg welcome(&watcher);
  welcome.show();
  WhenModal([&](QWidget* main) {
    ClickWhenEnabled(main, "m_btnUpdate");
    WaitUntil([&] { return Shown(main, "status") == kTextUpdateSucceeded; });
    Click(main, "m_btnExit");
  });
  Click(&welcome, "btnEnter");
  EXPECT_TRUE(AmpHoldsTheCarriedFirmware());
}

TEST(EndRequestRuleTest, ASecondRequestInsistsOnlyWithin3SecondsOfTheWarning) {
  EndRequestRule rule;
  EXPECT_EQ(rule.OnRequest(1000), EndRequestRule::Verdict::Warn);
  EXPECT_EQ(rule.OnRequest(4001), EndRequestRule::Verdict::Warn);  // too late: a new warning
  EXPECT_EQ(rule.OnRequest(7001), EndRequestRule::Verdict::Insist);
}

}  // namespace
}  // namespace korva::testing
