// Helpers for the window tests: a fixture with virtual time and the simulated amp, and ways
// to act on windows as a user would (click, press keys, answer modal windows) and to read
// what the user sees.
#pragma once

#include <QAccessible>
#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTimerEvent>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

#include "device/hid_transport.h"
#include "dialogs/main_road.h"
#include "qt/device_work.h"
#include "qt/file_chooser.h"
#include "qt/job_event.h"
#include "qt/update_dlg.h"
#include "tests/shared/test_support.h"

namespace korva::testing {

// Processes events until `done` holds; false after `timeoutMs` of real time. It runs short
// event loops rather than processEvents(): called from inside a posted event (a queued call,
// a zero-time single shot), processEvents() would not deliver what other threads post meanwhile.
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 30000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QEventLoop loop;
    QTimer::singleShot(2, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return true;
}

// Runs `act` on the next modal window once it is up (from inside its own event loop).
inline void WhenModal(std::function<void(QWidget*)> act, int attemptsLeft = 2000) {
  QTimer::singleShot(attemptsLeft == 2000 ? 0 : 5, [act = std::move(act), attemptsLeft]() mutable {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal->isVisible()) {
      act(modal);
    } else if (attemptsLeft > 0) {
      WhenModal(std::move(act), attemptsLeft - 1);
    } else {
      ADD_FAILURE() << "no modal window appeared";
    }
  });
}

template <typename T = QWidget>
T* Child(QWidget* window, const char* name) {
  T* child = window->findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(child, nullptr) << name;
  return child;
}

inline void Click(QWidget* window, const char* button) {
  QTest::mouseClick(Child<QPushButton>(window, button), Qt::LeftButton);
}

// Clicks `button` once it is enabled: the main window enables "Update" once its opening steps
// have come back from the device thread.
inline void ClickWhenEnabled(QWidget* window, const char* button) {
  auto* control = Child<QPushButton>(window, button);
  EXPECT_TRUE(WaitUntil([control] { return control->isEnabled(); })) << button;
  QTest::mouseClick(control, Qt::LeftButton);
}

// The next event that the window receives; the window's texts reach its controls then.
inline void Flush(QWidget* window) {
  QEvent next(QEvent::User);
  QCoreApplication::sendEvent(window, &next);
}

// What a label shows, after the next event.
inline std::string Shown(QWidget* window, const char* label) {
  Flush(window);
  return Child<QLabel>(window, label)->text().toStdString();
}

// True when the lamp shows the green light, false for the red one.
inline bool LampIsGreen(QWidget* window) {
  const QImage lamp = Child<QLabel>(window, "lamp")->pixmap().toImage();
  const QColor centre = lamp.pixelColor(lamp.width() / 2, lamp.height() / 2);
  return centre.green() > centre.red();
}

// Sees the job events of the windows it is installed on (or of all, on the application).
struct JobEventWatcher : QObject {
  std::function<void(const qt::JobEvent&)> onJob;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == qt::JobEvent::EventType()) onJob(static_cast<const qt::JobEvent&>(*event));
    return false;
  }
};

// Answers the pages' file dialogs without opening one: each with the next path given, or a
// cancel; records the filter that each dialog offered.
class RecordingFileChooser final : public qt::FileChooser {
 public:
  RecordingFileChooser() { qt::SetAppFileChooser(this); }
  ~RecordingFileChooser() override { qt::SetAppFileChooser(nullptr); }
  RecordingFileChooser(const RecordingFileChooser&) = delete;
  RecordingFileChooser& operator=(const RecordingFileChooser&) = delete;

  void Choose(const std::string& path) { answers_.push_back(QString::fromStdString(path)); }
  void Cancel() { answers_.push_back(std::nullopt); }

  std::optional<QString> ChooseFileToOpen(QWidget*, const dialogs::FileFilter& filter) override {
    filters.push_back(std::string(filter.pattern) + " " + filter.defaultSuffix);
    if (answers_.empty()) {
      ADD_FAILURE() << "a file dialog that the test did not expect";
      return std::nullopt;
    }
    std::optional<QString> answer = answers_.front();
    answers_.pop_front();
    return answer;
  }

