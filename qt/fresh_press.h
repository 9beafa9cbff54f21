// No button is pressed, no shortcut fires and no window closes from a key that the user is
// holding: Return, Enter, Escape and Space (on a button) act only on a fresh press. A held key
// repeats, and its repeats go to whichever window has the focus by then: Return held on the
// welcome window would otherwise open the main window and press its default button "Update"
// a moment later, writing firmware that nobody asked for.
//
// A press counts as a repeat when the platform marks it as one; when it reaches a window
// while the same key has been down since a press a moment before (remote desktops send repeats
// unmarked); or when it comes at the very moment the same key was released: X11 sends a held
// key's repeats as a release and a press with one timestamp, and Qt marks the pair only when
// both have arrived when it reads the first (on Xvfb about one pair in ten goes unmarked).
// One guard watches the whole application: every window, prompt and message box, and the
// service pages with them.
#pragma once

#include <QObject>
#include <map>

class QKeyEvent;

namespace korva::qt {

class FreshPressGuard final : public QObject {
 public:
  // Watches the application's key events from now on.
  FreshPressGuard();
  ~FreshPressGuard() override;
  FreshPressGuard(const FreshPressGuard&) = delete;
  FreshPressGuard& operator=(const FreshPressGuard&) = delete;

 protected:
  bool eventFilter(QObject* receiver, QEvent* event) override;

 private:
  // A repeat, or a press of a key that is down, or released this very moment, when it
  // reaches a window.
  bool IsRepeat(const QObject* receiver, const QKeyEvent& key) const;

  // As the windows saw them: the keys pressed and not released since, with the time stamp of
  // each one's last press, and each key's last release. A release that no window saw (the key
  // let go over a window that a modal window blocks, or in another program) leaves its key
  // "down" here until it has been quiet for longer than a held key ever is.
  std::map<int, quint64> m_keysDown;
  std::map<int, quint64> m_lastRelease;
};

// The application's guard, made on the first call; windows call this as they are prepared.
void InstallFreshPressGuard();

}  // namespace korva::qt
