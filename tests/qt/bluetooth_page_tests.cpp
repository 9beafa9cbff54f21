// The Bluetooth page in the welcome window against the virtual amp and its module, in virtual
// time: the busy prompt through an update (shown and centred at each 99, gone before the final
// box, the same window at the next update), every way the update can fail ending in its own
// boxes and one page box, the link already handed to the module, a device change during the
// update, and no update library. The checks of "Browse" and "Upgrade", and a job that ends
// before its start's answer, are tested without Qt (tests/dialogs/service_page_tests.cpp).
#include <algorithm>
#include <functional>
#include <future>

#include "device/hid_dfu.h"
#include "device/protocol.h"
#include "jobs/service_texts.h"
#include "qt/busy_prompt_dlg.h"
#include "qt/thread_handoff.h"
#include "tests/qt/service_page_test_support.h"

namespace korva::testing {
namespace {

using Calls = std::vector<std::string>;

class BluetoothPageTest : public ServicePageTest {
 protected:
  BluetoothPageTest()
      : page(Open(ServicePageHost::kTabBluetooth)),
        path(folder.File("module.dfu", Pattern(5000, 3))) {}

  // The page with its file chosen.
  QWidget* Prepared() {
    Browse(page, path);
    return page;
  }
  qt::CBusyPromptDlg* Prompt() const { return page->findChild<qt::CBusyPromptDlg*>(); }
  bool PromptShown() const { return Prompt() && Prompt()->isVisible(); }
  // The library calls from the `from`-th on.
  Calls CallsSince(std::size_t from) const {
    const Calls calls = sim.module.Calls();
    return Calls(calls.begin() + static_cast<long>(std::min(from, calls.size())), calls.end());
  }
  // The welcome window has probed the device change that the test has just made.
  void Probed() {
    QCoreApplication::processEvents();
    Settle();
  }
  // The amp is back as itself, as after a power cycle, and the welcome window has seen it.
  void AmpBack() {
    sim.module.SetPresent(false);
    sim.korva.SetFaults({});
    sim.korva.Plug();
    Probed();
  }

