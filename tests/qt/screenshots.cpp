// Writes pictures of every window into the build's screenshots/ folder, so that anyone can
// look at them: the welcome window, the main window Disconnected, with an amp it may not open,
// Connected, Updating and Done, the same-version prompt, an application box, the About box,
// and each service page idle, with a file accepted, running and with its final box, also at
// 8, 10 and 12 points, and the busy prompt over the Bluetooth page.
#include <unistd.h>

#include <QComboBox>
#include <QDir>
#include <QMessageBox>
#include <QPainter>
#include <QTabBar>
#include <QTabWidget>

#include "device/protocol.h"
#include "jobs/service_texts.h"
#include "jobs/update_texts.h"
#include "qt/about_dlg.h"
#include "qt/busy_prompt_dlg.h"
#include "qt/device_watchers.h"
#include "qt/message_box_prompter.h"
#include "qt/same_version_dlg.h"
#include "qt/service_page_host.h"
#include "qt/welcome_dlg.h"
#include "tests/qt/qt_test_support.h"
#include "tests/shared/file_test_support.h"

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
  // The window with the box that it shows in front of it, centred as the box opens.
  static void SaveWithBox(QWidget* window, BoxKind kind, const std::string& text,
                          const char* name) {
    auto box = qt::MakeMessageBox(kind, text, window);
    box->show();
    SaveWithWindowOver(window, box.get(), (window->size() - box->size()) / 2, name);
  }
  // The window with `over`, another window, drawn in front of it at `at` with a line for its
  // edge (the offscreen platform draws no frames).
  static void SaveWithWindowOver(QWidget* window, QWidget* over, QSize at, const char* name) {
    Flush(window);
    QPixmap picture = window->grab();
    QPainter painter(&picture);
    const QPixmap overPicture = over->grab();
    painter.drawPixmap(at.width(), at.height(), overPicture);
    painter.setPen(window->palette().color(QPalette::Shadow));
    painter.drawRect(
        QRect(QPoint(at.width(), at.height()), overPicture.size()).adjusted(0, 0, -1, -1));
    painter.end();
    QDir().mkpath(KORVA_SCREENSHOT_DIR);
    EXPECT_TRUE(
        picture.save(QStringLiteral(KORVA_SCREENSHOT_DIR "/%1.png").arg(QLatin1String(name))));
  }
};

// The service pages, each with the file that it accepts.
struct ServicePage {
  const char* name;
  int tab;
  const char* fileName;
  Bytes file;
  int jobKind;
};

std::vector<ServicePage> ServicePages() {
  return {
      {"mcu", qt::ServicePageHost::kTabMcu, "KORVA_MCU_V1.39.bin",
       FirmwareBytes(0x2345, 7, 0x10, "APPV1.39"), kJobMcu},
      {"dsp", qt::ServicePageHost::kTabDsp, "KORVA_DSP_V251.bin",
       FirmwareBytes(5000, 13, 4, "DSPV0.251"), kJobDsp},
      {"ir", qt::ServicePageHost::kTabIr, "Cabinet 4x12.wav", Wav(28844), kJobAudio},
      {"battery", qt::ServicePageHost::kTabBattery, "KORVA_BAT_V1.02.bin",
       FirmwareBytes(1000, 31, 0x10, "BATV1.02"), kJobBattery},
      {"bluetooth", qt::ServicePageHost::kTabBluetooth, "KORVA_BT_V2.10.dfu", Pattern(5000, 3),
       kJobBluetooth},
  };
}

class ServiceScreenshots : public Screenshots {
 protected:
  // The files lie in a folder with a short name, as a technician's would; one of its own for
  // each process, since CTest runs these tests side by side (and other checkouts may too).
  ServiceScreenshots()
      : watcher(sim.bus), folder(ScratchFolder::Named{"firmware-" + std::to_string(::getpid())}) {}

  std::unique_ptr<qt::CWelcomeDlg> OpenInServiceMode() {
    auto welcome = std::make_unique<qt::CWelcomeDlg>(&watcher);
    welcome->EnterServiceMode();
    welcome->show();
    return welcome;
  }
  static void ShowTab(qt::CWelcomeDlg& welcome, int tab) {
    QTabBar* bar = Child<QTabWidget>(&welcome, "m_tab")->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(tab).center());
  }
  void ChooseFile(QWidget* page, const ServicePage& p) {
    if (p.jobKind == kJobAudio) Child<QComboBox>(page, "m_cbIndex")->setCurrentIndex(4);
    files.Choose(folder.File(p.fileName, p.file));
    Click(page, "m_btnBrowse");
  }

  qt::VirtualBusWatcher watcher;
  RecordingFileChooser files;
  ScratchFolder folder;
};

