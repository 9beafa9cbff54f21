// What a screen reader finds in the windows: every control by a name, names that follow what
// the windows show, and a job's progress told once for each whole percent, not at every report.
#include "qt/screen_reader.h"

#include <QAccessible>
#include <QLineEdit>
#include <QTabBar>
#include <numeric>

#include "jobs/service_texts.h"
#include "jobs/update_texts.h"
#include "qt/about_dlg.h"
#include "qt/busy_prompt_dlg.h"
#include "qt/device_watchers.h"
#include "qt/same_version_dlg.h"
#include "qt/service_page_host.h"
#include "qt/welcome_dlg.h"
#include "tests/qt/qt_test_support.h"
#include "tests/shared/file_test_support.h"

namespace korva::testing {
namespace {

using qt::ServicePageHost;

// What a user reads or works needs a name; frames, panes and lists only hold such things.
bool IsControl(QAccessible::Role role) {
  switch (role) {
    case QAccessible::Dialog:
    case QAccessible::PushButton:
    case QAccessible::EditableText:
    case QAccessible::ComboBox:
    case QAccessible::ListItem:
    case QAccessible::ProgressBar:
    case QAccessible::StaticText:
    case QAccessible::Graphic:
    case QAccessible::PageTab:
    case QAccessible::PageTabList:
      return true;
    default:
      return false;
  }
}

// The controls without a name in the window's accessible tree, hidden ones included. The
// welcome window's tab control has no tabs before service mode: nothing to name then.
void CollectUnnamed(QAccessibleInterface* node, std::vector<std::string>& unnamed, int& controls) {
  const auto* tabs = qobject_cast<const QTabBar*>(node->object());
  const bool emptyTabList = tabs && tabs->count() == 0;
  if (IsControl(node->role()) && !emptyTabList) {
    ++controls;
    if (node->text(QAccessible::Name).trimmed().isEmpty()) {
      unnamed.push_back(node->object() ? node->object()->objectName().toStdString() : "item");
    }
  }
  for (int i = 0; i < node->childCount(); ++i) CollectUnnamed(node->child(i), unnamed, controls);
}

void ExpectEveryControlNamed(QWidget* window, int atLeast = 3) {
  window->show();
  Flush(window);
  std::vector<std::string> unnamed;
  int controls = 0;
  CollectUnnamed(QAccessible::queryAccessibleInterface(window), unnamed, controls);
  EXPECT_GE(controls, atLeast);
  EXPECT_EQ(unnamed, std::vector<std::string>{}) << window->objectName().toStdString();
}

// The progress that screen readers were told: each bar and the value it reached.
std::vector<std::pair<QObject*, int>> g_told;
void RecordTold(QAccessibleEvent* event) {
  if (event->type() != QAccessible::ValueChanged) return;
  g_told.emplace_back(event->object(),
                      static_cast<QAccessibleValueChangeEvent*>(event)->value().toInt());
}

class ScreenReaderTest : public WindowTest {
 protected:
  ScreenReaderTest() {
    g_told.clear();
    qt::SetAnnouncementSinkForTests(&RecordTold);
  }
  ~ScreenReaderTest() override { qt::SetAnnouncementSinkForTests(nullptr); }

  // The whole percents told of `bar`, as a screen reader works them out from its range.
  static std::vector<int> PercentsTold(const QProgressBar* bar) {
    std::vector<int> percents;
    for (const auto& [object, value] : g_told) {
      if (object == bar) percents.push_back(value * 100 / bar->maximum());
    }
    return percents;
  }
  // 0 to 100 once each as the job goes, then 0 again when it ends.
  static std::vector<int> EachPercentOnce() {
    std::vector<int> percents(101);
    std::iota(percents.begin(), percents.end(), 0);
    percents.push_back(0);
    return percents;
  }

