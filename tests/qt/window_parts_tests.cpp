// The window program's parts: version comparison, percentage, GBK display, dialog-unit layout
// without clipped text, message boxes, and the job owner's marshalling to the UI thread.
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QTabWidget>
#include <QThread>
#include <atomic>
#include <thread>

#include "dialogs/connection_reading.h"
#include "jobs/service_texts.h"
#include "jobs/update_texts.h"
#include "qt/about_dlg.h"
#include "qt/busy_prompt_dlg.h"
#include "qt/device_work.h"
#include "qt/dialog_units.h"
#include "qt/display_text.h"
#include "qt/message_box_prompter.h"
#include "qt/same_version_dlg.h"
#include "qt/updater_app.h"
#include "qt/welcome_dlg.h"
#include "qt/window_job_owner.h"
#include "tests/qt/qt_test_support.h"
#include "tests/shared/file_test_support.h"

namespace korva::testing {
namespace {

TEST(Percent, TruncatesAndNeverDividesByZeroOrPassesOneHundred) {
  struct Case {
    long sent;
    int total;
    const char* shown;
  } cases[] = {
      {1, 3, "33%"},         {376, 752, "50%"},
      {751, 752, "99%"},     {752, 752, "100%"},
      {2143, 2142, "100%"},  {1, 0, "100%"},
      {0, 0, "100%"},        {2147483647L, 2147483647, "100%"},
      {30000, 65535, "45%"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(qt::PercentText(c.sent, c.total), c.shown) << c.sent << "/" << c.total;
}

TEST(DisplayText, DecodesTheFullWidthExclamationMark) {
  const QString shown = qt::DisplayText("Fail to initialize states of device\xA3\xA1");
  EXPECT_EQ(shown, QString::fromUtf8("Fail to initialize states of device\xEF\xBC\x81"));  // U+FF01
  EXPECT_EQ(qt::DisplayText("Update MCU fail!"), QStringLiteral("Update MCU fail!"));
}

TEST(MessageBoxes, WindowBoxHasNoIconApplicationBoxAWarning) {
  auto window = qt::MakeMessageBox(BoxKind::Window, kTextUpdateMcuFailed, nullptr);
  EXPECT_EQ(window->icon(), QMessageBox::NoIcon);
  EXPECT_EQ(window->windowTitle(), QStringLiteral("qt_tests"));  // the program file's base name
  EXPECT_EQ(window->text(), QStringLiteral("Update MCU fail!"));
  EXPECT_EQ(window->standardButtons(), QMessageBox::Ok);
  auto application = qt::MakeMessageBox(BoxKind::Application,
                                        "Fail to initialize states of device\xA3\xA1", nullptr);
  EXPECT_EQ(application->icon(), QMessageBox::Warning);
  EXPECT_TRUE(application->text().endsWith(QChar(0xFF01)));
}

TEST(MessageBoxes, ABoxAskedFromAJobThreadBlocksItUntilClosed) {
  qt::MessageBoxPrompter prompter;
  std::atomic<bool> returned{false};
  bool returnedWhileShown = true;
  QString text;
  // The box runs its own loop on the UI thread; the user closes it from there.
  WhenModal([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    text = box->text();
    returnedWhileShown = returned.load();
    box->button(QMessageBox::Ok)->click();
  });
  std::thread job([&] {
    prompter.ShowBox(BoxKind::Application, "Fail to initialize states of device\xA3\xA1");
    returned.store(true);
  });
  EXPECT_TRUE(WaitUntil([&] { return returned.load(); }));
  job.join();
  EXPECT_FALSE(returnedWhileShown);
  EXPECT_TRUE(text.endsWith(QChar(0xFF01)));
}

TEST(WindowJobOwner, PostsJobEventsAndPreparesTheBarOnTheWindowThread) {
  QProgressBar bar;
  bar.setRange(0, 5);
  bar.setValue(3);
  JobEventWatcher target;
  std::vector<std::tuple<int, int, long>> received;
  target.onJob = [&](const qt::JobEvent& e) {
    received.emplace_back(e.Message(), e.WParam(), e.LParam());
  };
  QObject window;
  window.installEventFilter(&target);
  qt::WindowJobOwner owner(&window, &bar);

  std::atomic<bool> prepared{false};
  std::thread job([&] {
    owner.PrepareProgressBar(752);
    // The bar was prepared on its own thread before the call returned.
    prepared.store(true);
    owner.PostJobMessage(WM_MCU_JOB, JOB_PROGRESS, 1);
    owner.PostJobMessage(WM_MCU_JOB, JOB_DONE, 0);
  });
  ASSERT_TRUE(WaitUntil([&] { return received.size() == 2; }));
  job.join();
  EXPECT_TRUE(prepared.load());
  EXPECT_EQ(bar.maximum(), 752);
  EXPECT_EQ(bar.value(), 0);
  EXPECT_EQ(received, (std::vector<std::tuple<int, int, long>>{{WM_MCU_JOB, JOB_PROGRESS, 1},
                                                               {WM_MCU_JOB, JOB_DONE, 0}}));

  // On the bar's own thread it runs in place; a total of 0 keeps the bar a bar.
  owner.PrepareProgressBar(0);
  EXPECT_EQ(bar.minimum(), 0);
  EXPECT_EQ(bar.maximum(), 1);
}

// The device thread: calls run one at a time, in order, off the GUI thread; results come back
// on the GUI thread in the same order, and never to a window that has gone.
TEST(DeviceWork, RunsCallsInOrderOffTheGuiThreadAndHandsResultsBack) {
  qt::DeviceWork work;
  QObject window;
  const std::thread::id gui = std::this_thread::get_id();
  std::mutex mutex;
  std::vector<std::thread::id> workThreads;
  std::vector<int> ran;
  std::vector<int> handed;
  std::atomic<int> running{0};
  bool overlapped = false;
  for (int i = 0; i < 20; ++i) {
    work.Run(
        &window,
        [&, i] {
          overlapped |= running.fetch_add(1) != 0;
          std::this_thread::sleep_for(std::chrono::microseconds(200));
          {
            std::lock_guard lock(mutex);
            workThreads.push_back(std::this_thread::get_id());
            ran.push_back(i);
          }
          running.fetch_sub(1);
          return i * i;
        },
        [&](int square) {
          EXPECT_EQ(std::this_thread::get_id(), gui);
          handed.push_back(square);
        });
  }
  work.Run([&] { ran.push_back(-1); });  // a call whose end nobody waits for
  EXPECT_FALSE(work.Idle());
  ASSERT_TRUE(WaitUntil([&] { return work.Idle(); }));
  EXPECT_FALSE(overlapped);
  ASSERT_EQ(ran.size(), 21u);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(ran[i], i);
  EXPECT_EQ(ran.back(), -1);
  ASSERT_EQ(handed.size(), 20u);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(handed[i], i * i);
  for (const auto& id : workThreads) {
    EXPECT_NE(id, gui);
    EXPECT_EQ(id, workThreads.front());
  }
}

TEST(DeviceWork, AResultForAWindowThatHasGoneIsDropped) {
  qt::DeviceWork work;
  Gate gate;
  gate.Close();
  auto window = std::make_unique<QObject>();
  bool handed = false;
  bool laterHanded = false;
  work.Run(
      window.get(), [&] { gate.Pass(); }, [&] { handed = true; });
  work.Run(
      &work, [] { return 1; }, [&](int) { laterHanded = true; });
  ASSERT_TRUE(gate.WaitUntilHeld());
  window.reset();  // while its call is being made
  gate.Open();
  ASSERT_TRUE(WaitUntil([&] { return work.Idle(); }));
  EXPECT_FALSE(handed);
  EXPECT_TRUE(laterHanded);
}

TEST(DeviceWork, GoingAwayWaitsForTheCallInProgressAndDropsTheRest) {
  Gate gate;
  gate.Close();
  std::atomic<bool> finished{false};
  std::atomic<bool> laterRan{false};
  std::thread opener;
  {
    qt::DeviceWork work;
    work.Run([&] {
      gate.Pass();
      finished.store(true);
    });
    work.Run([&] { laterRan.store(true); });
    ASSERT_TRUE(gate.WaitUntilHeld());
    // Opens the gate only once the destructor is surely waiting.
    opener = std::thread([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      gate.Open();
    });
  }
  opener.join();
  EXPECT_TRUE(finished.load());
  EXPECT_FALSE(laterRan.load());
}

// The Bluetooth page's file dialog: one entry "*.bin; *.dfu" that lists the files of both
// kinds and no others, and no extension added to a typed name. The next dialog opens in the
// folder of the file chosen.
TEST(FileDialogChooser, OffersSeveralPatternsInOneEntry) {
  ScratchFolder folder;
  for (const char* name : {"module.bin", "module.dfu", "cab.wav", "notes.txt"})
    folder.File(name, Bytes{1});
  qt::FileDialogChooser chooser;
  std::vector<std::string> listed;
  std::string entry, suffix, openedIn;
  auto choose = [&](const QString& name) {
    WhenModal([&, name](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      if (!dialog) {
        ADD_FAILURE() << "not a file dialog";
        modal->close();
        return;
      }
      openedIn = dialog->directory().absolutePath().toStdString();
      dialog->setDirectory(QString::fromStdString(folder.PathOf("")));
      auto* view = Child<QListView>(dialog, "listView");
      // The folder is read on a thread of the dialog's own.
      WaitUntil([&] { return view->model()->rowCount(view->rootIndex()) >= 2; }, 5000);
      listed.clear();
      for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row) {
        listed.push_back(
            view->model()->index(row, 0, view->rootIndex()).data().toString().toStdString());
      }
      std::sort(listed.begin(), listed.end());
      entry = Child<QComboBox>(dialog, "fileTypeCombo")->currentText().toStdString();
      suffix = dialog->defaultSuffix().toStdString();
      Child<QLineEdit>(dialog, "fileNameEdit")->setText(name);
      static_cast<QDialog*>(dialog)->accept();
      if (dialog->isVisible()) {
        ADD_FAILURE() << "the dialog did not take " << name.toStdString();
        dialog->reject();
      }
    });
    return chooser.ChooseFileToOpen(nullptr, qt::kBluetoothFileFilter);
  };
  EXPECT_EQ(choose(QStringLiteral("module.dfu")),
            QString::fromStdString(folder.PathOf("module.dfu")));
  EXPECT_EQ(listed, (std::vector<std::string>{"module.bin", "module.dfu"}));
  EXPECT_EQ(entry, "*.bin; *.dfu");
  EXPECT_EQ(suffix, "");
  EXPECT_EQ(choose(QStringLiteral("module.bin")),
            QString::fromStdString(folder.PathOf("module.bin")));
  EXPECT_EQ(openedIn, std::filesystem::path(folder.PathOf("")).parent_path().string());
}

// Everything a control may show must fit: labels with every text they can take, buttons and
// group box titles, at the desktop's font and at a larger one.
class NoClippingTest : public WindowTest, public ::testing::WithParamInterface<int> {
 protected:
  void SetUp() override {
    saved_ = QApplication::font();
    QFont font("DejaVu Sans");
    font.setPointSize(GetParam());
    QApplication::setFont(font);
  }
  void TearDown() override { QApplication::setFont(saved_); }

  static void ExpectFits(QLabel* label, const QString& text) {
    const QFontMetrics metrics(label->font());
    const QRect room = label->contentsRect();
    if (label->wordWrap()) {
      const QRect needed = metrics.boundingRect(room, Qt::TextWordWrap, text);
      EXPECT_LE(needed.height(), room.height()) << text.toStdString();
      EXPECT_LE(needed.width(), room.width()) << text.toStdString();
    } else if (text.contains(QLatin1Char('\n'))) {
      const QSize needed = metrics.size(0, text);  // the lines as the text breaks them
      EXPECT_LE(needed.width(), room.width()) << text.toStdString();
      EXPECT_LE(needed.height(), room.height()) << text.toStdString();
    } else {
      EXPECT_LE(metrics.horizontalAdvance(text), room.width()) << text.toStdString();
      EXPECT_LE(metrics.height(), room.height()) << text.toStdString();
    }
  }
  static void ExpectAllFit(QWidget* dialog) {
    for (QLabel* label : dialog->findChildren<QLabel*>()) ExpectFits(label, label->text());
    for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
      const QFontMetrics metrics(button->font());
      EXPECT_LE(metrics.horizontalAdvance(button->text()) + 2 * metrics.averageCharWidth(),
                button->width());
      EXPECT_LE(metrics.height() + 4, button->height()) << button->text().toStdString();
    }
    for (QGroupBox* group : dialog->findChildren<QGroupBox*>()) {
      const QFontMetrics metrics(group->font());
      EXPECT_LE(metrics.horizontalAdvance(group->title()) + 2 * metrics.averageCharWidth(),
                group->width());
    }
    // Every control stays inside the window.
    for (QWidget* child : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      EXPECT_TRUE(dialog->rect().contains(child->geometry())) << child->objectName().toStdString();
    }
  }

  QFont saved_;
};

TEST_P(NoClippingTest, WelcomeAboutAndPromptShowAllTheirText) {
  qt::CWelcomeDlg welcome(nullptr);
  ExpectAllFit(&welcome);
  qt::CAboutDlg about;
  ExpectAllFit(&about);
  qt::CSameVersionDlg prompt;
  ExpectAllFit(&prompt);
  EXPECT_EQ(prompt.font().pointSizeF(), GetParam() * 10.0 / 8);
}

TEST_P(NoClippingTest, MainWindowShowsEveryTextItCanTake) {
  qt::CUpdateDlg main;
  ExpectAllFit(&main);
  auto* status = Child<QLabel>(&main, "status");
  for (const char* text :
       {kTextInitializing, kTextConnectCable, kTextInitStatesFailedCheckCable, kTextSameFirmware,
        kTextSameMcuFirmware, kTextSameDspFirmware, kTextClickUpdate,
        kTextClickUpdateAfterMcuStartFailed, kTextStartUpdating, kTextMcuUpdating,
        kTextMcuUpdateDone, kTextDspUpdating, kTextUpdateSucceeded, kTextUpdateFailed}) {
    ExpectFits(status, QString::fromLatin1(text));
  }
  for (const DeviceAccess access :
       {DeviceAccess::PermissionDenied, DeviceAccess::HeldElsewhere, DeviceAccess::NotOpenable}) {
    ExpectFits(status, QString::fromStdString(dialogs::AmpMissingText(access)));
  }
  for (const char* text : {kTextDisconnected, kTextConnected, kTextConnectError}) {
    ExpectFits(Child<QLabel>(&main, "usbState"), QString::fromLatin1(text));
  }
  ExpectFits(Child<QLabel>(&main, "currentVersion"), QStringLiteral("Ver1.38.250"));
  ExpectFits(Child<QLabel>(&main, "newVersion"), QStringLiteral("Ver1.38.250"));
  ExpectFits(Child<QLabel>(&main, "percent"), QStringLiteral("100%"));
}

TEST_P(NoClippingTest, ServicePagesAndTheBusyPromptShowEveryTextTheyCanTake) {
  qt::CWelcomeDlg welcome(nullptr);
  welcome.EnterServiceMode();
  welcome.show();
  QCoreApplication::processEvents();
  ExpectAllFit(&welcome);
  auto* tabs = Child<QTabWidget>(&welcome, "m_tab");
  for (int i = 0; i < tabs->count(); ++i) {
    QWidget* page = tabs->widget(i);
    SCOPED_TRACE(page->objectName().toStdString());
    ExpectAllFit(page);
    EXPECT_EQ(page->font().pointSizeF(), GetParam() * 10.0 / 8);
    // The page area of the tabs holds the whole page.
    EXPECT_GE(page->parentWidget()->width(), page->width());
    EXPECT_GE(page->parentWidget()->height(), page->height());
    if (auto* percent = page->findChild<QLabel*>(QStringLiteral("percent")))
      ExpectFits(percent, QStringLiteral("100%"));
    if (auto* version = page->findChild<QLabel*>(QStringLiteral("updateVersion"))) {
      ExpectFits(version, QStringLiteral("V 12345678"));  // the MCU rule's longest version
      ExpectFits(version, QString::fromLatin1(kTextVersionError));
    }
  }
  qt::CBusyPromptDlg prompt(&welcome);
  ExpectAllFit(&prompt);
  EXPECT_EQ(prompt.font().pointSizeF(), GetParam());
  EXPECT_EQ(Child<QLabel>(&prompt, "prompt")->text().count(QLatin1Char('\n')), 1);
}

INSTANTIATE_TEST_SUITE_P(FontSizes, NoClippingTest, ::testing::Values(8, 9, 10, 12),
                         [](const auto& info) { return std::to_string(info.param) + "pt"; });

TEST(StartOptions, DeviceLogVersionAndMistakes) {
  const auto parsed = qt::ParseStartOptions({"--simulate", "--log", "/tmp/a.log", "--version"});
  EXPECT_TRUE(parsed.simulate);
  EXPECT_TRUE(parsed.version);
  EXPECT_EQ(parsed.logFile, "/tmp/a.log");
  EXPECT_TRUE(parsed.error.empty());
  EXPECT_EQ(qt::ParseStartOptions({"--log=/tmp/b.log", "--device=usb"}).logFile, "/tmp/b.log");
  EXPECT_FALSE(qt::ParseStartOptions({"--log=/tmp/b.log", "--device=usb"}).simulate);
  for (const auto& wrong :
       {std::vector<std::string>{"--log"}, std::vector<std::string>{"--log="}}) {
    EXPECT_EQ(qt::ParseStartOptions(wrong).error, "--log needs a FILE");
  }
  EXPECT_EQ(qt::ParseStartOptions({"--logs"}).error, "unknown argument: --logs");
}

TEST(DialogUnits, ConvertWithTheFontsAverageWidthAndHeight) {
  const qt::DialogBaseUnits base{6, 15};
  EXPECT_EQ(qt::ToPixels(QRect(4, 8, 349, 174), base), QRect(6, 15, 524, 326));
  EXPECT_EQ(qt::ToPixels(QSize(305, 182), base), QSize(458, 341));
}

TEST(StartOptions, DeviceAndUpdateLibrary) {
  const qt::StartOptions chosen = qt::ParseStartOptions({"--simulate", "--dfu-library=/opt/m.so"});
  EXPECT_TRUE(chosen.simulate);
  EXPECT_EQ(chosen.dfuLibrary, "/opt/m.so");
  EXPECT_EQ(chosen.error, "");
  EXPECT_FALSE(qt::ParseStartOptions({"--simulate", "--device=usb"}).simulate);
  EXPECT_NE(qt::ParseStartOptions({"--dfu-library="}).error, "");
  EXPECT_NE(qt::ParseStartOptions({"--dfu-library"}).error, "");
}

}  // namespace
}  // namespace korva::testing
