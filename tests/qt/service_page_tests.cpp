// The service pages' Qt faces in the welcome window, driven as a technician would against the
// virtual amp in virtual time: choosing files, whole jobs to their final box with the controls,
// tabs and window buttons as they are meanwhile, the tab bar, job messages that arrive while a
// box or another window runs its own loop, the keyboard, and a window that cannot go while a
// page's job writes. The pages' checks and failures are tested without Qt
// (tests/dialogs/service_page_tests.cpp).
#include <sys/stat.h>

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTabBar>
#include <QTabWidget>
#include <memory>
#include <optional>

#include "jobs/service_texts.h"
#include "qt/about_dlg.h"
#include "tests/qt/service_page_test_support.h"
#include "tests/shared/service_page_cases.h"

namespace korva::testing {
namespace {

// The tab of the page that starts `jobKind`.
int TabOf(int jobKind) {
  switch (jobKind) {
    case kJobDsp:
      return ServicePageHost::kTabDsp;
    case kJobAudio:
      return ServicePageHost::kTabIr;
    case kJobBattery:
      return ServicePageHost::kTabBattery;
    default:
      return ServicePageHost::kTabMcu;
  }
}

class EachPageTest : public ServicePageTest, public ::testing::WithParamInterface<PageCase> {
 protected:
  // The page with its file chosen (and, on the IR page, slot 5).
  QWidget* Prepared() {
    const PageCase& c = GetParam();
    QWidget* page = Open(TabOf(c.jobKind));
    if (c.jobKind == kJobAudio) ChooseSlot(page, 5);
    Browse(page, folder.File(c.fileName, c.file));
    return page;
  }
};

TEST_P(EachPageTest, BrowseThenUpgradeRunsTheJobToItsFinalBoxAndTheAmpHoldsTheFile) {
  const PageCase& c = GetParam();
  QWidget* page = Prepared();
  EXPECT_EQ(files.filters, std::vector<std::string>{c.filter});
  EXPECT_EQ(PathShown(page), folder.PathOf(c.fileName));
  if (c.version) {
    EXPECT_EQ(Shown(page, "updateVersion"), c.version);
  }
  EXPECT_TRUE(prompter.Boxes().empty());

  // What the user sees while the final box is open: the last position, the job not yet reset.
  struct {
    int bar = -1;
    int maximum = -1;
    std::string percent;
    bool buttons = true;
    int status = kJobIdle;
  } atBox;
  prompter.whileShown = [&](const RecordingPrompter::Box&) {
    atBox = {Bar(page)->value(), Bar(page)->maximum(), Shown(page, "percent"), ButtonsEnabled(page),
             JobStatus.load()};
  };
  // And while the job runs, at its first progress message: Browse, Upgrade, the tabs, Enter and
  // Exit, and the IR page's slot list, each enabled or not.
  auto* index = page->findChild<QComboBox*>(QStringLiteral("m_cbIndex"));
  auto enabled = [&] {
    return std::vector<bool>{Child<QPushButton>(page, "m_btnBrowse")->isEnabled(),
                             Child<QPushButton>(page, "m_btnUpgrade")->isEnabled(),
                             Tabs()->tabBar()->isEnabled(), WelcomeButtonsEnabled(),
                             index && index->isEnabled()};
  };
  std::vector<bool> whileRunning;
  JobEventWatcher running;
  running.onJob = [&](const qt::JobEvent& e) {
    if (e.WParam() == JOB_PROGRESS && whileRunning.empty()) whileRunning = enabled();
  };
  page->installEventFilter(&running);
  sim.korva.ClearLog();
  Click(page, "m_btnUpgrade");
  ASSERT_TRUE(WaitForIdle());
  page->removeEventFilter(&running);
  EXPECT_EQ(whileRunning, std::vector<bool>(5, false));
  EXPECT_EQ(enabled(), (std::vector<bool>{true, true, true, true, index != nullptr}));

  ASSERT_EQ(prompter.Boxes().size(), 1u);
  EXPECT_EQ(prompter.Boxes()[0].kind, BoxKind::Window);
  EXPECT_EQ(prompter.Boxes()[0].text, ServiceJobTextsOf(c.jobKind).succeeded);
  EXPECT_GT(atBox.maximum, 1);
  EXPECT_EQ(atBox.bar, atBox.maximum);
  EXPECT_EQ(atBox.percent, "100%");  // the DSP job's header report makes no 102%
  EXPECT_FALSE(atBox.buttons);
  EXPECT_EQ(atBox.status, kJobSucceeded);
  ExpectIdle(page);
  ExpectShowing(TabOf(c.jobKind));
  c.expectOnTheAmp(sim.korva, c.file);
  EXPECT_TRUE(sim.korva.Violations().empty()) << sim.korva.Violations().front();
  EXPECT_EQ(sim.bus.OpenHandles(), 0);
}

INSTANTIATE_TEST_SUITE_P(Pages, EachPageTest, ::testing::ValuesIn(FilePageCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// Browse on the firmware pages: accepted (its version), cancelled (nothing changes), refused
// ("ERROR!" after a page box) and unreadable (the new path, the old version); a FIFO is
// unreadable at once, it does not hang the window.
TEST_F(ServicePageTest, BrowseOnTheFirmwarePages) {
  const std::string fifo = folder.PathOf("pipe.bin");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const PageCase& c : FilePageCases()) {
    if (!c.version) continue;
    SCOPED_TRACE(c.name);
    QWidget* page = Open(TabOf(c.jobKind));
    EXPECT_EQ(Shown(page, "loadedVersion"), "");
    EXPECT_EQ(Shown(page, "updateVersion"), "");
    EXPECT_EQ(Shown(page, "percent"), "0%");
    const std::size_t boxes = prompter.Boxes().size();

    const std::string good = folder.File(c.fileName, c.file);
    Browse(page, good);
    EXPECT_EQ(Shown(page, "updateVersion"), c.version);
    EXPECT_EQ(prompter.Boxes().size(), boxes);

    files.Cancel();
    Click(page, "m_btnBrowse");
    EXPECT_EQ(PathShown(page), good);
    EXPECT_EQ(Shown(page, "updateVersion"), c.version);

    const std::string wrong = folder.File("wrong.bin", c.refusedFile);
    Browse(page, wrong);
    EXPECT_EQ(PathShown(page), wrong);
    EXPECT_EQ(Shown(page, "updateVersion"), kTextVersionError);
    ASSERT_EQ(prompter.Boxes().size(), boxes + 1);
    EXPECT_EQ(prompter.Boxes().back().kind, BoxKind::Window);
    EXPECT_EQ(prompter.Boxes().back().text, kTextFileWrong);

    Browse(page, good);
    const std::string gone = folder.PathOf("gone.bin");
    Browse(page, gone);
    EXPECT_EQ(PathShown(page), gone);
    EXPECT_EQ(Shown(page, "updateVersion"), c.version);
    ASSERT_EQ(prompter.Boxes().size(), boxes + 2);
    EXPECT_EQ(prompter.Boxes().back().kind, BoxKind::Window);
    EXPECT_EQ(prompter.Boxes().back().text, kTextOpenFileFailed);

    Browse(page, fifo);
    ASSERT_EQ(prompter.Boxes().size(), boxes + 3);
    EXPECT_EQ(prompter.Boxes().back().text, kTextOpenFileFailed);
  }
  // Browse only looks: nothing went where a job reads it, nothing to the amp.
  EXPECT_EQ(Images().McuImageLength, 0u);
  EXPECT_EQ(Images().DspImageLength, 0u);
  EXPECT_FALSE(PageFile().PageFileBuffer.has_value());
  EXPECT_TRUE(sim.korva.Writes().empty());
}

TEST_F(ServicePageTest, TheIrPageOffersSlotsOneToSevenAndChecksWavFilesAtBrowse) {
  QWidget* page = Open(ServicePageHost::kTabIr);
  auto* index = Child<QComboBox>(page, "m_cbIndex");
  EXPECT_EQ(index->currentIndex(), -1);
  std::vector<std::string> items;
  for (int i = 0; i < index->count(); ++i) items.push_back(index->itemText(i).toStdString());
  EXPECT_EQ(items, (std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7"}));

  Browse(page, folder.File("cab.wav", Wav(28844)));
  Browse(page, folder.File("short.wav", Wav(16428)));  // the shortest file a slot takes
  EXPECT_TRUE(prompter.Boxes().empty());
  files.Cancel();
  Click(page, "m_btnBrowse");
  EXPECT_EQ(PathShown(page), folder.PathOf("short.wav"));

  Bytes stereo = Wav(28844);
  stereo[22] = 2;
  Browse(page, folder.File("stereo.wav", stereo));
  Browse(page, folder.File("tiny.wav", Wav(16427)));
  Browse(page, folder.PathOf("gone.wav"));
  EXPECT_EQ(PathShown(page), folder.PathOf("gone.wav"));
  ASSERT_EQ(prompter.Boxes().size(), 3u);
  EXPECT_EQ(prompter.Boxes()[0].kind, BoxKind::Application);
  EXPECT_EQ(prompter.Boxes()[0].text, kTextFileWrong);
  EXPECT_EQ(prompter.Boxes()[1].kind, BoxKind::Application);
  EXPECT_EQ(prompter.Boxes()[1].text, kTextFileTooSmall);
  EXPECT_EQ(prompter.Boxes()[2].kind, BoxKind::Window);
  EXPECT_EQ(prompter.Boxes()[2].text, kTextOpenFileFailed);
  EXPECT_EQ(files.filters, std::vector<std::string>(6, "*.wav WAV"));
}

// The tab rule: each tab shows its page alone; while the link is handed to the Bluetooth module
// only the Bluetooth tab is reachable; while a job runs no tab is. A refused tab never stays
// selected under another page.
TEST_F(ServicePageTest, TheTabRule) {
  ExpectShowing(ServicePageHost::kTabMcu);
  EXPECT_EQ(Tabs()->count(), 5);
  std::vector<std::string> titles;
  for (int i = 0; i < Tabs()->count(); ++i) titles.push_back(Tabs()->tabText(i).toStdString());
  EXPECT_EQ(titles, (std::vector<std::string>{"MCU", "DSP", "IR", "Battery", "Bluetooth"}));
  for (int tab : {1, 2, 3, 4, 0, 4, 2}) {
    ClickTab(tab);
    ExpectShowing(tab);
  }

  LinkMode.store(kLinkBluetooth);
  ClickTab(ServicePageHost::kTabDsp);
  ExpectShowing(ServicePageHost::kTabIr);
  ClickTab(ServicePageHost::kTabBluetooth);
  ExpectShowing(ServicePageHost::kTabBluetooth);
  for (int tab : {0, 1, 2, 3}) {
    ClickTab(tab);
    ExpectShowing(ServicePageHost::kTabBluetooth);
    EXPECT_FALSE(Tabs()->tabBar()->isTabEnabled(tab));
  }
  QTest::keyClick(Tabs(), Qt::Key_Tab, Qt::ControlModifier);  // the next tab, by keyboard
  ExpectShowing(ServicePageHost::kTabBluetooth);
  Tabs()->setCurrentIndex(ServicePageHost::kTabIr);  // and from code
  ExpectShowing(ServicePageHost::kTabBluetooth);
  LinkMode.store(kLinkHid);
  ClickTab(ServicePageHost::kTabBattery);
  ExpectShowing(ServicePageHost::kTabBattery);
  EXPECT_TRUE(Tabs()->tabBar()->isTabEnabled(ServicePageHost::kTabDsp));

  // A job of another window runs: every tab is refused, also by keyboard and from code.
  JobStatus.store(kJobRunning);
  for (int tab : {0, 4}) {
    ClickTab(tab);
    ExpectShowing(ServicePageHost::kTabBattery);
  }
  Tabs()->setCurrentIndex(ServicePageHost::kTabDsp);
  ExpectShowing(ServicePageHost::kTabBattery);
  JobStatus.store(kJobIdle);
}

TEST_F(ServicePageTest, WhileAPageJobWritesNeitherTabsNorWindowMayGo) {
  QWidget* page = Open(ServicePageHost::kTabMcu);
  Browse(page, folder.File("mcu.bin", FirmwareBytes(0x2345, 7, 0x10, "APPV1.39")));
  // At the job's first progress message the user tries every way out.
  bool tried = false;
  JobEventWatcher running;
  running.onJob = [&](const qt::JobEvent& e) {
    if (e.WParam() != JOB_PROGRESS || std::exchange(tried, true)) return;
    ASSERT_TRUE(Host().JobRunning());
    EXPECT_FALSE(Tabs()->tabBar()->isEnabled());
    QTest::keyClick(Tabs(), Qt::Key_Tab, Qt::ControlModifier);
    ExpectShowing(ServicePageHost::kTabMcu);
    QTest::keyClick(welcome.get(), Qt::Key_Escape);
    EXPECT_FALSE(welcome->close());
    welcome->done(QDialog::Accepted);
    Click(welcome.get(), "btnEnter");
    EXPECT_TRUE(welcome->isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);  // no main window opened
  };
  page->installEventFilter(&running);
  Click(page, "m_btnUpgrade");
  ASSERT_TRUE(WaitForIdle());
  page->removeEventFilter(&running);
  EXPECT_TRUE(tried);
  EXPECT_TRUE(welcome->isVisible());
  ExpectIdle(page);

  // Destroyed while its job runs (the program's loop ended some other way): the window goes
  // only once its page has taken the job's final message.
  Click(page, "m_btnUpgrade");
  ASSERT_TRUE(Host().JobRunning());
  welcome.reset();
  EXPECT_EQ(RunningWorkers(), 0);
  EXPECT_EQ(prompter.Texts(), std::vector<std::string>(2, kTextMcuPageSucceeded));
  EXPECT_EQ(JobStatus.load(), kJobIdle);
}

// A page acts on its own job's messages while that job runs, on each once: a late or repeated
// message that arrives while one of its boxes runs its own loop changes nothing, and messages
// that arrive while another window's loop runs are not lost.
TEST_F(ServicePageTest, JobMessagesThatArriveWhileABoxIsOpenAreActedOnOnce) {
  QWidget* page = Open(ServicePageHost::kTabMcu);
  Browse(page, folder.File("mcu.bin", FirmwareBytes(0x2345, 7, 0x10, "APPV1.39")));
  std::optional<std::pair<int, std::string>> inBox;
  prompter.whileShown = [&](const RecordingPrompter::Box& box) {
    if (box.text != kTextMcuPageSucceeded || inBox) return;
    Post(page, WM_MCU_JOB, JOB_DONE, 0);
    Post(page, WM_MCU_JOB, JOB_PROGRESS, 3);
    Post(page, WM_MCU_JOB, JOB_FAILED, 7);
    QCoreApplication::processEvents();
    inBox = std::make_pair(Bar(page)->value(), Shown(page, "percent"));
  };
  Click(page, "m_btnUpgrade");
  ASSERT_TRUE(WaitForIdle());
  EXPECT_EQ(prompter.Texts(), std::vector<std::string>{kTextMcuPageSucceeded});
  ASSERT_TRUE(inBox.has_value());
  EXPECT_EQ(*inBox, std::make_pair(Bar(page)->maximum(), std::string("100%")));
  ExpectIdle(page);

  // A failure posted for a start that the amp refused reaches the page while the page's own
  // start-failure box is open: that box has said it.
  prompter.whileShown = [&](const RecordingPrompter::Box& box) {
    if (box.text != std::string(kTextUpdateMcuFailed)) return;
    Post(page, WM_MCU_JOB, JOB_FAILED, 0);
    QCoreApplication::processEvents();
  };
  VirtualKorva::Faults faults;
  faults.acknowledgeLimit = 0;
  sim.korva.SetFaults(faults);
  Click(page, "m_btnUpgrade");
  Settle();
  EXPECT_EQ(prompter.Texts(),
            (std::vector<std::string>{kTextMcuPageSucceeded, kTextInitStatesFailedWide,
                                      kTextUpdateMcuFailed}));
  ExpectIdle(page);

  // The About box is open while the job reports: its loop delivers the job's messages.
  prompter.whileShown = nullptr;
  sim.korva.SetFaults({});
  bool aboutShown = false;
  JobEventWatcher watcher;
  watcher.onJob = [&](const qt::JobEvent&) {
    if (std::exchange(aboutShown, true)) return;
    qt::CAboutDlg about(welcome.get());
    QTimer closeWhenIdle;
    QObject::connect(&closeWhenIdle, &QTimer::timeout, [&] {
      if (!Host().JobRunning()) about.accept();
    });
    closeWhenIdle.start(5);
    about.exec();
  };
  page->installEventFilter(&watcher);
  Click(page, "m_btnUpgrade");
  ASSERT_TRUE(WaitForIdle());
  page->removeEventFilter(&watcher);
  EXPECT_TRUE(aboutShown);
  EXPECT_EQ(prompter.Texts().size(), 4u);
  EXPECT_EQ(prompter.Texts().back(), kTextMcuPageSucceeded);
  ExpectIdle(page);

  // Messages after the job's end, and of another job, are not this page's.
  Post(page, WM_MCU_JOB, JOB_DONE, 0);
  Post(page, WM_DSP_JOB, JOB_PROGRESS, 5);
  QCoreApplication::processEvents();
  EXPECT_EQ(prompter.Texts().size(), 4u);
  ExpectIdle(page);
}

// From the keyboard: once its file is accepted the focus waits on "Upgrade", where a held key
// starts nothing and a fresh Return does; after the job the next file comes, so "Browse".
TEST_P(EachPageTest, AHeldKeyStartsNoJobAndAFreshReturnOnUpgradeDoes) {
  const PageCase& c = GetParam();
  Activate(welcome.get());
  QWidget* page = Prepared();
  auto* upgrade = Child<QPushButton>(page, "m_btnUpgrade");
  ASSERT_EQ(welcome->focusWidget(), upgrade);
  sim.korva.ClearLog();

  PressKey(welcome.get(), Qt::Key_Return, true);
  PressKey(welcome.get(), Qt::Key_U, true, Qt::AltModifier);
  PressKey(welcome.get(), Qt::Key_Space, true);
  ReleaseKey(welcome.get(), Qt::Key_Space);
  QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QString(), true);
  QApplication::sendEvent(upgrade, &repeat);
  EXPECT_FALSE(Host().JobRunning());
  EXPECT_TRUE(sim.korva.Writes().empty());
  EXPECT_TRUE(prompter.Boxes().empty());

  TapKey(welcome.get(), Qt::Key_Return);
  ASSERT_TRUE(WaitForIdle());
  EXPECT_EQ(prompter.Texts(), std::vector<std::string>{ServiceJobTextsOf(c.jobKind).succeeded});
  EXPECT_EQ(welcome->focusWidget(), Child<QPushButton>(page, "m_btnBrowse"));
}

// Tab goes from the tabs through the shown page to "Enter" and "Exit"; service mode starts on
// the page's first step, and Alt+letter keys reach the shown page's controls only.
TEST_F(ServicePageTest, TheKeyboardGoesThroughTheShownPage) {
  Activate(welcome.get());
  EXPECT_EQ(TabOrder(welcome.get()), (std::vector<std::string>{"Browse", "Upgrade", "Enter", "Exit",
                                                               "MCU", "MCU Firmware File:"}));
  TapKey(welcome.get(), Qt::Key_F, Qt::AltModifier);
  EXPECT_EQ(welcome->focusWidget(), Child(Host().Page(ServicePageHost::kTabMcu), "filePath"));

  QWidget* ir = Open(ServicePageHost::kTabIr);
  TapKey(welcome.get(), Qt::Key_I, Qt::AltModifier);
  EXPECT_EQ(welcome->focusWidget(), Child(ir, "m_cbIndex"));
  EXPECT_EQ(TabOrder(welcome.get()), (std::vector<std::string>{"Index:", "IR File:", "Browse",
                                                               "Upgrade", "Enter", "Exit", "IR"}));
  // A button's key presses it as a click would, a moment later.
  files.Cancel();
  TapKey(welcome.get(), Qt::Key_B, Qt::AltModifier);
  EXPECT_TRUE(WaitUntil([&] { return files.filters == std::vector<std::string>{"*.wav WAV"}; }));
  TapKey(welcome.get(), Qt::Key_U, Qt::AltModifier);
  EXPECT_TRUE(WaitUntil([&] { return !prompter.Texts().empty(); }));
  EXPECT_EQ(prompter.Texts(), std::vector<std::string>{kTextSelectAudioIndex});
}

}  // namespace
}  // namespace korva::testing