  qt::VirtualBusWatcher watcher{sim.bus};
};

TEST_F(ScreenReaderTest, EveryControlOfEveryWindowHasAName) {
  qt::CWelcomeDlg welcome(&watcher);
  ExpectEveryControlNamed(&welcome);
  welcome.EnterServiceMode();  // the five pages, the hidden ones too
  ExpectEveryControlNamed(&welcome);
  welcome.hide();
  for (bool connected : {true, false}) {
    if (!connected) sim.korva.Unplug();
    ExpectEveryControlNamed(OpenMainWindow().get());
  }
  qt::CSameVersionDlg prompt;
  ExpectEveryControlNamed(&prompt);
  qt::CAboutDlg about;
  ExpectEveryControlNamed(&about);
  qt::CBusyPromptDlg busy(nullptr);  // a window with an empty title and its one text
  ExpectEveryControlNamed(&busy, 2);
  EXPECT_EQ(AccessibleName(&busy), "BlueTooth Device is upgrading, please wait for seconds . . .");
}

// The lamp says the USB state, the versions and the percentage come with their captions.
TEST_F(ScreenReaderTest, TheMainWindowsNamesFollowWhatItShows) {
  auto main = OpenMainWindow();
  auto name = [&](const char* control) {
    Flush(main.get());
    return AccessibleName(Child(main.get(), control));
  };
  EXPECT_EQ(name("lamp"), "USB Status: Connected");
  EXPECT_EQ(name("currentVersion"), "Current firmware version: Ver1.36.192");
  EXPECT_EQ(name("newVersion"), "Version to be updated: Ver1.38.250");
  EXPECT_EQ(name("percent"), "Percentage:");
  EXPECT_EQ(name("m_progress"), "Progress");
  Tick(*main);
  EXPECT_EQ(name("status"), kTextClickUpdate);

  VirtualKorva::Faults faults;
  faults.acknowledgeLimit = 0;
  sim.korva.SetFaults(faults);
  Tick(*main);
  EXPECT_EQ(name("lamp"), "USB Status: Connect Error!");
  EXPECT_EQ(name("status"), kTextInitStatesFailedCheckCable);
  sim.korva.Unplug();
  Tick(*main);
  EXPECT_EQ(name("lamp"), "USB Status: Disconnected");
  EXPECT_EQ(name("currentVersion"), "Current firmware version:");
}

TEST_F(ScreenReaderTest, TheMainWindowTellsEachWholePercentOnce) {
  sim.korva.SetVersions("1.36", "250");  // the MCU job alone: 752 reports
  auto main = OpenMainWindow();
  std::string percentHalfway;
  JobEventWatcher halfway;
  halfway.onJob = [&](const qt::JobEvent& event) {
    if (event.WParam() == JOB_PROGRESS && event.LParam() == 376)
      percentHalfway = AccessibleName(Child(main.get(), "percent"));
  };
  main->installEventFilter(&halfway);
  Click(main.get(), "m_btnUpdate");
  ASSERT_TRUE(WaitUntil([&] { return Shown(main.get(), "status") == kTextUpdateSucceeded; }));
  auto* bar = Child<QProgressBar>(main.get(), "m_progress");
  ASSERT_EQ(bar->maximum(), 752);
  EXPECT_EQ(PercentsTold(bar), EachPercentOnce());
  EXPECT_EQ(percentHalfway, "Percentage: 50%");
}

// A page names its fields by their labels and its versions with their captions, and tells
// its job's progress as the main window does.
TEST_F(ScreenReaderTest, APageNamesItsControlsAndTellsEachWholePercentOnce) {
  RecordingFileChooser files;
  ScratchFolder folder;
  qt::CWelcomeDlg welcome(&watcher);
  welcome.EnterServiceMode();
  welcome.show();
  QWidget* mcu = welcome.PageHost()->Page(ServicePageHost::kTabMcu);
  const std::string path = folder.File("mcu.bin", FirmwareBytes(0x2345, 7, 0x10, "APPV1.39"));
  files.Choose(path);
  Click(mcu, "m_btnBrowse");
  Flush(mcu);
  EXPECT_EQ(AccessibleName(Child(&welcome, "m_tab")), qt::kServiceModeMenuText);
  EXPECT_EQ(AccessibleName(Child(mcu, "updateVersion")), "Update Version: V 1.39");
  EXPECT_EQ(AccessibleName(Child(mcu, "loadedVersion")), "Loaded Version:");
  EXPECT_EQ(AccessibleName(Child(mcu, "percent")), "Percentage: 0%");
  auto* field = Child<QLineEdit>(mcu, "filePath");
  EXPECT_EQ(AccessibleName(field), "MCU Firmware File:");
  EXPECT_EQ(QAccessible::queryAccessibleInterface(field)->text(QAccessible::Value).toStdString(),
            path);
  EXPECT_EQ(AccessibleName(Child(welcome.PageHost()->Page(ServicePageHost::kTabIr), "m_cbIndex")),
            "Index:");
  QWidget* bluetooth = welcome.PageHost()->Page(ServicePageHost::kTabBluetooth);
  EXPECT_EQ(AccessibleName(Child(bluetooth, "filePath")), "Bluetooth Firmware File:");
  EXPECT_EQ(AccessibleName(Child(bluetooth, "loadedVersion")), "Loaded Version:");

  Click(mcu, "m_btnUpgrade");
  ASSERT_TRUE(WaitUntil([&] { return !welcome.PageHost()->JobRunning(); }));
  ASSERT_EQ(prompter.Texts(), std::vector<std::string>{kTextMcuPageSucceeded});
  EXPECT_EQ(PercentsTold(Child<QProgressBar>(mcu, "m_progress")), EachPercentOnce());
}

}  // namespace
}  // namespace korva::testing
