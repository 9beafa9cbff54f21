// The welcome window's face.
#include "qt/welcome_dlg.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QPointer>

#include "device/device_watcher.h"
#include "qt/about_dlg.h"
#include "qt/device_work.h"
#include "qt/dialog_template.h"
#include "qt/service_page_host.h"
#include "qt/update_dlg.h"
#include "ui_welcome.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace korva::qt {

CWelcomeDlg::CWelcomeDlg(DeviceWatcher* watcher, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::CWelcomeDlg>()),
      watcher_(watcher),
      m_window(*this, AppDeviceWork().Port()) {
  ui_->setupUi(this);
  PrepareDialog(this, 8, FrameButtons::CloseAndMinimise);
  connect(ui_->btnEnter, &QPushButton::clicked, this, [this] { m_window.OnEnter(); });
  connect(ui_->btnExit, &QPushButton::clicked, this, [this] { m_window.OnExit(); });
}

// The pages go first, while the window is whole: the host waits for a running page job.
CWelcomeDlg::~CWelcomeDlg() { m_host.reset(); }

void CWelcomeDlg::showEvent(QShowEvent* event) {
  if (!initialised_) {
    initialised_ = true;
    OnInitDialog();
  }
  QDialog::showEvent(event);
}

void CWelcomeDlg::OnInitDialog() {
#ifdef Q_OS_WIN
  HMENU menu = GetSystemMenu(reinterpret_cast<HWND>(winId()), FALSE);
  if (menu) {
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, kAboutCommand,
                reinterpret_cast<LPCWSTR>(QString::fromLatin1(kAboutMenuText).utf16()));
  }
#endif
  m_window.OnOpening();
  // The watcher may outlive this window.
  if (watcher_)
    watcher_->Start([self = QPointer<CWelcomeDlg>(this)] {
      if (self) self->m_window.OnDeviceChange();
    });
}

void CWelcomeDlg::Enable(dialogs::WelcomeControl control, bool enabled) {
  (control == dialogs::WelcomeControl::Enter ? ui_->btnEnter : ui_->btnExit)->setEnabled(enabled);
}

void CWelcomeDlg::RunMainWindow() {
  hide();
  CUpdateDlg update;
  update.exec();
}

void CWelcomeDlg::EndWelcome(bool entered) { QDialog::done(entered ? Accepted : Rejected); }

dialogs::PageHost& CWelcomeDlg::ShowServicePages() {
  m_host = std::make_unique<ServicePageHost>(ui_->m_tab);
  m_host->PlaceIn(this, ui_->frame, {ui_->btnEnter, ui_->btnExit});
  return m_host->Logic();
}

void CWelcomeDlg::done(int result) {
  if (m_window.MayEnd()) QDialog::done(result);
}

void CWelcomeDlg::OnAbout() {
  CAboutDlg about(this);
  about.exec();
}

void CWelcomeDlg::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
#ifndef Q_OS_WIN
  // Desktops here give a program no system menu of its own: the window's context menu
  // carries the About item instead.
  menu.addSeparator();
  menu.addAction(QString::fromLatin1(kAboutMenuText), this, &CWelcomeDlg::OnAbout);
#endif
  // Service mode stays on once chosen; the item then shows that it is.
  const bool on = m_window.InServiceMode();
  QAction* service = menu.addAction(QString::fromLatin1(kServiceModeMenuText), this,
                                    [this] { m_window.OnServiceMode(); });
  service->setCheckable(true);
  service->setChecked(on);
  service->setEnabled(!on);
  menu.exec(event->globalPos());
}

#ifdef Q_OS_WIN
bool CWelcomeDlg::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
  const MSG* msg = static_cast<const MSG*>(message);
  // The low four bits of a system command belong to the system.
  if (msg->message == WM_SYSCOMMAND && (msg->wParam & 0xFFF0) == kAboutCommand) {
    OnAbout();
    *result = 0;
    return true;
  }
  return QDialog::nativeEvent(eventType, message, result);
}
#endif

}  // namespace korva::qt
