// Writes pictures of every window of the main road into the build's screenshots/ folder, so
// that anyone can look at them: the welcome window, the main window Disconnected, Connected,
// Updating and Done, the same-version prompt, an application box and the About box.
#include <QDir>
#include <QMessageBox>

#include "tests/ui_test_support.h"
#include "ui/about_dlg.h"
#include "ui/device_watchers.h"
#include "ui/message_box_prompter.h"
#include "ui/same_version_dlg.h"
#include "jobs/update_texts.h"
#include "ui/welcome_dlg.h"

namespace korva::testing {
namespace {

class Screenshots : public WindowTest {
 protected:
  static void Save(QWidget* window, const char* name) {
    QDir().mkpath(KORVA_SCREENSHOT_DIR);
    const QString path = QStringLiteral(KORVA_SCREENSHOT_DIR "/%1.png").arg(QLatin1String(name));
    Flush(window);
    const QPixmap picture = window->grab();
    EXPECT_FALSE(picture.isNull());
    EXPECT_TRUE(picture.save(path)) << path.toStdString();
  }
};

TEST_F(Screenshots, WelcomeAboutPromptAndBox) {
  ui::VirtualBusWatcher watcher(sim.bus);
  ui::CWelcomeDlg welcome(&watcher);
  welcome.show();
  Save(&welcome, "welcome");

  ui::CAboutDlg about;
  about.show();
  Save(&about, "about");

  ui::CSameVersionDlg prompt;
  prompt.show();
  Save(&prompt, "prompt");

  auto box = ui::MakeMessageBox(BoxKind::Application, "Fail to initialize states of device\xA3\xA1", nullptr);
  box->show();
  Save(box.get(), "box");
}

TEST_F(Screenshots, MainWindowThroughTheRoad) {
  sim.korva.Unplug();
  LinkMode.store(kLinkNone);
  ui::CUpdateDlg main;
  main.show();
  Save(&main, "main-disconnected");

  sim.korva.Plug();
  Tick(main);
  Save(&main, "main-connected");

  // Halfway through the MCU job, as the user sees it.
  JobEventWatcher watcher;
  watcher.onJob = [&](const ui::JobEvent& e) {
    if (e.Message() == WM_MCU_JOB && e.WParam() == JOB_PROGRESS && e.LParam() == 376) Save(&main, "main-updating");
  };
  main.installEventFilter(&watcher);
  Click(&main, "m_btnUpdate");
  ASSERT_TRUE(WaitUntil([&] { return Shown(&main, "status") == kTextUpdateSucceeded; }));
  main.removeEventFilter(&watcher);
  Save(&main, "main-done");
}

}  // namespace
}  // namespace korva::testing
