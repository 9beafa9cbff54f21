// Calls carried to the GUI thread by window messages.
#include "win32/gui_thread.h"

#include <memory>

namespace korva::win32 {
namespace {

constexpr const wchar_t* kWindowClass = L"KorvaGuiThread";
constexpr UINT kPostedCall = WM_APP + 1;  // lParam: a std::function<void()>* to run and delete
constexpr UINT kSentCall = WM_APP + 2;    // lParam: a const std::function<void()>* to run

}  // namespace

GuiThread::GuiThread() : threadId_(GetCurrentThreadId()) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = kWindowClass;
  RegisterClassW(&windowClass);  // fails harmlessly when registered already
  window_ = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
}

GuiThread::~GuiThread() {
  HWND window;
  {
    std::lock_guard lock(mutex_);
    window = window_;
    window_ = nullptr;
  }
  MSG message;
  while (PeekMessageW(&message, window, kPostedCall, kPostedCall, PM_REMOVE))
    delete reinterpret_cast<std::function<void()>*>(message.lParam);
  DestroyWindow(window);
}

void GuiThread::Post(std::function<void()> call) {
  auto owned = std::make_unique<std::function<void()>>(std::move(call));
  std::lock_guard lock(mutex_);
  if (window_ && PostMessageW(window_, kPostedCall, 0, reinterpret_cast<LPARAM>(owned.get())))
    owned.release();  // the message owns it now
}

void GuiThread::Run(const std::function<void()>& call) {
  if (OnGuiThread()) {
    call();
    return;
  }
  HWND window;
  {
    std::lock_guard lock(mutex_);
    window = window_;
  }
  // The GUI thread answers sent messages in every loop it runs, also while it waits for one.
  if (window) SendMessageW(window, kSentCall, 0, reinterpret_cast<LPARAM>(&call));
}

LRESULT CALLBACK GuiThread::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kPostedCall: {
      std::unique_ptr<std::function<void()>> call(reinterpret_cast<std::function<void()>*>(lParam));
      (*call)();
      return 0;
    }
    case kSentCall:
      (*reinterpret_cast<const std::function<void()>*>(lParam))();
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace korva::win32
