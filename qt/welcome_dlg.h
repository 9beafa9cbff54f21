// The welcome window on Qt: the face of dialogs::WelcomeWindow, which decides what it does.
// Here: the template, the device-change notifications handed to the window, the About box (in
// the system menu where the platform has one, otherwise in the window's context menu), the
// context menu's "Service mode", and the service pages' tabs placed below the texts.
#pragma once

#include <QDialog>
#include <memory>

#include "dialogs/welcome_window.h"

namespace Ui {
class CWelcomeDlg;
}

namespace korva {
class DeviceWatcher;
}

namespace korva::qt {

using dialogs::kAboutCommand;
using dialogs::kAboutMenuText;
using dialogs::kServiceModeMenuText;

class ServicePageHost;

class CWelcomeDlg final : public QDialog, private dialogs::WelcomeWindowFace {
 public:
  // `watcher` (not owned, may be null) delivers the device-change notifications.
  explicit CWelcomeDlg(DeviceWatcher* watcher, QWidget* parent = nullptr);
  ~CWelcomeDlg() override;

  // Shows the tabs and the service pages; from then on the window keeps them.
  void EnterServiceMode() { m_window.OnServiceMode(); }
  // The page host, in service mode; null before.
  ServicePageHost* PageHost() const { return m_host.get(); }

  // Refused while a page's job runs: Exit, Escape and the close box come here.
  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
#ifdef Q_OS_WIN
  bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;
#endif

 private:
  // The face.
  void Enable(dialogs::WelcomeControl control, bool enabled) override;
  void RunMainWindow() override;
  void EndWelcome(bool entered) override;
  dialogs::PageHost& ShowServicePages() override;

  void OnInitDialog();
  void OnAbout();

  std::unique_ptr<Ui::CWelcomeDlg> ui_;
  DeviceWatcher* watcher_;
  bool initialised_ = false;
  std::unique_ptr<ServicePageHost> m_host;
  dialogs::WelcomeWindow m_window;
};

}  // namespace korva::qt
