// The service pages' face.
#include "win32/service_page_dlg.h"

#include <commctrl.h>

#include "dialogs/firmware_page.h"
#include "resources/windows/resource.h"
#include "win32/file_dialog.h"
#include "win32/message_loop.h"
#include "win32/wide_text.h"

namespace korva::win32 {
namespace {

constexpr int kPageTemplates[dialogs::kTabCount] = {IDD_PAGE_MCU, IDD_PAGE_DSP, IDD_PAGE_IR,
                                                    IDD_PAGE_BATTERY, IDD_PAGE_BLUETOOTH};
// The controls of the display strings, by PageText.
constexpr int kTextControls[] = {IDC_PERCENT, IDC_UPDATE_VERSION};

int ControlOf(dialogs::PageControl control) {
  switch (control) {
    case dialogs::PageControl::Browse:
      return IDC_BROWSE;
    case dialogs::PageControl::Upgrade:
      return IDC_UPGRADE;
    case dialogs::PageControl::SlotList:
      break;
  }
  return IDC_SLOT_INDEX;
}

}  // namespace

ServicePageDlg::ServicePageDlg(int tab, dialogs::DevicePort& device)
    : Dialog(kPageTemplates[tab]), tab_(tab), device_(device) {}

ServicePageDlg::~ServicePageDlg() {
  if (page_) RunMessagesUntil([this] { return !page_->JobRunning(); }, OnQuit::HoldUntilDone);
  busyPrompt_.reset();
  page_.reset();  // its job owner lets go of the jobs before the window goes
}

void ServicePageDlg::MakePage() {
  dialogs::PageFace& face = *this;
  switch (tab_) {
    case dialogs::kTabIr: {
      auto page = std::make_unique<dialogs::IrPage>(
          face, static_cast<dialogs::SlotListFace&>(*this), device_);
      irPage_ = page.get();
      page_ = std::move(page);
      break;
    }
    case dialogs::kTabBluetooth:
      page_ = std::make_unique<dialogs::BluetoothPage>(
          face, static_cast<dialogs::BusyPromptFace&>(*this), device_);
      break;
    case dialogs::kTabDsp:
      page_ = std::make_unique<dialogs::FirmwarePage>(face, device_, FirmwareKind::Dsp);
      break;
    case dialogs::kTabBattery:
      page_ = std::make_unique<dialogs::FirmwarePage>(face, device_, FirmwareKind::Battery);
      break;
    default:
      page_ = std::make_unique<dialogs::FirmwarePage>(face, device_, FirmwareKind::Mcu);
      break;
  }
}

bool ServicePageDlg::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
  switch (message) {
    case WM_INITDIALOG:
      if (tab_ == dialogs::kTabIr) {
        for (const char* item : dialogs::kSlotItems)
          SendMessageW(Item(IDC_SLOT_INDEX), CB_ADDSTRING, 0,
                       reinterpret_cast<LPARAM>(Wide(item).c_str()));
      }
      MakePage();
      CopyTexts();     // the template's "info" labels go at once
      result = FALSE;  // the welcome window keeps the focus where it is
      return true;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_BROWSE && HIWORD(wParam) == BN_CLICKED) {
        page_->OnBrowse();
      } else if (LOWORD(wParam) == IDC_UPGRADE && HIWORD(wParam) == BN_CLICKED) {
        page_->OnUpgrade();
      } else if (LOWORD(wParam) == IDC_SLOT_INDEX && HIWORD(wParam) == CBN_SELCHANGE && irPage_) {
        irPage_->OnSelchangeIndex();
      } else {
        return false;
      }
      return true;
    default:
      return false;
  }
}

void ServicePageDlg::CopyTexts() {
  SetItemText(IDC_LOADED_VERSION, L"");  // nothing tells the version loaded
  SetItemText(IDC_FILE_PATH, filePath_);
  for (std::size_t i = 0; i < texts_.size(); ++i) SetItemText(kTextControls[i], texts_[i]);
}

void ServicePageDlg::OnJobMessage(int message, int wParam, long lParam) {
  page_->OnJobMessage(message, wParam, lParam);
}

void ServicePageDlg::PostJobMessage(int message, int wParam, long lParam) {
  PostJob(message, wParam, lParam);
}

void ServicePageDlg::RunOnWindowThread(const std::function<void()>& call) { RunOnThread(call); }

std::optional<std::string> ServicePageDlg::ChooseFile(const dialogs::FileFilter& filter) {
  return ChooseFileToOpen(GetAncestor(Handle(), GA_ROOT), filter);
}

void ServicePageDlg::SetFilePath(const std::string& path) {
  filePath_ = ShownPath(path);
  RequestCopy();
}

void ServicePageDlg::SetText(dialogs::PageText text, const std::string& bytes) {
  texts_[static_cast<std::size_t>(text)] = Shown(bytes);
  RequestCopy();
}

void ServicePageDlg::SetProgressRange(int maximum) {
  Dialog::SetProgressRange(IDC_PROGRESS, maximum);
}

void ServicePageDlg::SetProgress(int position) { SetProgressPosition(IDC_PROGRESS, position); }

void ServicePageDlg::Enable(dialogs::PageControl control, bool enabled) {
  EnableItem(ControlOf(control), enabled);
}

void ServicePageDlg::Focus(dialogs::PageControl control) { FocusItem(ControlOf(control)); }

std::string ServicePageDlg::SlotListText() {
  HWND list = Item(IDC_SLOT_INDEX);
  const LRESULT chosen = SendMessageW(list, CB_GETCURSEL, 0, 0);
  if (chosen == CB_ERR) return {};
  std::wstring text(static_cast<std::size_t>(SendMessageW(list, CB_GETLBTEXTLEN, chosen, 0)) + 1,
                    L'\0');
  text.resize(static_cast<std::size_t>(
      SendMessageW(list, CB_GETLBTEXT, chosen, reinterpret_cast<LPARAM>(text.data()))));
  return Utf8(text);
}

void ServicePageDlg::ShowBusyPrompt() {
  if (!busyPrompt_) {
    busyPrompt_ = std::make_unique<BusyPromptDlg>();
    busyPrompt_->Create(Handle());
  }
  busyPrompt_->ShowOver(Handle());
}

void ServicePageDlg::HideBusyPrompt() {
  if (busyPrompt_) busyPrompt_->Hide();
}

}  // namespace korva::win32
