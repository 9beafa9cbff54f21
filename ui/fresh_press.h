// No button is pressed, no shortcut fires and no window closes from a key that the user is
// holding: Return, Enter, Escape and Space (on a button) act only on a fresh press. A held key
// repeats, and its repeats go to whichever window has the focus by then: Return held on the
// welcome window would otherwise open the main window and press its default button "Update"
// a moment later, writing firmware that nobody asked for.
//
// A press counts as a repeat when the platform marks it as one, or when it reaches a window
// while the same key has been down since an earlier press (for platforms and remote
// desktops that send repeats unmarked). One guard watches the whole application: every
// window, prompt and message box, and the service pages with them.
#pragma once

#include <QObject>
#include <set>

class QKeyEvent;

namespace korva::ui {

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
  // A repeat, or a press of a key already down when it reaches a window.
  bool IsRepeat(const QObject* receiver, const QKeyEvent& key) const;

  std::set<int> m_keysDown;  // pressed and not yet released, as the windows saw them
};

// The application's guard, made on the first call; windows call this as they are prepared.
void InstallFreshPressGuard();

}  // namespace korva::ui