TEST_F(ServiceScreenshots, EachPageIdleAcceptedRunningAndDone) {
  auto welcome = OpenInServiceMode();
  Save(welcome.get(), "service-welcome");
  QWidget* tabs = Child(welcome.get(), "m_tab");
  for (const ServicePage& p : ServicePages()) {
    const std::string name = std::string("service-") + p.name;
    ShowTab(*welcome, p.tab);
    QWidget* page = welcome->PageHost()->Page(p.tab);
    Save(tabs, (name + "-idle").c_str());
    ChooseFile(page, p);
    Save(tabs, (name + "-accepted").c_str());

    // Halfway through the job, the busy prompt at the Bluetooth job's 99, and the final box.
    JobEventWatcher running;
    running.onJob = [&, saved = false](const qt::JobEvent& e) mutable {
      auto* bar = Child<QProgressBar>(page, "m_progress");
      if (e.WParam() == JOB_PROGRESS && !saved && bar->value() * 2 >= bar->maximum()) {
        saved = true;
        Save(tabs, (name + "-running").c_str());
      }
      auto* prompt = page->findChild<qt::CBusyPromptDlg*>();
      if (e.WParam() == JOB_PROGRESS && e.LParam() == kDfuProgressBeforeSuccess && prompt) {
        Save(prompt, "busy-prompt");
        const QPoint at = prompt->geometry().topLeft() - tabs->mapToGlobal(QPoint(0, 0));
        SaveWithWindowOver(tabs, prompt, QSize(at.x(), at.y()), (name + "-prompt").c_str());
      }
    };
    page->installEventFilter(&running);
    prompter.whileShown = [&](const RecordingPrompter::Box& box) {
      SaveWithBox(welcome.get(), box.kind, box.text, (name + "-done").c_str());
    };
    // The window active as the user presses "Upgrade" (the last page's final box took that):
    // where the focus goes as the button is disabled, and so whether the path shows selected,
    // must not hang on when the window system gets round to activating it.
    Activate(welcome.get());
    Click(page, "m_btnUpgrade");
    ASSERT_TRUE(WaitUntil([&] { return !welcome->PageHost()->JobRunning(); }));
    page->removeEventFilter(&running);
    prompter.whileShown = nullptr;
  }
  EXPECT_EQ(prompter.Texts().size(), 5u);
  EXPECT_TRUE(QFile::exists(QStringLiteral(KORVA_SCREENSHOT_DIR "/service-bluetooth-prompt.png")));
}

// Every page with a long path and its longest texts, at the sizes that desktops use.
TEST_F(ServiceScreenshots, EachPageAtEightTenAndTwelvePoints) {
  const QFont saved = QApplication::font();
  for (int points : {8, 10, 12}) {
    QFont font("DejaVu Sans");
    font.setPointSize(points);
    QApplication::setFont(font);
    auto welcome = OpenInServiceMode();
    for (const ServicePage& p : ServicePages()) {
      ShowTab(*welcome, p.tab);
      QWidget* page = welcome->PageHost()->Page(p.tab);
      ChooseFile(page, p);
      Child<QLabel>(page, "percent")->setText(QStringLiteral("100%"));
      Save(welcome.get(),
           ("service-" + std::string(p.name) + "-" + std::to_string(points) + "pt").c_str());
    }
  }
  QApplication::setFont(saved);
}

TEST_F(Screenshots, WelcomeAboutPromptAndBox) {
  qt::VirtualBusWatcher watcher(sim.bus);
  qt::CWelcomeDlg welcome(&watcher);
  welcome.show();
  Settle();
  Save(&welcome, "welcome");

  qt::CAboutDlg about;
  about.show();
  Save(&about, "about");

  qt::CSameVersionDlg prompt;
  prompt.show();
  Save(&prompt, "prompt");

  auto box = qt::MakeMessageBox(BoxKind::Application, "Fail to initialize states of device\xA3\xA1",
                                nullptr);
  box->show();
  Save(box.get(), "box");
}

TEST_F(Screenshots, MainWindowThroughTheRoad) {
  sim.korva.Unplug();
  LinkMode.store(kLinkNone);
  qt::CUpdateDlg main;
  main.show();
  Settle();
  Save(&main, "main-disconnected");

  // Plugged in, but this user may not open it: the status line says why.
  sim.korva.SetFaults({.permissionDenied = true});
  sim.korva.Plug();
  Tick(main);
  Save(&main, "main-no-permission");

  sim.korva.SetFaults({});
  Tick(main);
  Save(&main, "main-connected");

  // Halfway through the MCU job, as the user sees it.
  JobEventWatcher watcher;
  watcher.onJob = [&](const qt::JobEvent& e) {
    if (e.Message() == WM_MCU_JOB && e.WParam() == JOB_PROGRESS && e.LParam() == 376)
      Save(&main, "main-updating");
  };
  main.installEventFilter(&watcher);
  Click(&main, "m_btnUpdate");
  ASSERT_TRUE(WaitUntil([&] { return Shown(&main, "status") == kTextUpdateSucceeded; }));
  main.removeEventFilter(&watcher);
  Save(&main, "main-done");
}

}  // namespace
}  // namespace korva::testing
