// The welcome window's face.
#include "win32/welcome_dlg.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>

#include "resources/windows/resource.h"
#include "win32/device_changes.h"
#include "win32/message_loop.h"
#include "win32/service_page_dlg.h"
#include "win32/small_dialogs.h"
#include "win32/update_dlg.h"
#include "win32/wide_text.h"
#include "win32/writing_guard.h"

namespace korva::win32 {
namespace {

// The low four bits of a system command belong to the system.
constexpr WPARAM kSystemCommandMask = 0xFFF0;

// The group box that frames the welcome texts: the template's only one.
HWND FindFrame(HWND window) {
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if ((GetWindowLongPtrW(child, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX &&
        GetWindowLongPtrW(child, GWLP_ID) == IDC_STATIC)
      return child;
  }
  return nullptr;
}

RECT ChildRect(HWND parent, HWND child) {
  RECT rect{};
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

}  // namespace

WelcomeDlg::WelcomeDlg(dialogs::DevicePort& device, DeviceChanges& changes)
    : Dialog(IDD_WELCOME),
      device_(device),
      changes_(changes),
      window_(std::make_unique<dialogs::WelcomeWindow>(static_cast<WelcomeWindowFace&>(*this),
                                                       device)) {}

WelcomeDlg::~WelcomeDlg() {
  // A page whose job runs gets its messages until the final one; the rest of the window stays
  // meanwhile, for the page host to follow.
  if (host_) RunMessagesUntil([this] { return !host_->JobRunning(); }, OnQuit::HoldUntilDone);
  changes_.Stop();
  host_.reset();
  for (auto& page : pages_) page.reset();
}

bool WelcomeDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      result = TRUE;  // the dialog manager gives "Enter" the focus
      return true;
    case WM_SYSCOMMAND:
      if ((wParam & kSystemCommandMask) != dialogs::kAboutCommand) return false;
      {
        AboutDlg about;
        if (about.Create(Handle())) about.RunModal(Handle());
      }
      return true;
    case WM_CONTEXTMENU:
      ShowContextMenu(lParam);
      return true;
    case WM_DEVICECHANGE:  // any event: the probe
      window_->OnDeviceChange();
      result = TRUE;
      return true;
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) return false;
      if (LOWORD(wParam) == IDC_ENTER) {
        window_->OnEnter();
      } else if (LOWORD(wParam) == IDC_EXIT || LOWORD(wParam) == IDCANCEL) {
        window_->OnExit();
      } else {
        return false;
      }
      return true;
    case WM_NOTIFY:
      if (reinterpret_cast<const NMHDR*>(lParam)->idFrom != IDC_TAB || !host_) return false;
      OnTabNotification(*reinterpret_cast<const NMHDR*>(lParam));
      result = FALSE;  // a change of tab is let through; the tab rule may put it back
      return true;
    case WM_QUERYENDSESSION:
      result = RefuseEndOfSession(Handle()) ? FALSE : TRUE;
      return true;
    case WM_QUERYDRAGICON:
      result = reinterpret_cast<LRESULT>(largeIcon_.Handle());
      return true;
    default:
      return false;
  }
}

void WelcomeDlg::OnInitDialog() {
  HMENU menu = GetSystemMenu(Handle(), FALSE);
  wchar_t about[64] = {};
  if (menu && LoadStringW(GetModuleHandleW(nullptr), IDS_ABOUT_MENU, about, 64) > 0) {
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, dialogs::kAboutCommand, about);
  }
  SetWindowIcons(Handle(), largeIcon_, smallIcon_);
  // Both buttons are default push buttons in the template; Return, wherever the focus is,
  // presses "Enter".
  SendMessageW(Handle(), DM_SETDEFID, IDC_ENTER, 0);
  window_->OnOpening();
  changes_.Start(Handle());
}

// "Service mode" stays on once chosen; the item then shows that it is.
void WelcomeDlg::ShowContextMenu(LPARAM where) {
  POINT at{GET_X_LPARAM(where), GET_Y_LPARAM(where)};
  if (at.x == -1 && at.y == -1) {  // from the keyboard: at the window's middle
    RECT window{};
    GetWindowRect(Handle(), &window);
    at = {(window.left + window.right) / 2, (window.top + window.bottom) / 2};
  }
  HMENU menu = CreatePopupMenu();
  const std::wstring text = Wide(dialogs::kServiceModeMenuText);
  const UINT state = window_->InServiceMode() ? MF_CHECKED | MF_GRAYED : MF_UNCHECKED;
  AppendMenuW(menu, MF_STRING | state, IDM_SERVICE_MODE, text.c_str());
  const UINT chosen = static_cast<UINT>(TrackPopupMenu(
      menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, Handle(), nullptr));
  DestroyMenu(menu);
  if (chosen == IDM_SERVICE_MODE) window_->OnServiceMode();
}

void WelcomeDlg::OnTabNotification(const NMHDR& notification) {
  if (notification.code == TCN_SELCHANGING) {
    // The link may have changed since the tabs were last looked at.
    host_->RefreshTabs();
  } else if (notification.code == TCN_SELCHANGE) {
    host_->OnSelchangeTab(static_cast<int>(SendMessageW(Item(IDC_TAB), TCM_GETCURSEL, 0, 0)));
  }
}

void WelcomeDlg::Enable(dialogs::WelcomeControl control, bool enabled) {
  EnableItem(control == dialogs::WelcomeControl::Enter ? IDC_ENTER : IDC_EXIT, enabled);
}

