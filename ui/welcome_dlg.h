// The welcome window: greets the user, says how to start the KORVA in update mode, and opens
// the main update window on "Enter". It keeps LinkMode up to date by probing for the amp at
// its start and on every device-change notification, also while it is hidden behind the main
// update window. Its menu item "&About Velorin..." opens the About box: in the system menu
// where the platform has one, otherwise in the window's context menu.
#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class CWelcomeDlg;
}

namespace korva {
class DeviceWatcher;
}

namespace korva::ui {

// The text of the About item (string 101), with its keyboard mnemonic.
inline constexpr const char* kAboutMenuText = "&About Velorin...";
// Its command in the system menu.
inline constexpr unsigned kAboutCommand = 0x10;

class CWelcomeDlg final : public QDialog {
 public:
  // `watcher` (not owned, may be null) delivers the device-change notifications.
  explicit CWelcomeDlg(DeviceWatcher* watcher, QWidget* parent = nullptr);
  ~CWelcomeDlg() override;

  enum class ProbeForm { Start, DeviceChange };
  void ProbeLink(ProbeForm form);

 protected:
  void showEvent(QShowEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
#ifdef Q_OS_WIN
  bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;
#endif

 private:
  void OnInitDialog();
  void OnEnter();
  void OnAbout();

  std::unique_ptr<Ui::CWelcomeDlg> ui_;
  DeviceWatcher* watcher_;
  bool initialised_ = false;
};

}  // namespace korva::ui