  QWidget* page;
  std::string path;
};

// What the user sees after each progress message.
struct Step {
  long value;
  int bar;
  std::string percent;
  bool prompt;
  bool operator==(const Step&) const = default;
};
void PrintTo(const Step& s, std::ostream* out) {
  *out << s.value << ": bar " << s.bar << ", " << s.percent << (s.prompt ? ", prompt" : "");
}

TEST_F(BluetoothPageTest, TheBusyPromptFrom99UntilTheFinalBoxAndAgainAtTheNextUpdate) {
  sim.module.SetScript({.progress = {0, 50, 98, 99, 99, 100}});
  Prepared();
  // The update holds at its poll that reads 50 while another device comes: the welcome
  // window's probe of that change must leave the update alone.
  std::promise<void> held, release;
  sim.module.SetProgressHandler([&, future = release.get_future().share()](int value) {
    if (value != 50) return;
    held.set_value();
    future.wait();
  });
  std::vector<Step> steps;
  std::vector<qt::CBusyPromptDlg*> promptsAt99;
  JobEventWatcher watcher;
  watcher.onJob = [&](const qt::JobEvent& e) {
    if (e.WParam() != JOB_PROGRESS) return;
    steps.push_back({e.LParam(), Bar(page)->value(), Shown(page, "percent"), PromptShown()});
    if (e.LParam() != 99) return;
    promptsAt99.push_back(Prompt());
    // Centred over the page.
    EXPECT_LE((Prompt()->geometry().center() - page->mapToGlobal(page->rect().center()))
                  .manhattanLength(),
              1);
    // Escape closes it at the first 99; the next 99 shows it again.
    if (promptsAt99.size() > 1) return;
    QTest::keyClick(Prompt(), Qt::Key_Escape);
    EXPECT_FALSE(PromptShown());
  };
  page->installEventFilter(&watcher);
  std::vector<bool> promptAtBox;
  prompter.whileShown = [&](const RecordingPrompter::Box&) {
    promptAtBox.push_back(PromptShown());
  };
  const std::size_t callsBefore = sim.module.Calls().size();
  auto heldNow = held.get_future();
  Click(page, "m_btnUpgrade");
  const bool wasHeld = WaitUntil(
      [&] { return heldNow.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
  OtherHidDevice other;
  sim.bus.Attach(&other);
  Probed();
  const int linkMidway = LinkMode.load();
  release.set_value();
  ASSERT_TRUE(wasHeld);
  ASSERT_TRUE(WaitForIdle());
  sim.module.SetProgressHandler(nullptr);

  EXPECT_EQ(steps, (std::vector<Step>{{0, 0, "0%", false},
                                      {50, 50, "50%", false},
                                      {98, 98, "98%", false},
                                      {99, 99, "99%", true},
                                      {99, 99, "99%", true},
                                      {100, 100, "100%", true}}));
  ASSERT_EQ(promptsAt99.size(), 2u);
  EXPECT_EQ(promptsAt99[0], promptsAt99[1]);
  EXPECT_EQ(promptAtBox, std::vector<bool>{false});
  ASSERT_EQ(prompter.Boxes().size(), 1u);
  EXPECT_EQ(prompter.Boxes()[0].kind, BoxKind::Window);
  EXPECT_EQ(prompter.Boxes()[0].text, kTextBluetoothSucceeded);
  ExpectIdle(page);
  // "UB", the other device and the module's restart changed nothing under the update: only
  // its own library calls, LinkMode 2 until the page had its final message, then the amp back.
  EXPECT_EQ(linkMidway, kLinkBluetooth);
  EXPECT_EQ(CallsSince(callsBefore),
            (Calls{"connect", "lasterror", "upgrade", "progress", "progress", "progress",
                   "progress", "progress", "progress", "result", "reset", "disconnect"}));
  EXPECT_EQ(sim.module.UpgradedFile(), path);
  EXPECT_EQ(LinkMode.load(), kLinkHid);
  EXPECT_TRUE(sim.korva.Violations().empty()) << sim.korva.Violations().front();

  // The next update, with the same file: the same prompt window, shown again and gone again.
  steps.clear();
  sim.module.SetScript({.progress = {99, 100}});
  Click(page, "m_btnUpgrade");
  ASSERT_TRUE(WaitForIdle());
  EXPECT_EQ(steps, (std::vector<Step>{{99, 99, "99%", true}, {100, 100, "100%", true}}));
  ASSERT_EQ(promptsAt99.size(), 3u);
  EXPECT_EQ(promptsAt99[2], promptsAt99[0]);
  EXPECT_EQ(page->findChildren<qt::CBusyPromptDlg*>().size(), 1);
  EXPECT_EQ(promptAtBox, (std::vector<bool>{false, false}));
  EXPECT_EQ(prompter.Texts(), std::vector<std::string>(2, kTextBluetoothSucceeded));
  page->removeEventFilter(&watcher);
}

// Every way the update fails, from the link switch to the module's disconnection: the boxes of
// the dispatcher and the job, then exactly one page box, and the page idle. The failure that a
// failed link switch posts reaches the page, which does not act on it: its start-failure box
// says it.
TEST_F(BluetoothPageTest, EveryFailureEndsInItsOwnBoxesAndOnePageBox) {
  struct Case {
    const char* name;
    VirtualKorva::Faults faults;
    VirtualBluetoothModule::Script script;
    std::vector<std::string> ownBoxes;  // application boxes of the dispatcher or the job
    const char* pageBox;
    bool prompt;  // the busy prompt was shown on the way
  };
  const Case cases[] = {
      {"\"UA\" not written", {.writesFailAfter = 2}, {}, {}, kTextStartBluetoothFailed, false},
      {"\"UA\" not acknowledged",
       {.acknowledgeLimit = 1},
       {},
       {kTextLinkSwitchFailed},
       kTextStartBluetoothFailed,
       false},
      {"\"UB\" not written", {.writesFailAfter = 4}, {}, {}, kTextStartBluetoothFailed, false},
      {"progress skips 99", {}, {.progress = {0, 50, 98, 100}}, {}, kTextBluetoothFailed, false},
      {"ten connection attempts",
       {},
       {.failedConnects = -1},
       {kTextBluetoothConnectFailed},
       kTextBluetoothFailed,
       false},
      {"update refused", {}, {.upgradeResult = 1}, {}, kTextBluetoothFailed, false},
      {"result other than 0",
       {},
       {.progress = {99, 100}, .result = 3},
       {},
       kTextBluetoothFailed,
       true},
      {"restart fails",
       {},
       {.progress = {99, 100}, .resetResult = 1},
       {kTextBluetoothResetFailed},
       kTextBluetoothFailed,
       true},
      {"disconnection fails",
       {},
       {.progress = {99, 100}, .disconnectResults = {1}},
       {kTextBluetoothDisconnectFailed},
       kTextBluetoothFailed,
       true},
  };
  Prepared();
  bool promptShown = false;
  int failures = 0;  // the job messages that say so
  JobEventWatcher watcher;
  watcher.onJob = [&](const qt::JobEvent& e) {
    if (e.WParam() == JOB_PROGRESS) promptShown = promptShown || PromptShown();
    failures += e.WParam() == JOB_FAILED;
  };
  page->installEventFilter(&watcher);
  std::vector<bool> promptAtBox;
  prompter.whileShown = [&](const RecordingPrompter::Box& box) {
    if (box.kind == BoxKind::Window) promptAtBox.push_back(PromptShown());
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AmpBack();
    ASSERT_EQ(LinkMode.load(), kLinkHid);
    sim.module.SetScript(c.script);
    sim.korva.SetFaults(c.faults);
    const std::size_t boxesBefore = prompter.Boxes().size();
    promptShown = false;
    failures = 0;
    promptAtBox.clear();
    Click(page, "m_btnUpgrade");
    ASSERT_TRUE(WaitForIdle());
    QCoreApplication::processEvents();  // anything still posted

    const auto all = prompter.Boxes();
    std::vector<std::string> ownBoxes;
    for (auto box = all.begin() + static_cast<long>(boxesBefore); box + 1 < all.end(); ++box) {
      EXPECT_EQ(box->kind, BoxKind::Application);
      ownBoxes.push_back(box->text);
    }
    EXPECT_EQ(ownBoxes, c.ownBoxes);
    ASSERT_GT(all.size(), boxesBefore);
    EXPECT_EQ(all.back().kind, BoxKind::Window);
    EXPECT_EQ(all.back().text, c.pageBox);
    EXPECT_EQ(failures, 1);
    EXPECT_EQ(promptShown, c.prompt);
    EXPECT_EQ(promptAtBox, std::vector<bool>{false});
    ExpectIdle(page);
  }
  page->removeEventFilter(&watcher);
}

// The amp's own interface is gone because its link is with the module (an earlier update
// connected the library and did not restart the module): Upgrade goes on without the amp, and
// the job starts with the update itself, without "INITSTA" or the link switch.
TEST_F(BluetoothPageTest, WithTheLinkHandedOverUpgradeGoesStraightToTheModule) {
  Prepared();
  sim.korva.Unplug();
  Probed();
  ASSERT_EQ(LinkMode.load(), kLinkNone);
  sim.module.SetPresent(true);
  int handle = 0;
  ASSERT_EQ(hidDfuConnect(kBluetoothVendorId, kBluetoothProductId, 0, 0, &handle), 0);
  LinkMode.store(kLinkBluetooth);
  sim.module.SetScript({.progress = {50, 99, 100}});
  // The module's restart brings the amp back while the job still runs, and the welcome
  // window's probe of that change, which leaves a running job alone, comes before the job goes on.
  sim.module.SetResetHandler([&] {
    sim.korva.Plug();
    std::promise<void> probed;
    qt::PostToThreadOf(page, [&] { probed.set_value(); });
    probed.get_future().wait();
  });
  sim.korva.ClearLog();
  const std::size_t callsBefore = sim.module.Calls().size();

  // A second click while the first one's presence test is on the device thread does nothing.
  Click(page, "m_btnUpgrade");
  Click(page, "m_btnUpgrade");
  ASSERT_TRUE(WaitForIdle());
  EXPECT_EQ(prompter.Texts(), std::vector<std::string>{kTextBluetoothSucceeded});
  EXPECT_EQ(sim.korva.Writes().size(), 0u);
  const Calls calls = CallsSince(callsBefore);
  EXPECT_EQ(calls.front(), "upgrade");
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "upgrade"), 1);
  ExpectIdle(page);
  // The page looked again once it had the final message.
  EXPECT_EQ(LinkMode.load(), kLinkHid);
}

// From the keyboard, as on the other pages: once a file that opens is chosen the focus waits on
// "Upgrade", where a held key starts nothing and a fresh Return does. After the update the
// window has the keyboard again, on "Browse" for the next file, whether the busy prompt was up
// for a moment only (the window system may make it active after it has gone) or long enough to
// take the keyboard. Tab goes through the page to the window's buttons and the tabs, and Alt+F
// to the file's field.
TEST_F(BluetoothPageTest, AHeldKeyStartsNoUpdateAndTheKeyboardComesBackAfterThePrompt) {
  Activate(welcome.get());
  Prepared();
  ASSERT_EQ(welcome->focusWidget(), Child<QPushButton>(page, "m_btnUpgrade"));
  sim.korva.ClearLog();
  PressKey(welcome.get(), Qt::Key_Return, true);
  PressKey(welcome.get(), Qt::Key_U, true, Qt::AltModifier);
  PressKey(welcome.get(), Qt::Key_Space, true);
  ReleaseKey(welcome.get(), Qt::Key_Space);
  Settle();
  EXPECT_FALSE(Host().JobRunning());
  EXPECT_TRUE(sim.korva.Writes().empty());
  EXPECT_TRUE(prompter.Boxes().empty());

  for (const bool promptTakesTheKeyboard : {false, true}) {
    SCOPED_TRACE(promptTakesTheKeyboard ? "the prompt had the keyboard"
                                        : "the prompt was up for a moment");
    AmpBack();
    sim.module.SetScript({.progress = {50, 99, 99, 100}});
    // The second 99 waits until the prompt has the keyboard.
    std::promise<void> release;
    int reads99 = 0;
    sim.module.SetProgressHandler([&, future = release.get_future().share()](int value) {
      if (promptTakesTheKeyboard && value == 99 && ++reads99 == 2) future.wait();
    });
    Child<QPushButton>(page, "m_btnUpgrade")->setFocus();
    TapKey(welcome.get(), Qt::Key_Return);
    if (promptTakesTheKeyboard) {
      EXPECT_TRUE(WaitUntil([&] { return PromptShown(); }));
      EXPECT_TRUE(QTest::qWaitForWindowActive(Prompt()));
    }
    release.set_value();
    ASSERT_TRUE(WaitForIdle());
    sim.module.SetProgressHandler(nullptr);
    EXPECT_EQ(prompter.Texts().back(), kTextBluetoothSucceeded);
    EXPECT_FALSE(PromptShown());
    QTest::qWait(20);  // a late activation of the prompt
    EXPECT_EQ(QApplication::activeWindow(), welcome.get());
    EXPECT_EQ(welcome->focusWidget(), Child<QPushButton>(page, "m_btnBrowse"));
    TapKey(welcome.get(), Qt::Key_F, Qt::AltModifier);
    EXPECT_EQ(welcome->focusWidget(), Child(page, "filePath"));
  }
  EXPECT_EQ(prompter.Texts().size(), 2u);
  Child<QPushButton>(page, "m_btnBrowse")->setFocus();
  EXPECT_EQ(TabOrder(welcome.get()),
            (std::vector<std::string>{"Browse", "Upgrade", "Enter", "Exit", "Bluetooth",
                                      "Bluetooth Firmware File:"}));
}

// Without an update library nothing is sent: the library's box, then the page's.
TEST_F(BluetoothPageTest, WithoutALibraryTheAmpSeesNothing) {
  Prepared();
  const std::string reason = "There is no file at /nowhere/libkorva-dfu.so.";
  SetNoDfuBackend(reason);
  sim.korva.ClearLog();
  Click(page, "m_btnUpgrade");
  Settle();
  SetDfuBackend(&sim.module);

  ASSERT_EQ(prompter.Boxes().size(), 2u);
  EXPECT_EQ(prompter.Boxes()[0].kind, BoxKind::Application);
  EXPECT_EQ(prompter.Boxes()[0].text, std::string(kTextBluetoothLibraryMissing) + "\n" + reason);
  EXPECT_EQ(prompter.Boxes()[1].kind, BoxKind::Window);
  EXPECT_EQ(prompter.Boxes()[1].text, kTextStartBluetoothFailed);
  EXPECT_TRUE(sim.korva.Writes().empty());
  EXPECT_TRUE(sim.module.Calls().empty());
  EXPECT_EQ(RunningWorkers(), 0);
  ExpectIdle(page);
}

}  // namespace
}  // namespace korva::testing