void WelcomeDlg::RunMainWindow() {
  ShowWindow(Handle(), SW_HIDE);  // it does not come back
  UpdateDlg update(device_);
  if (update.Create(nullptr)) update.RunModal(nullptr);
}

void WelcomeDlg::EndWelcome(bool entered) { End(entered ? IDOK : IDCANCEL); }

dialogs::PageHost& WelcomeDlg::ShowServicePages() {
  HWND tabs = Item(IDC_TAB);
  for (int tab = 0; tab < dialogs::kTabCount; ++tab) {
    const std::wstring title = Wide(dialogs::kTabTitles[tab]);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(title.c_str());
    SendMessageW(tabs, TCM_INSERTITEMW, static_cast<WPARAM>(tab), reinterpret_cast<LPARAM>(&item));
    auto page = std::make_unique<ServicePageDlg>(tab, device_);
    page->Create(Handle());
    pages_[static_cast<std::size_t>(tab)] = std::move(page);
  }
  PlaceServicePages();
  std::array<dialogs::ServicePage*, dialogs::kTabCount> pages{};
  for (int tab = 0; tab < dialogs::kTabCount; ++tab)
    pages[static_cast<std::size_t>(tab)] = &pages_[static_cast<std::size_t>(tab)]->Page();
  host_ = std::make_unique<dialogs::PageHost>(static_cast<PageHostFace&>(*this), pages);
  return *host_;
}

void WelcomeDlg::PlaceServicePages() {
  HWND window = Handle();
  HWND tabs = Item(IDC_TAB);
  HWND frame = FindFrame(window);
  const RECT frameRect = ChildRect(window, frame);
  const int margin = frameRect.left;

  // The tabs take a page's size plus their own border and row of tabs.
  RECT page{};
  GetWindowRect(pages_[0]->Handle(), &page);
  RECT tabRect{0, 0, page.right - page.left, page.bottom - page.top};
  SendMessageW(tabs, TCM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&tabRect));
  const int tabWidth = tabRect.right - tabRect.left;
  const int tabHeight = tabRect.bottom - tabRect.top;

  RECT client{};
  GetClientRect(window, &client);
  const int width = std::max<int>(client.right, tabWidth + 2 * margin);
  const int tabTop = frameRect.bottom + margin;
  const int tabLeft = (width - tabWidth) / 2;
  SetWindowPos(tabs, nullptr, tabLeft, tabTop, tabWidth, tabHeight, SWP_NOZORDER);
  // In a wider window the frame spans it as the tabs do.
  SetWindowPos(frame, nullptr, 0, 0, width - 2 * margin, frameRect.bottom - frameRect.top,
               SWP_NOMOVE | SWP_NOZORDER);
  // The pages sit in the tabs' display area, after the tabs in the keyboard's order.
  RECT display{tabLeft, tabTop, tabLeft + tabWidth, tabTop + tabHeight};
  SendMessageW(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
  for (auto& pageDlg : pages_)
    SetWindowPos(pageDlg->Handle(), tabs, display.left, display.top, 0, 0, SWP_NOSIZE);

  // The buttons go below the tabs, as far from the right edge as before, and as far from the
  // bottom.
  const int bottomMargin = client.bottom - ChildRect(window, Item(IDC_EXIT)).bottom;
  const int rowTop = tabTop + tabHeight + margin;
  int rowBottom = rowTop;
  for (int id : {IDC_ENTER, IDC_EXIT}) {
    const RECT button = ChildRect(window, Item(id));
    SetWindowPos(Item(id), nullptr, width - (client.right - button.left), rowTop, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER);
    rowBottom = rowTop + (button.bottom - button.top);
  }
  const int height = rowBottom + bottomMargin;

  // The window grows by what its client area grows, and stays on its screen.
  RECT outer{};
  GetWindowRect(window, &outer);
  const int outerWidth = outer.right - outer.left + width - client.right;
  const int outerHeight = outer.bottom - outer.top + height - client.bottom;
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT& room = monitor.rcWork;
  const int left = std::max<int>(room.left, std::min<int>(outer.left, room.right - outerWidth));
  const int top = std::max<int>(room.top, std::min<int>(outer.top, room.bottom - outerHeight));
  SetWindowPos(window, nullptr, left, top, outerWidth, outerHeight, SWP_NOZORDER);

  SetWindowLongPtrW(tabs, GWL_STYLE, GetWindowLongPtrW(tabs, GWL_STYLE) | WS_CLIPSIBLINGS);
  EnableWindow(tabs, TRUE);
  ShowWindow(tabs, SW_SHOW);
  InvalidateRect(window, nullptr, TRUE);
}

void WelcomeDlg::ShowTab(int tab) {
  SendMessageW(Item(IDC_TAB), TCM_SETCURSEL, static_cast<WPARAM>(tab), 0);
  for (int each = 0; each < dialogs::kTabCount; ++each)
    ShowWindow(pages_[static_cast<std::size_t>(each)]->Handle(), each == tab ? SW_SHOW : SW_HIDE);
}

void WelcomeDlg::EnableTabBar(bool enabled) { EnableWindow(Item(IDC_TAB), enabled ? TRUE : FALSE); }

// Windows' tab control has no disabled tab: a tab that may not be chosen stays as it looks and
// is refused by the tab rule, which puts the selection back.
void WelcomeDlg::EnableTab(int /*tab*/, bool /*enabled*/) {}

}  // namespace korva::win32
