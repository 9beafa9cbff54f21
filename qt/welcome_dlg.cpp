// The welcome window's behaviour.
#include "qt/welcome_dlg.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QPointer>

#include "device/device_watcher.h"
#include "device/hid_transport.h"
#include "jobs/link_probe.h"
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
    : QDialog(parent), ui_(std::make_unique<Ui::CWelcomeDlg>()), watcher_(watcher) {
  ui_->setupUi(this);
  PrepareDialog(this, 8, FrameButtons::CloseAndMinimise);
  connect(ui_->btnEnter, &QPushButton::clicked, this, &CWelcomeDlg::OnEnter);
  connect(ui_->btnExit, &QPushButton::clicked, this, &QDialog::reject);
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
  ProbeLink(ProbeForm::Start);
  // The watcher may outlive this window. After a change the amp may sit at another path, or
  // its path may lead to another device: the transport looks for it afresh.
  if (watcher_)
    watcher_->Start([self = QPointer<CWelcomeDlg>(this)] {
      ForgetDevicePath();
      if (self) self->ProbeLink(ProbeForm::DeviceChange);
    });
}

// Sets LinkMode by a presence test, on the device thread; after a device change the amp may
// have handed its cable to the Bluetooth module, so the library is asked too. Nothing is done
// while a job runs.
void CWelcomeDlg::ProbeLink(ProbeForm form) {
  const korva::ProbeForm probe =
      form == ProbeForm::Start ? korva::ProbeForm::AtStart : korva::ProbeForm::Full;
  AppDeviceWork().Run([probe] { ProbeLinkMode(probe); });
}

void CWelcomeDlg::EnterServiceMode() {
  if (m_host) return;
  m_host = std::make_unique<ServicePageHost>(ui_->m_tab);
  m_host->SetJobStateListener([this] { OnPageJobStateChanged(); });
  m_host->PlaceIn(this, ui_->frame, {ui_->btnEnter, ui_->btnExit});
}

// While a page's job writes to the amp, neither the main road nor the end of the program.
void CWelcomeDlg::OnPageJobStateChanged() {
  const bool idle = !m_host->JobRunning();
  ui_->btnEnter->setEnabled(idle);
  ui_->btnExit->setEnabled(idle);
}

void CWelcomeDlg::done(int result) {
  if (m_host && m_host->JobRunning()) return;
  QDialog::done(result);
}

void CWelcomeDlg::OnEnter() {
  if (m_host && m_host->JobRunning()) return;
  // The welcome window goes away at once and never comes back; the program ends when the
  // main update window closes.
  hide();
  {
    CUpdateDlg update;
    update.exec();
  }
  done(QDialog::Accepted);
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
  QAction* service = menu.addAction(QString::fromLatin1(kServiceModeMenuText), this,
                                    &CWelcomeDlg::EnterServiceMode);
  service->setCheckable(true);
  service->setChecked(m_host != nullptr);
  service->setEnabled(m_host == nullptr);
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
