// The guard against presses from a held key.
#include "qt/fresh_press.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QWindow>

namespace korva::qt {
namespace {

// Nobody lifts a key and presses it again within this many milliseconds; a repeat's release
// and press come together.
constexpr qint64 kRepeatPairGapMs = 5;
// A held key repeats sooner than this after its last press (desktops wait about half a second
// before the first repeat). A key that is "down" but quiet for longer was let go where the
// windows could not see it: a window that a modal window blocks gets no key events, its
// release among them.
constexpr qint64 kLongestRepeatGapMs = 1500;

// What the key would do where it lands: press a button (Return and Enter also the dialog's
// default button, Space the focused one) or close the window (Escape).
bool Activates(const QObject* receiver, const QKeyEvent& key) {
  switch (key.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Select:
      return true;
    case Qt::Key_Space: {
      // Space only presses a button; in a text field a held Space types spaces.
      const QObject* focus = receiver->isWindowType()
                                 ? static_cast<const QWindow*>(receiver)->focusObject()
                                 : receiver;
      return qobject_cast<const QAbstractButton*>(focus) != nullptr;
    }
    default:
      return false;
  }
}

}  // namespace

FreshPressGuard::FreshPressGuard() : QObject(QCoreApplication::instance()) {
  QCoreApplication::instance()->installEventFilter(this);
}

FreshPressGuard::~FreshPressGuard() {
  // Made as the application's child, the guard usually goes with it, when it is already gone.
  if (QCoreApplication* app = QCoreApplication::instance()) app->removeEventFilter(this);
}

bool FreshPressGuard::IsRepeat(const QObject* receiver, const QKeyEvent& key) const {
  if (key.isAutoRepeat()) return true;
  // A key event reaches its window once, then goes on to the widgets: the keys are counted
  // there.
  if (!receiver->isWindowType()) return false;
  if (const auto down = m_keysDown.find(key.key()); down != m_keysDown.end()) {
    const qint64 sinceLastPress = static_cast<qint64>(key.timestamp() - down->second);
    if (sinceLastPress < kLongestRepeatGapMs) return true;
  }
  const auto released = m_lastRelease.find(key.key());
  if (released == m_lastRelease.end()) return false;
  const qint64 gap = static_cast<qint64>(key.timestamp() - released->second);
  return gap >= 0 && gap < kRepeatPairGapMs;
}

bool FreshPressGuard::eventFilter(QObject* receiver, QEvent* event) {
  switch (event->type()) {
    case QEvent::ShortcutOverride: {
      // Claiming the key for the focused widget keeps it from firing a shortcut (a button's
      // Alt+letter); the press that follows is judged below.
      auto& key = static_cast<QKeyEvent&>(*event);
      if (!IsRepeat(receiver, key)) return false;
      key.accept();
      return true;
    }
    case QEvent::KeyPress: {
      auto& key = static_cast<QKeyEvent&>(*event);
      const bool repeat = IsRepeat(receiver, key);
      if (receiver->isWindowType()) {
        // A fresh press puts its key down; a repeat of a key that is down keeps it so.
        const auto down = m_keysDown.find(key.key());
        if (!key.isAutoRepeat()) {
          m_keysDown[key.key()] = key.timestamp();
        } else if (down != m_keysDown.end()) {
          down->second = key.timestamp();
        }
      }
      return repeat && Activates(receiver, key);  // dropped: it reaches no widget
    }
    case QEvent::KeyRelease: {
      const auto& key = static_cast<const QKeyEvent&>(*event);
      // A repeat comes as a release and a press on some platforms; a marked one is no release.
      if (receiver->isWindowType() && !key.isAutoRepeat()) {
        m_keysDown.erase(key.key());
        m_lastRelease[key.key()] = key.timestamp();
      }
      return false;
    }
    default:
      return false;
  }
}

void InstallFreshPressGuard() {
  static QPointer<FreshPressGuard> guard;
  if (!guard) guard = new FreshPressGuard();  // owned by the application
}

}  // namespace korva::qt
