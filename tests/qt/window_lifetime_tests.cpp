// The main window against the end of its event loop while it updates the amp. Ending the loop
// used to destroy the window under its running job, which then wrote into freed memory (this
// test runs under AddressSanitizer); the window now stays until its update has ended.
#include "images/embedded_images.h"
#include "qt/device_watchers.h"
#include "qt/welcome_dlg.h"
#include "tests/qt/qt_test_support.h"

namespace korva::testing {
namespace {

// Ending the application's event loop leaves every later loop ending at once, until the
// application's own loop has run again: runs it for a moment, for the tests that follow.
void LetEventLoopsRunAgain() {
  QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
  QCoreApplication::exec();
}

class WindowLifetimeTest : public WindowTest {
 protected:
  WindowLifetimeTest() : watcher(sim.bus), welcome(&watcher) { qApp->installEventFilter(&jobs); }
  ~WindowLifetimeTest() override { qApp->removeEventFilter(&jobs); }

  qt::VirtualBusWatcher watcher;
  qt::CWelcomeDlg welcome;
  JobEventWatcher jobs;
};

TEST_F(WindowLifetimeTest, AWindowWhoseEventLoopEndsMidUpdateStaysUntilTheUpdateHasEnded) {
  welcome.show();
  bool dspDone = false;
  jobs.onJob = [&](const qt::JobEvent& event) {
    if (event.Message() == WM_MCU_JOB && event.WParam() == JOB_PROGRESS && event.LParam() == 100) {
      QCoreApplication::exit(0);  // as an application quit, or a signal handler that quits
    }
    if (event.Message() == WM_DSP_JOB && event.WParam() == JOB_DONE) dspDone = true;
  };
  bool destroyed = false;
  bool destroyedMidUpdate = false;
  WhenModal([&](QWidget* main) {
    QObject::connect(main, &QObject::destroyed, [&] {
      destroyed = true;
      destroyedMidUpdate = !dspDone;
    });
    ClickWhenEnabled(main, "m_btnUpdate");
  });
  Click(&welcome, "btnEnter");
  LetEventLoopsRunAgain();
  WaitForWorkers();

  EXPECT_TRUE(destroyed);
  EXPECT_FALSE(destroyedMidUpdate);
  // The update went on to its end: both processors hold the carried firmware.
  ASSERT_EQ(LoadEmbeddedImages(), 1);
  EXPECT_EQ(sim.korva.McuMemory(), CarriedMcuMemory());
  EXPECT_EQ(sim.korva.DspMemory(), CarriedDspMemory());
  EXPECT_EQ(sim.korva.McuVersion(), "1.38");
  EXPECT_EQ(sim.korva.DspVersion(), "250");
}

}  // namespace
}  // namespace korva::testing
