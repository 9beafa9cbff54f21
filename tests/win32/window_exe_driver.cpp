// Runs korva-updater.exe --simulate as its users run it and drives its windows from outside,
// through their messages, as a user's clicks would: "Enter", then "Update" once it is enabled,
// then "Exit" once the status line says the update succeeded. The virtual amp inside the
// program takes the update in real time (about two and a half minutes).
//
//   window_exe_driver PROGRAM.exe
//
// Exit status 0 when the program reached "Update successfully! ..." and ended with status 0.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "jobs/update_texts.h"
#include "resources/windows/resource.h"

namespace {

constexpr auto kOpeningLimit = std::chrono::seconds(60);
constexpr auto kUpdateLimit = std::chrono::minutes(8);
constexpr auto kLookEvery = std::chrono::milliseconds(100);

struct Search {
  DWORD process;
  int control;  // the window that has this control
  HWND found;
};

// The visible top-level window of `process` with control `control`.
HWND FindProgramWindow(DWORD process, int control) {
  Search search{process, control, nullptr};
  EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        auto& s = *reinterpret_cast<Search*>(data);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == s.process && IsWindowVisible(window) && GetDlgItem(window, s.control)) {
          s.found = window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// A control's text in another process (WM_GETTEXT is carried across processes).
std::string ControlText(HWND window, int id) {
  char text[512] = {};
  SendMessageA(GetDlgItem(window, id), WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text));
  return text;
}

template <typename Duration>
bool WaitFor(Duration limit, HANDLE process, const auto& done) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    if (WaitForSingleObject(process, 0) == WAIT_OBJECT_0) return false;  // it ended early
    std::this_thread::sleep_for(kLookEvery);
  }
  return true;
}

// A click as the button reports it to its dialog; posted, since the welcome window's "Enter"
// returns only when the main window has closed.
void Press(HWND window, int id) {
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
}

int Fail(const char* step, PROCESS_INFORMATION& program) {
  std::fprintf(stderr, "window_exe_driver: %s\n", step);
  TerminateProcess(program.hProcess, 99);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: window_exe_driver PROGRAM.exe\n");
    return 2;
  }
  // The build names the program by its Linux path: Wine's drive Z: is the Linux root.
  std::string program = argv[1];
  if (!program.empty() && program[0] == '/') program = "Z:" + program;
  std::string commandLine = "\"" + program + "\" --simulate";
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started{};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &started)) {
    std::fprintf(stderr, "window_exe_driver: cannot start %s\n", program.c_str());
    return 1;
  }
  const DWORD id = started.dwProcessId;

  HWND welcome = nullptr;
  if (!WaitFor(kOpeningLimit, started.hProcess,
               [&] { return (welcome = FindProgramWindow(id, IDC_ENTER)) != nullptr; }))
    return Fail("the welcome window did not open", started);
  Press(welcome, IDC_ENTER);

  HWND main = nullptr;
  if (!WaitFor(kOpeningLimit, started.hProcess, [&] {
        main = FindProgramWindow(id, IDC_LAMP);
        return main && IsWindowEnabled(GetDlgItem(main, IDOK));
      }))
    return Fail("the main window did not find the virtual amp", started);
  std::printf("main window: %s, %s\n", ControlText(main, IDC_USB_STATE).c_str(),
              ControlText(main, IDC_CURRENT_VERSION).c_str());
  Press(main, IDOK);

  if (!WaitFor(kUpdateLimit, started.hProcess,
               [&] { return ControlText(main, IDC_STATUS) == korva::kTextUpdateSucceeded; }))
    return Fail(
        ("the update did not succeed; the status line says: " + ControlText(main, IDC_STATUS))
            .c_str(),
        started);
  std::printf("status line: %s\n", ControlText(main, IDC_STATUS).c_str());
  Press(main, IDCANCEL);

  if (WaitForSingleObject(started.hProcess, 60000) != WAIT_OBJECT_0)
    return Fail("the program did not end after Exit", started);
  DWORD status = 1;
  GetExitCodeProcess(started.hProcess, &status);
  std::printf("korva-updater.exe ended with status %lu\n", status);
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
  return status == 0 ? 0 : 1;
}
