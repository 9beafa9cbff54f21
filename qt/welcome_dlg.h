// The welcome window: greets the user, says how to start the KORVA in update mode, and opens
// the main update window on "Enter". It keeps LinkMode up to date by probing for the amp at
// its start and on every device-change notification, also while it is hidden behind the main
// update window. Its menu item "&About Velorin..." opens the About box: in the system menu
// where the platform has one, otherwise in the window's context menu. In service mode
// (--service, or "Service mode" in its context menu) it also holds the service pages below
// its texts; while a page's job runs, the window can be neither closed nor left for the main
// road.
#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class CWelcomeDlg;
}

namespace korva {
class DeviceWatcher;
}

namespace korva::qt {

// The text of the About item (string 101), with its keyboard mnemonic.
inline constexpr const char* kAboutMenuText = "&About Velorin...";
// Its command in the system menu.
inline constexpr unsigned kAboutCommand = 0x10;
// The context menu's item that shows the service pages.
inline constexpr const char* kServiceModeMenuText = "Service mode";

class ServicePageHost;

class CWelcomeDlg final : public QDialog {
 public:
  // `watcher` (not owned, may be null) delivers the device-change notifications.
  explicit CWelcomeDlg(DeviceWatcher* watcher, QWidget* parent = nullptr);
  ~CWelcomeDlg() override;

  enum class ProbeForm { Start, DeviceChange };
  // Asks the device thread for the probe; LinkMode is set when it has been made.
  void ProbeLink(ProbeForm form);

  // Shows the tabs and the service pages; from then on the window keeps them.
  void EnterServiceMode();
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
  void OnInitDialog();
  void OnEnter();
  void OnAbout();
  void OnPageJobStateChanged();

  std::unique_ptr<Ui::CWelcomeDlg> ui_;
  DeviceWatcher* watcher_;
  bool initialised_ = false;
  std::unique_ptr<ServicePageHost> m_host;
};

}  // namespace korva::qt