  std::vector<std::string> filters;  // pattern and default extension, per dialog

 private:
  std::deque<std::optional<QString>> answers_;
};

// The keyboard as a window gets it from the platform. `repeat` marks the press as the
// platform marks a held key's automatic repeats.
inline void PressKey(QWidget* window, Qt::Key key, bool repeat = false,
                     Qt::KeyboardModifiers modifiers = {}) {
  QTest::simulateEvent(window->windowHandle(), true, key, modifiers, QString(), repeat);
}
inline void ReleaseKey(QWidget* window, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
  QTest::simulateEvent(window->windowHandle(), false, key, modifiers, QString(), false);
}
// A key event stamped with `timestampMs`, as the platform hands it to the window.
inline void SendKey(QWidget* window, QEvent::Type type, Qt::Key key, bool repeat,
                    quint64 timestampMs) {
  QKeyEvent event(type, key, Qt::NoModifier, QString(), repeat);
  event.setTimestamp(timestampMs);
  QCoreApplication::sendEvent(window->windowHandle(), &event);
}
// A fresh press and its release, a moment after the keys before, as a hand makes them: a
// release and a press of one key within a few milliseconds are a held key's repeat.
inline void TapKey(QWidget* window, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
  constexpr int kHandMs = 10;
  QTest::qWait(kHandMs);
  QTest::keyClick(window->windowHandle(), key, modifiers);
}

inline void Activate(QWidget* window) {
  window->activateWindow();
  EXPECT_TRUE(QTest::qWaitForWindowActive(window));
}

// What a screen reader calls the widget.
inline std::string AccessibleName(QWidget* widget) {
  if (!widget) return "(none)";
  return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name).toStdString();
}

// The names of the controls that Tab visits, from the focused one round to it again.
inline std::vector<std::string> TabOrder(QWidget* window) {
  std::vector<std::string> names;
  QWidget* start = window->focusWidget();
  QWidget* current = start;
  do {
    names.push_back(AccessibleName(current));
    TapKey(window, Qt::Key_Tab);
    current = window->focusWidget();
  } while (current != start && names.size() < 20);
  return names;
}

class WindowTest : public KorvaTest {
 protected:
  WindowTest() {
    dialogs::ResetMainRoadState();
    // The tests deliver the poll's ticks themselves.
    qt::CUpdateDlg::SetPollPeriodForTests(kNoTickMs);
    qt::SetAppDeviceWork(&deviceWork);
  }
  ~WindowTest() override {
    qt::SetAppDeviceWork(nullptr);
    qt::CUpdateDlg::SetPollPeriodForTests(qt::CUpdateDlg::kPollPeriodMs);
  }

  // Waits until the device thread has made every call the windows asked for and its results
  // have been shown.
  void Settle() {
    ASSERT_TRUE(WaitUntil([&] { return deviceWork.Idle(); })) << "the device thread is stuck";
  }

  // The main update window as "Enter" opens it, with LinkMode as the welcome window's probe
  // left it and its opening steps made; active.
  std::unique_ptr<qt::CUpdateDlg> OpenMainWindow() {
    LinkMode.store(IsDevicePresent() ? kLinkHid : kLinkNone);
    auto main = std::make_unique<qt::CUpdateDlg>();
    main->show();
    Activate(main.get());
    Settle();
    Flush(main.get());
    return main;
  }

  // One tick of the running poll, made and shown. A job's thread may still be returning after
  // its final message, and a tick then leaves everything alone: the tick waits for it.
  void Tick(qt::CUpdateDlg& dialog) {
    WaitForWorkers();
    Settle();
    ASSERT_NE(dialog.PollTimerId(), 0) << "the poll is stopped";
    QTimerEvent tick(dialog.PollTimerId());
    QCoreApplication::sendEvent(&dialog, &tick);
    Settle();
  }

  static constexpr int kNoTickMs = 3600 * 1000;
  // Destroyed before the virtual amp: its thread may be using it.
  qt::DeviceWork deviceWork;
};

}  // namespace korva::testing
