// The main update window's face.
#include "win32/update_dlg.h"

#include <commctrl.h>

#include "resources/windows/resource.h"
#include "support/support_log.h"
#include "win32/message_loop.h"
#include "win32/small_dialogs.h"
#include "win32/wide_text.h"
#include "win32/writing_guard.h"

namespace korva::win32 {
namespace {

int g_pollPeriodForTestsMs = 0;  // 0: the window's own period

// Asks for the lamps at the lamp control's size, once the system has scaled the window to a new
// monitor's DPI.
constexpr UINT kReloadLamps = WM_APP + 20;

// The controls of the display strings, by UpdateText.
constexpr int kTextControls[] = {IDC_CURRENT_VERSION, IDC_NEW_VERSION, IDC_PERCENT, IDC_STATUS,
                                 IDC_USB_STATE};

int TextControl(dialogs::UpdateText text) { return kTextControls[static_cast<int>(text)]; }
int ButtonOf(dialogs::UpdateControl control) {
  return control == dialogs::UpdateControl::Update ? IDOK : IDCANCEL;
}

}  // namespace

void UpdateDlg::SetPollPeriodForTests(int ms) { g_pollPeriodForTestsMs = ms; }

UpdateDlg::UpdateDlg(dialogs::DevicePort& device)
    : Dialog(IDD_UPDATE),
      window_(
          std::make_unique<dialogs::UpdateWindow>(static_cast<UpdateWindowFace&>(*this), device)) {}

UpdateDlg::~UpdateDlg() {
  if (window_->UpdateRunning()) {
    SupportLog("the main window is closing during the update: it stays until the update has ended");
    RunMessagesUntil([this] { return !window_->UpdateRunning(); }, OnQuit::HoldUntilDone);
  }
  KillTimer(Handle(), kPollTimer);
  window_.reset();  // its job owner lets go of the jobs before the window goes
}

bool UpdateDlg::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
  switch (message) {
    case WM_INITDIALOG:
      SetWindowIcons(Handle(), largeIcon_, smallIcon_);
      // Its own task-bar button while the welcome window is hidden.
      SetWindowLongPtrW(Handle(), GWL_EXSTYLE,
                        GetWindowLongPtrW(Handle(), GWL_EXSTYLE) | WS_EX_APPWINDOW);
      LoadLamps();
      window_->OnOpening();
      result = TRUE;
      return true;
    case WM_TIMER:
      if (wParam != kPollTimer) return false;
      KillTimer(Handle(), kPollTimer);  // one tick per arming
      window_->OnTick();
      return true;
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) return false;
      if (LOWORD(wParam) == IDOK) {
        window_->OnUpdate();
      } else if (LOWORD(wParam) == IDCANCEL && window_->MayClose()) {
        End(IDCANCEL);
      }
      return true;
    case WM_QUERYENDSESSION:
      result = RefuseEndOfSession(Handle()) ? FALSE : TRUE;
      return true;
    case WM_DPICHANGED:
      PostMessageW(Handle(), kReloadLamps, 0, 0);
      return false;  // the system moves and scales the window and its controls
    case kReloadLamps:
      LoadLamps();
      return true;
    default:
      return false;
  }
}

// The lamps at the size that the lamp's control has on this window's monitor.
void UpdateDlg::LoadLamps() {
  RECT room{};
  GetClientRect(Item(IDC_LAMP), &room);
  const int side = LampSide(room.right, room.bottom);
  lampRed_ = Icon(IDI_LAMP_RED, side);
  lampGreen_ = Icon(IDI_LAMP_GREEN, side);
  ShowLamp(lampGreenShown_);
}

void UpdateDlg::CopyTexts() {
  for (std::size_t i = 0; i < texts_.size(); ++i) SetItemText(kTextControls[i], texts_[i]);
}

void UpdateDlg::OnJobMessage(int message, int wParam, long lParam) {
  window_->OnJobMessage(message, wParam, lParam);
}

void UpdateDlg::PostJobMessage(int message, int wParam, long lParam) {
  PostJob(message, wParam, lParam);
}

void UpdateDlg::RunOnWindowThread(const std::function<void()>& call) { RunOnThread(call); }

void UpdateDlg::SetText(dialogs::UpdateText text, const std::string& bytes) {
  texts_[static_cast<std::size_t>(text)] = Shown(bytes);
  RequestCopy();
}

void UpdateDlg::SetControlText(dialogs::UpdateText text, const std::string& bytes) {
  SetItemText(TextControl(text), Shown(bytes));
}

void UpdateDlg::ShowLamp(bool connected) {
  lampGreenShown_ = connected;
  const HICON lamp = connected ? lampGreen_.Handle() : lampRed_.Handle();
  SendMessageW(Item(IDC_LAMP), STM_SETICON, reinterpret_cast<WPARAM>(lamp), 0);
}

void UpdateDlg::SetProgressRange(int maximum) { Dialog::SetProgressRange(IDC_PROGRESS, maximum); }

void UpdateDlg::SetProgress(int position) { SetProgressPosition(IDC_PROGRESS, position); }

void UpdateDlg::Enable(dialogs::UpdateControl control, bool enabled) {
  EnableItem(ButtonOf(control), enabled);
}

void UpdateDlg::Focus(dialogs::UpdateControl control) { FocusItem(ButtonOf(control)); }

void UpdateDlg::ArmPollTimer(int ms) {
  SetTimer(Handle(), kPollTimer,
           static_cast<UINT>(g_pollPeriodForTestsMs ? g_pollPeriodForTestsMs : ms), nullptr);
}

void UpdateDlg::StopPollTimer() { KillTimer(Handle(), kPollTimer); }

bool UpdateDlg::AskSameVersion() {
  SameVersionDlg prompt;
  return prompt.Create(Handle()) && prompt.RunModal(Handle()) == IDOK;
}

}  // namespace korva::win32
