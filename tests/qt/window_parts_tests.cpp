// The window program's Qt parts: the program's texts as Qt shows them, dialog-unit layout
// without clipped text, message boxes, the file dialog, the start options, and the hand-offs
// between the job and device threads and the GUI thread.
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
#include "dialogs/file_filter.h"
#include "jobs/service_texts.h"
#include "jobs/update_texts.h"
#include "qt/about_dlg.h"
#include "qt/busy_prompt_dlg.h"
#include "qt/device_work.h"
#include "qt/dialog_units.h"
#include "qt/display_text.h"
#include "qt/job_event.h"
#include "qt/message_box_prompter.h"
#include "qt/same_version_dlg.h"
#include "qt/thread_handoff.h"
#include "qt/updater_app.h"
#include "qt/welcome_dlg.h"
#include "tests/qt/qt_test_support.h"
#include "tests/shared/file_test_support.h"

namespace korva::testing {
namespace {

// What a label or a box shows of the program's bytes: the full-width "!" as U+FF01, the busy
// prompt's line break as one.
TEST(QtText, ShowsTheProgramsBytesAsTheirCharacters) {
  EXPECT_EQ(qt::QtText("Fail to initialize states of device\xA3\xA1"),
            QStringLiteral("Fail to initialize states of device") + QChar(0xFF01));
  EXPECT_EQ(qt::QtText(kTextBluetoothBusy),
            QStringLiteral("BlueTooth Device is upgrading, \n please wait for seconds . . ."));
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

// The faces' route for a job: from the job's thread its messages reach the window as events on
// the window's thread, in the order posted, and a call run on the window's thread has run there
// before it returns.
TEST(JobRoute, MessagesArriveAsEventsOnTheWindowThreadInOrder) {
  JobEventWatcher target;
  const std::thread::id gui = std::this_thread::get_id();
  std::vector<std::tuple<int, int, long>> received;
  target.onJob = [&](const qt::JobEvent& e) {
    EXPECT_EQ(std::this_thread::get_id(), gui);
    received.emplace_back(e.Message(), e.WParam(), e.LParam());
  };
  QObject window;
  window.installEventFilter(&target);
  std::thread::id ranOn;
  std::atomic<bool> ran{false};
  std::thread job([&] {
    for (long i = 1; i <= 3; ++i) qt::PostJobEvent(&window, WM_MCU_JOB, JOB_PROGRESS, i);
    qt::RunOnThreadOf(&window, [&] { ranOn = std::this_thread::get_id(); });
    ran.store(true);  // after the call: it has run on the window's thread
    qt::PostJobEvent(&window, WM_MCU_JOB, JOB_DONE, 0);
  });
  ASSERT_TRUE(WaitUntil([&] { return received.size() == 4; }));
  job.join();
  EXPECT_TRUE(ran.load());
  EXPECT_EQ(ranOn, gui);
  EXPECT_EQ(received, (std::vector<std::tuple<int, int, long>>{{WM_MCU_JOB, JOB_PROGRESS, 1},
                                                               {WM_MCU_JOB, JOB_PROGRESS, 2},
                                                               {WM_MCU_JOB, JOB_PROGRESS, 3},
                                                               {WM_MCU_JOB, JOB_DONE, 0}}));
}

// The Qt program's device thread hands results back through Qt's queue, on the GUI thread; a
// result still queued when the device thread has gone is dropped (its order, its windows and
// its end are the shared layer's, tested there).
TEST(DeviceWork, HandsResultsBackOnTheGuiThreadAndDropsThemWithItself) {
  const std::thread::id gui = std::this_thread::get_id();
  const dialogs::WindowLife life;
  auto work = std::make_unique<qt::DeviceWork>();
  std::thread::id workThread;
  std::thread::id handedOn;
  work->Port().Run(
      life, [&] { return workThread = std::this_thread::get_id(); },
      [&](std::thread::id) { handedOn = std::this_thread::get_id(); });
  ASSERT_TRUE(WaitUntil([&] { return work->Idle(); }));
  EXPECT_NE(workThread, gui);
  EXPECT_EQ(handedOn, gui);

  std::atomic<bool> made{false};
  bool handed = false;
  work->Port().Run(
      life, [&] { made.store(true); }, [&] { handed = true; });
  while (!made.load()) std::this_thread::yield();
  work.reset();  // joins the device thread, whose hand-back is queued by then
  QCoreApplication::processEvents();
  EXPECT_FALSE(handed);
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
    return chooser.ChooseFileToOpen(nullptr, dialogs::kBluetoothFileFilter);
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

TEST(DialogUnits, ConvertWithTheFontsAverageWidthAndHeight) {
  const qt::DialogBaseUnits base{6, 15};
  EXPECT_EQ(qt::ToPixels(QRect(4, 8, 349, 174), base), QRect(6, 15, 524, 326));
  EXPECT_EQ(qt::ToPixels(QSize(305, 182), base), QSize(458, 341));
}

}  // namespace
}  // namespace korva::testing
