// The fixture of the service page tests: the welcome window in service mode against the
// virtual amp in virtual time, with files chosen through a recorder, and ways to open a tab,
// choose a file, wait for a page's job and read what a page shows.
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QTabBar>
#include <QTabWidget>
#include <memory>
#include <string>
#include <vector>

#include "qt/device_watchers.h"
#include "qt/service_page_host.h"
#include "qt/welcome_dlg.h"
#include "tests/qt/qt_test_support.h"
#include "tests/shared/file_test_support.h"

namespace korva::testing {

using qt::ServicePageHost;

class ServicePageTest : public WindowTest {
 protected:
  ServicePageTest() : watcher(sim.bus), welcome(std::make_unique<qt::CWelcomeDlg>(&watcher)) {
    welcome->EnterServiceMode();
    welcome->show();
    // The window's opening probe sets LinkMode on the device thread; a test that sets LinkMode
    // itself must not have it overwritten later (on a loaded machine the probe can come late).
    Settle();
  }
  ~ServicePageTest() override { welcome.reset(); }

  ServicePageHost& Host() { return *welcome->PageHost(); }
  QTabWidget* Tabs() { return Child<QTabWidget>(welcome.get(), "m_tab"); }
  // The pages that the user can see.
  std::vector<QWidget*> ShownPages() {
    std::vector<QWidget*> shown;
    for (int tab = 0; tab < ServicePageHost::kTabCount; ++tab) {
      if (Host().Page(tab)->isVisible()) shown.push_back(Host().Page(tab));
    }
    return shown;
  }
  void ClickTab(int tab) {
    QTabBar* bar = Tabs()->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(tab).center());
  }
  // The tab shows, and its page alone.
  void ExpectShowing(int tab) {
    EXPECT_EQ(Tabs()->currentIndex(), tab);
    EXPECT_EQ(ShownPages(), std::vector<QWidget*>{Host().Page(tab)});
  }
  QWidget* Open(int tab) {
    ClickTab(tab);
    ExpectShowing(tab);
    return Host().Page(tab);
  }
  void Browse(QWidget* page, const std::string& path) {
    files.Choose(path);
    Click(page, "m_btnBrowse");
  }
  void ChooseSlot(QWidget* page, int slot) {
    Child<QComboBox>(page, "m_cbIndex")->setCurrentIndex(slot - 1);
  }
  // No page's job runs, and the device thread has made every call asked of it.
  bool WaitForIdle() {
    return WaitUntil([&] { return !Host().JobRunning() && deviceWork.Idle(); });
  }
  static std::string PathShown(QWidget* page) {
    Flush(page);
    return Child<QLineEdit>(page, "filePath")->text().toStdString();
  }
  static bool ButtonsEnabled(QWidget* page) {
    return Child<QPushButton>(page, "m_btnBrowse")->isEnabled() &&
           Child<QPushButton>(page, "m_btnUpgrade")->isEnabled();
  }
  static QProgressBar* Bar(QWidget* page) { return Child<QProgressBar>(page, "m_progress"); }
  bool WelcomeButtonsEnabled() {
    return Child<QPushButton>(welcome.get(), "btnEnter")->isEnabled() &&
           Child<QPushButton>(welcome.get(), "btnExit")->isEnabled();
  }
  // The page is back to idle after a job or a refused start.
  void ExpectIdle(QWidget* page) {
    EXPECT_TRUE(ButtonsEnabled(page));
    EXPECT_EQ(Bar(page)->value(), 0);
    EXPECT_EQ(Shown(page, "percent"), "0%");
    EXPECT_EQ(JobStatus.load(), kJobIdle);
    EXPECT_FALSE(Host().JobRunning());
    EXPECT_TRUE(Tabs()->tabBar()->isEnabled());
    EXPECT_TRUE(WelcomeButtonsEnabled());
  }
  // "Upgrade" on `page` shows one box, of `kind` with `text`, and leaves the page idle.
  void ExpectUpgradeSays(QWidget* page, BoxKind kind, const char* text) {
    const std::size_t before = prompter.Boxes().size();
    Click(page, "m_btnUpgrade");
    Settle();
    ASSERT_EQ(prompter.Boxes().size(), before + 1) << text;
    EXPECT_EQ(prompter.Boxes().back().kind, kind);
    EXPECT_EQ(prompter.Boxes().back().text, text);
    ExpectIdle(page);
  }
  static void Post(QWidget* page, int message, int wParam, long lParam) {
    QCoreApplication::postEvent(page, new qt::JobEvent(message, wParam, lParam));
  }

  qt::VirtualBusWatcher watcher;
  RecordingFileChooser files;
  ScratchFolder folder;
  std::unique_ptr<qt::CWelcomeDlg> welcome;
};

}  // namespace korva::testing
