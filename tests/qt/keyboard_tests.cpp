// The windows from the keyboard: a held key starts no update (its repeats, also unmarked ones,
// and its release are no press), the focus waits on the next step, Tab goes round in the order
// the user sees, and the Alt+letter keys press their buttons.
#include <QKeyEvent>

#include "jobs/update_texts.h"
#include "qt/about_dlg.h"
#include "qt/device_watchers.h"
#include "qt/same_version_dlg.h"
#include "qt/welcome_dlg.h"
#include "tests/qt/qt_test_support.h"

namespace korva::testing {
namespace {

using dialogs::MainRoad;

class KeyboardTest : public WindowTest {
 protected:
  static QPushButton* Button(QWidget* window, const char* name) {
    return Child<QPushButton>(window, name);
  }
  static std::string Status(QWidget* main) { return Shown(main, "status"); }
  // Nothing was written and no job runs; the main window waits as before.
  void ExpectNothingStarted(QWidget* main) {
    EXPECT_TRUE(sim.korva.Writes().empty());
    EXPECT_EQ(JobStatus.load(), kJobIdle);
    EXPECT_TRUE(main->isVisible());
    EXPECT_TRUE(Button(main, "m_btnUpdate")->isEnabled());
    EXPECT_TRUE(prompter.Boxes().empty());
  }
  // A repeat that a platform marks, sent straight to `widget` (and on to its window if it
  // does not take it).
  static void SendMarkedRepeat(QWidget* widget, Qt::Key key) {
    QKeyEvent repeat(QEvent::KeyPress, key, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(widget, &repeat);
  }
};

TEST_F(KeyboardTest, AHeldKeyStartsNoUpdateAndAFreshReturnOnUpdateDoes) {
  auto main = OpenMainWindow();
  QPushButton* update = Button(main.get(), "m_btnUpdate");
  ASSERT_EQ(main->focusWidget(), update);
  sim.korva.ClearLog();

  // Repeats through the window, with Space and Alt+U, then Space's release.
  PressKey(main.get(), Qt::Key_Return, true);
  PressKey(main.get(), Qt::Key_Enter, true, Qt::KeypadModifier);
  PressKey(main.get(), Qt::Key_U, true, Qt::AltModifier);
  PressKey(main.get(), Qt::Key_Space, true);
  ReleaseKey(main.get(), Qt::Key_Space);
  // Return on "Update" itself, and on "Exit".
  SendMarkedRepeat(update, Qt::Key_Return);
  SendMarkedRepeat(Button(main.get(), "m_btnExit"), Qt::Key_Return);
  // Escape held since another window closed: the window stays.
  PressKey(main.get(), Qt::Key_Escape, true);
  ExpectNothingStarted(main.get());

  TapKey(main.get(), Qt::Key_Return);
  ASSERT_TRUE(WaitUntil([&] { return Status(main.get()) == kTextUpdateSucceeded; }));
  EXPECT_EQ(sim.korva.CompletedUpdates(), 2);
}

TEST_F(KeyboardTest, TheMainWindowOpenedByAHeldReturnTakesNeitherItsRepeatsNorItsRelease) {
  qt::VirtualBusWatcher watcher(sim.bus);
  qt::CWelcomeDlg welcome(&watcher);
  welcome.show();
  Activate(&welcome);
  ASSERT_EQ(welcome.focusWidget(), Button(&welcome, "btnEnter"));
  bool quietWhileHeld = false;
  bool freshUpdates = false;
  WhenModal([&](QWidget* main) {
    // The window's opening steps run on the device thread; "Update" waits enabled after them.
    if (!WaitUntil([&] { return Button(main, "m_btnUpdate")->isEnabled(); })) return;
    sim.korva.ClearLog();  // the window's own calls at its opening
    // X11 sends the repeats as a release and a press at one moment, most pairs marked and
    // now and then one unmarked; a remote desktop sends unmarked presses alone.
    for (quint64 at : {1660, 1700}) {
      SendKey(main, QEvent::KeyRelease, Qt::Key_Return, at == 1660, at);
      SendKey(main, QEvent::KeyPress, Qt::Key_Return, at == 1660, at);
    }
    SendKey(main, QEvent::KeyPress, Qt::Key_Return, false, 1740);
    SendKey(main, QEvent::KeyRelease, Qt::Key_Return, false, 2000);  // let go at last
    quietWhileHeld = sim.korva.Writes().empty() && JobStatus.load() == kJobIdle &&
                     Button(main, "m_btnUpdate")->isEnabled();
    SendKey(main, QEvent::KeyPress, Qt::Key_Return, false, 2150);  // pressed again
    SendKey(main, QEvent::KeyRelease, Qt::Key_Return, false, 2230);
    freshUpdates = WaitUntil([&] { return Status(main) == kTextUpdateSucceeded; });
    Click(main, "m_btnExit");
  });
  // "Enter", held down: the main window opens at once.
  SendKey(&welcome, QEvent::KeyPress, Qt::Key_Return, false, 1000);
  EXPECT_TRUE(quietWhileHeld);
  EXPECT_TRUE(freshUpdates);
  EXPECT_EQ(welcome.result(), QDialog::Accepted);
}

// A tap on "Enter" opens the main window, which is modal: the tap's release goes to the
// welcome window, now blocked, and no window sees it. The next Return on "Update", pressed
// once the user has read the window, is a fresh press all the same.
TEST_F(KeyboardTest, AReleaseThatNoWindowSawCostsNoLaterPress) {
  qt::VirtualBusWatcher watcher(sim.bus);
  qt::CWelcomeDlg welcome(&watcher);
  welcome.show();
  Activate(&welcome);
  bool quietAMomentLater = false;
  bool updates = false;
  WhenModal([&](QWidget* main) {
    if (!WaitUntil([&] { return Button(main, "m_btnUpdate")->isEnabled(); })) return;
    sim.korva.ClearLog();
    // A press a moment after the first, with no release between: still the held key.
    SendKey(main, QEvent::KeyPress, Qt::Key_Return, false, 1400);
    quietAMomentLater = sim.korva.Writes().empty() && JobStatus.load() == kJobIdle;
    // Its release, too, went where no window saw it; seconds later "Update" is pressed.
    SendKey(main, QEvent::KeyPress, Qt::Key_Return, false, 4000);
    SendKey(main, QEvent::KeyRelease, Qt::Key_Return, false, 4080);
    updates = WaitUntil([&] { return Status(main) == kTextUpdateSucceeded; });
    Click(main, "m_btnExit");
  });
  SendKey(&welcome, QEvent::KeyPress, Qt::Key_Return, false, 1000);
  EXPECT_TRUE(quietAMomentLater);
  EXPECT_TRUE(updates);
}

TEST_F(KeyboardTest, TheSameVersionPromptTakesNoYesFromAHeldKey) {
  sim.korva.SetVersions("1.38", "250");
  auto main = OpenMainWindow();
  bool stillAsking = false;
  bool answered = false;
  WhenModal([&](QWidget* prompt) {
    EXPECT_EQ(prompt->focusWidget(), Button(prompt, "btnNo"));
    // Return would answer "No", the default button; Alt+Y, and Return or Space on "Yes", would
    // say yes.
    SendKey(prompt, QEvent::KeyPress, Qt::Key_Return, true, 1660);
    PressKey(prompt, Qt::Key_Y, true, Qt::AltModifier);
    Button(prompt, "btnYes")->setFocus();
    SendKey(prompt, QEvent::KeyRelease, Qt::Key_Return, false, 1700);
    SendKey(prompt, QEvent::KeyPress, Qt::Key_Return, false, 1700);
    SendKey(prompt, QEvent::KeyPress, Qt::Key_Return, false, 1740);
    SendKey(prompt, QEvent::KeyPress, Qt::Key_Space, true, 1740);
    SendKey(prompt, QEvent::KeyRelease, Qt::Key_Space, false, 1780);
    stillAsking = prompt->isVisible() && JobStatus.load() == kJobIdle;
    SendKey(prompt, QEvent::KeyRelease, Qt::Key_Return, false, 2000);
    SendKey(prompt, QEvent::KeyPress, Qt::Key_Space, false, 2150);  // "Yes", pressed afresh
    SendKey(prompt, QEvent::KeyRelease, Qt::Key_Space, false, 2230);
    answered = true;
  });
  SendKey(main.get(), QEvent::KeyPress, Qt::Key_Return, false, 1000);  // "Update", held down
  // The prompt comes once the device thread has found the amp.
  ASSERT_TRUE(WaitUntil([&] { return answered; }));
  EXPECT_TRUE(stillAsking);
  EXPECT_EQ(MainRoad().UpdateConfirmed, 1);
  ASSERT_TRUE(WaitUntil([&] { return Status(main.get()) == kTextUpdateSucceeded; }));
  EXPECT_EQ(sim.korva.CompletedUpdates(), 2);
}

// Where the focus waits, and the order in which Tab visits the controls, by their names.
TEST_F(KeyboardTest, TabGoesRoundEachWindowFromTheNextStep) {
  qt::VirtualBusWatcher watcher(sim.bus);
  {
    qt::CWelcomeDlg welcome(&watcher);
    welcome.show();
    Activate(&welcome);
    EXPECT_EQ(TabOrder(&welcome), (std::vector<std::string>{"Enter", "Exit"}));
  }
  {
    qt::CAboutDlg about;
    about.show();
    Activate(&about);
    EXPECT_EQ(TabOrder(&about), std::vector<std::string>{"OK"});
  }
  {
    qt::CSameVersionDlg prompt;
    prompt.show();
    Activate(&prompt);
    EXPECT_EQ(TabOrder(&prompt), (std::vector<std::string>{"No", "Yes"}));
  }
  {
    auto main = OpenMainWindow();
    EXPECT_EQ(TabOrder(main.get()), (std::vector<std::string>{"Update", "Exit"}));
  }
  // Without the amp "Update" waits disabled; it takes the focus once the amp is there.
  sim.korva.Unplug();
  auto main = OpenMainWindow();
  EXPECT_EQ(TabOrder(main.get()), std::vector<std::string>{"Exit"});
  sim.korva.Plug();
  Tick(*main);
  EXPECT_EQ(TabOrder(main.get()), (std::vector<std::string>{"Update", "Exit"}));
}

// Return presses the focused button of the same-version prompt, as on Windows: "No" at first,
// "Yes" once the user has gone to it.
TEST_F(KeyboardTest, ReturnOnTheSameVersionPromptPressesTheFocusedButton) {
  sim.korva.SetVersions("1.38", "250");
  auto main = OpenMainWindow();
  WhenModal([](QWidget* prompt) {
    EXPECT_EQ(prompt->focusWidget(), Button(prompt, "btnNo"));
    Button(prompt, "btnYes")->setFocus();
    // Stamped long after the Return that pressed "Update", so that nothing can take it for
    // that key still held.
    SendKey(prompt, QEvent::KeyPress, Qt::Key_Return, false, 60000);
    SendKey(prompt, QEvent::KeyRelease, Qt::Key_Return, false, 60080);
    if (prompt->isVisible()) {
      ADD_FAILURE() << "Return on \"Yes\" did not answer the prompt";
      static_cast<QDialog*>(prompt)->reject();
    }
  });
  SendKey(main.get(), QEvent::KeyPress, Qt::Key_Return, false, 50000);
  SendKey(main.get(), QEvent::KeyRelease, Qt::Key_Return, false, 50080);
  ASSERT_TRUE(WaitUntil([&] { return Status(main.get()) == kTextUpdateSucceeded; }));
  EXPECT_EQ(sim.korva.CompletedUpdates(), 2);
}

TEST_F(KeyboardTest, AfterAnUpdateExitHasTheFocusAfterAFailureUpdate) {
  auto main = OpenMainWindow();
  VirtualKorva::Faults faults;
  faults.unplugAfterDataReports = 100;
  sim.korva.SetFaults(faults);
  TapKey(main.get(), Qt::Key_Return);
  ASSERT_TRUE(WaitUntil([&] { return Status(main.get()) == kTextUpdateFailed; }));
  EXPECT_EQ(main->focusWidget(), Button(main.get(), "m_btnUpdate"));

  sim.korva.SetFaults({});
  sim.korva.Plug();
  Tick(*main);
  TapKey(main.get(), Qt::Key_Return);
  ASSERT_TRUE(WaitUntil([&] { return Status(main.get()) == kTextUpdateSucceeded; }));
  EXPECT_EQ(main->focusWidget(), Button(main.get(), "m_btnExit"));
  // Return presses the focused button, as on Windows: the user leaves.
  TapKey(main.get(), Qt::Key_Return);
  EXPECT_FALSE(main->isVisible());
}

// Escape leaves each window while no job writes: the welcome window (and the program), the
// About box, and the prompt as its "No".
TEST_F(KeyboardTest, EscapeLeavesEachWindow) {
  qt::VirtualBusWatcher watcher(sim.bus);
  qt::CWelcomeDlg welcome(&watcher);
  qt::CAboutDlg about;
  qt::CSameVersionDlg prompt;
  for (QDialog* window : std::initializer_list<QDialog*>{&welcome, &about, &prompt}) {
    window->show();
    Activate(window);
    TapKey(window, Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible()) << window->objectName().toStdString();
    EXPECT_EQ(window->result(), QDialog::Rejected);
  }
}

// The Alt+letter keys press their buttons; the buttons' texts stay the program's own.
TEST_F(KeyboardTest, AltKeysPressTheButtons) {
  auto main = OpenMainWindow();
  EXPECT_EQ(Button(main.get(), "m_btnUpdate")->text(), "Update");
  // A button's key presses it as a click would, a moment later.
  TapKey(main.get(), Qt::Key_U, Qt::AltModifier);
  ASSERT_TRUE(WaitUntil([&] { return Status(main.get()) == kTextUpdateSucceeded; }));
  EXPECT_EQ(sim.korva.CompletedUpdates(), 2);
  TapKey(main.get(), Qt::Key_X, Qt::AltModifier);
  EXPECT_TRUE(WaitUntil([&] { return !main->isVisible(); }));

  qt::CSameVersionDlg prompt;
  prompt.show();
  Activate(&prompt);
  TapKey(&prompt, Qt::Key_Y, Qt::AltModifier);
  EXPECT_TRUE(WaitUntil([&] { return !prompt.isVisible(); }));
  EXPECT_EQ(prompt.result(), QDialog::Accepted);

  qt::VirtualBusWatcher watcher(sim.bus);
  qt::CWelcomeDlg welcome(&watcher);
  welcome.show();
  Activate(&welcome);
  TapKey(&welcome, Qt::Key_X, Qt::AltModifier);
  EXPECT_TRUE(WaitUntil([&] { return !welcome.isVisible(); }));
  EXPECT_EQ(welcome.result(), QDialog::Rejected);
}

}  // namespace
}  // namespace korva::testing
