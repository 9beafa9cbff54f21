// Start and end of the window program.
#include "win32/updater_app.h"

#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

#include "device/amp_lock.h"
#include "device/clock.h"
#include "device/dfu_library_setup.h"
#include "device/hid_backend.h"
#include "device/hid_transport.h"
#include "dialogs/device_thread.h"
#include "dialogs/start_options.h"
#include "emulator/simulation.h"
#include "images/embedded_images.h"
#include "jobs/prompter.h"
#include "jobs/update_scope.h"
#include "jobs/worker.h"
#include "support/program_version.h"
#include "support/support_log.h"
#include "win32/device_changes.h"
#include "win32/gui_thread.h"
#include "win32/message_box_prompter.h"
#include "win32/message_loop.h"
#include "win32/start_options.h"
#include "win32/welcome_dlg.h"
#include "win32/wide_text.h"
#include "win32/writing_guard.h"

namespace korva::win32 {
namespace {

constexpr const char* kProgramName = "korva-updater";

// A window program has no console of its own: what it prints goes to where its output was
// sent, else to the console it was started from, else into a box.
void Say(const std::string& text, bool problem) {
  FILE* stream = problem ? stderr : stdout;
  const HANDLE output = GetStdHandle(problem ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  if (output == nullptr || output == INVALID_HANDLE_VALUE) {
    if (!AttachConsole(ATTACH_PARENT_PROCESS) || !std::freopen("CONOUT$", "w", stream)) {
      MessageBoxW(nullptr, Wide(text).c_str(), ProgramName().c_str(),
                  MB_OK | (problem ? MB_ICONEXCLAMATION : MB_ICONINFORMATION));
      return;
    }
  }
  std::fputs(text.c_str(), stream);
  std::fflush(stream);
}

}  // namespace

int RunUpdater() {
  const std::vector<std::string> arguments = CommandLineArguments();
  const dialogs::StartOptions options = dialogs::ParseStartOptions(arguments);
  if (options.version) {
    Say(VersionLines(kProgramName, CarriedVersionText()), false);
    return 0;
  }
  if (options.help || !options.error.empty()) {
    const std::string error = options.error.empty() ? "" : "korva-updater: " + options.error + "\n";
    Say(error + kUsage, !options.error.empty());
    return options.help ? 0 : 2;
  }

  std::unique_ptr<HidBackend> systemHid;
  std::unique_ptr<Simulation> simulation;
  if (options.simulate) {
    simulation = std::make_unique<Simulation>(ProcessClock());
    KeepAmpLocksInProcess(true);  // the virtual amp is this program's own
  } else {
    systemHid = MakeSystemHidBackend();
    SetHidBackend(systemHid.get());
  }

  // The log never stops an update: a file that cannot be written gives one warning.
  SupportLogSession log(options.logFile.empty() ? DefaultSupportLogPath()
                                                : std::filesystem::path(Wide(options.logFile)),
                        kProgramName, [](const std::string& warning) {
                          std::fprintf(stderr, "%s: warning: %s\n", kProgramName, warning.c_str());
                        });
  if (SupportLogging()) {
    LogProgramStart(arguments, simulation ? kLogSimulatedDevice : kLogUsbDevice,
                    CarriedVersionText());
  }

  // The virtual module stands behind the library layer in a simulation; otherwise the update
  // library is loaded (korva-dfu.dll beside the program, unless named), and a problem with one
  // that was asked for is said at once.
  std::optional<DfuLibraryScope> dfuLibrary;
  if (!simulation) {
    const std::string named =
        options.dfuLibrary.empty() ? "" : FileSystemPath(Wide(options.dfuLibrary));
    dfuLibrary.emplace(ChooseDfuLibrary(named, std::getenv(kDfuLibraryVariable)));
    if (dfuLibrary->WorthMentioning()) Say("korva-updater: " + dfuLibrary->Problem() + "\n", true);
  }

  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&controls);
  GuiThread gui;
  MessageBoxPrompter prompter(gui);
  SetAppPrompter(&prompter);
  // While an update is under way the computer neither sleeps nor shuts down unasked.
  WritingGuard guard(gui);
  SetSleepInhibitor(&guard, [](const std::string& text) {
    std::fprintf(stderr, "%s: warning: %s\n", kProgramName, text.c_str());
  });
  HeldKeyFilter heldKeys;
  std::unique_ptr<DeviceChanges> changes;
  if (simulation) {
    changes = std::make_unique<VirtualBusChanges>(simulation->bus);
  } else {
    changes = std::make_unique<SystemHidChanges>();
  }
  {
    auto device = std::make_unique<dialogs::DeviceThread>(gui);
    {
      WelcomeDlg welcome(*device, *changes);
      if (welcome.Create(nullptr)) {
        if (options.service) welcome.Window().OnServiceMode();
        welcome.RunModal(nullptr);
      }
    }
    // The windows could not go while a job wrote; a job thread may still be returning, and the
    // device thread may still be finishing a call.
    WaitForWorkers();
    device.reset();
  }
  changes.reset();
  SetSleepInhibitor(nullptr, nullptr);
  SetAppPrompter(nullptr);
  dfuLibrary.reset();
  SetHidBackend(nullptr);
  SupportLog("ended");
  return 0;
}

}  // namespace korva::win32
