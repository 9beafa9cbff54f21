// The welcome window's behaviour.
#include "dialogs/welcome_window.h"

#include "device/hid_transport.h"
#include "dialogs/page_host.h"
#include "jobs/link_probe.h"

namespace korva::dialogs {

WelcomeWindow::WelcomeWindow(WelcomeWindowFace& face, DevicePort& device)
    : face_(face), device_(device) {}

// Sets LinkMode by a presence test, on the device port; nothing is done while a job runs.
void WelcomeWindow::OnOpening() {
  device_.Run([] { ProbeLinkMode(ProbeForm::AtStart); });
}

// After a change the amp may sit at another path, or its path may lead to another device: the
// transport looks for it afresh. The cable may also have been handed to the Bluetooth module,
// so the update library is asked too.
void WelcomeWindow::OnDeviceChange() {
  ForgetDevicePath();
  device_.Run([] { ProbeLinkMode(ProbeForm::Full); });
}

bool WelcomeWindow::MayEnd() const { return !host_ || !host_->JobRunning(); }

void WelcomeWindow::OnEnter() {
  if (!MayEnd()) return;
  // The welcome window goes away at once and never comes back; the program ends when the main
  // update window closes.
  face_.RunMainWindow();
  face_.EndWelcome(true);
}

void WelcomeWindow::OnExit() {
  if (MayEnd()) face_.EndWelcome(false);
}

void WelcomeWindow::OnServiceMode() {
  if (host_) return;
  host_ = &face_.ShowServicePages();
  host_->SetJobStateListener([this] { OnPageJobStateChanged(); });
}

// While a page's job writes to the amp, neither the main road nor the end of the program.
void WelcomeWindow::OnPageJobStateChanged() {
  const bool idle = MayEnd();
  face_.Enable(WelcomeControl::Enter, idle);
  face_.Enable(WelcomeControl::Exit, idle);
}

}  // namespace korva::dialogs
