// Start and end of the program.
#include "qt/updater_app.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

#include "device/amp_lock.h"
#include "device/clock.h"
#include "device/dfu_library_setup.h"
#include "device/hid_backend.h"
#include "device/hid_transport.h"
#include "dialogs/start_options.h"
#include "emulator/simulation.h"
#include "images/embedded_images.h"
#include "jobs/prompter.h"
#include "jobs/update_scope.h"
#include "jobs/worker.h"
#include "qt/device_watchers.h"
#include "qt/device_work.h"
#include "qt/end_signals.h"
#include "qt/file_chooser.h"
#include "qt/message_box_prompter.h"
#include "qt/program_ending.h"
#include "qt/qt_dbus_inhibitor.h"
#include "qt/welcome_dlg.h"
#include "support/program_version.h"
#include "support/support_log.h"

namespace korva::qt {
namespace {

constexpr const char* kProgramName = "korva-updater";
constexpr const char* kUsage =
    "usage: korva-updater [--device=usb | --simulate] [--dfu-library=PATH] [--log FILE]\n"
    "                     [--service]\n"
    "  --device=usb        update the KORVA on the USB cable (the default)\n"
    "  --simulate          update a virtual KORVA inside the program, in real time\n"
    "  --dfu-library=PATH  the Bluetooth update library (else $KORVA_DFU_LIBRARY,\n"
    "                      else the installed place)\n"
    "  --log FILE          append the support log to FILE instead of\n"
    "                      $XDG_STATE_HOME/korva-updater/korva-updater.log\n"
    "  --version           show the program's version and the carried firmware's\n"
    "  --service           open with the service pages: MCU, DSP and battery firmware\n"
    "                      from files, WAV files into audio slots\n";

// Our own options, picked out of the raw command line before the toolkit sees it: the device
// backend must exist before any thread does, and --version needs no display.
bool HasArgument(int argc, char** argv, const std::string& wanted) {
  for (int i = 1; i < argc; ++i) {
    if (argv[i] == wanted) return true;
  }
  return false;
}

}  // namespace

int CUpdaterApp::Run(int argc, char** argv) {
  if (HasArgument(argc, argv, "--version")) {
    std::fputs(VersionLines(kProgramName, CarriedVersionText()).c_str(), stdout);
    return 0;
  }
  // Before any thread exists, so that every thread inherits the block: only the catcher of
  // EndSignals ever takes SIGTERM, SIGHUP and SIGINT.
  EndSignals::BlockEndSignals();
  // hidapi's hid_init() runs here, before the toolkit starts any thread of its own; its
  // hid_exit() runs when `hidapi` goes, after everything else.
  std::unique_ptr<HidBackend> hidapi;
  std::unique_ptr<Simulation> simulation;
  if (HasArgument(argc, argv, "--simulate")) {
    simulation = std::make_unique<Simulation>(ProcessClock());
    KeepAmpLocksInProcess(true);  // the virtual amp is this program's own
  } else {
    hidapi = MakeSystemHidBackend();
    SetHidBackend(hidapi.get());
  }

  QApplication app(argc, argv);
  std::vector<std::string> arguments;
  for (const QString& argument : QApplication::arguments().mid(1))
    arguments.push_back(argument.toStdString());
  const dialogs::StartOptions options = dialogs::ParseStartOptions(arguments);
  if (options.help || !options.error.empty()) {
    if (!options.error.empty()) std::fprintf(stderr, "korva-updater: %s\n", options.error.c_str());
    std::fputs(kUsage, options.help ? stdout : stderr);
    SetHidBackend(nullptr);
    return options.help ? 0 : 2;
  }

  // The log never stops an update: a file that cannot be written gives one warning.
  SupportLogSession log(
      options.logFile.empty() ? DefaultSupportLogPath() : std::filesystem::path(options.logFile),
      kProgramName, [](const std::string& warning) {
        std::fprintf(stderr, "%s: warning: %s\n", kProgramName, warning.c_str());
      });
  if (SupportLogging()) {
    LogProgramStart(arguments, simulation ? kLogSimulatedDevice : kLogUsbDevice,
                    CarriedVersionText());
  }

  // The virtual module stands behind the library layer in a simulation; otherwise the update
  // library is loaded, and a problem with one that was asked for is said at once.
  std::optional<DfuLibraryScope> dfuLibrary;
  if (!simulation) {
    dfuLibrary.emplace(ChooseDfuLibrary(options.dfuLibrary, std::getenv(kDfuLibraryVariable)));
    if (dfuLibrary->WorthMentioning()) {
      std::fprintf(stderr, "korva-updater: %s\n", dfuLibrary->Problem().c_str());
    }
  }

  std::unique_ptr<DeviceWatcher> watcher;
  if (simulation) {
    watcher = std::make_unique<VirtualBusWatcher>(simulation->bus);
  } else {
    watcher = std::make_unique<UdevDeviceWatcher>();
  }
  MessageBoxPrompter prompter;
  SetAppPrompter(&prompter);
  FileDialogChooser fileDialogs;
  SetAppFileChooser(&fileDialogs);
  auto deviceWork = std::make_unique<DeviceWork>();
  SetAppDeviceWork(deviceWork.get());
  // While an update is under way the computer neither sleeps nor shuts down, where logind is
  // there to ask; where it is not, the update goes on and that is said once.
  QtDBusInhibitor inhibitor;
  SetSleepInhibitor(&inhibitor, [](const std::string& text) {
    std::fprintf(stderr, "%s: warning: %s\n", kProgramName, text.c_str());
  });
  RealClock clock;
  ProgramEnding ending(clock);
  EndSignals endSignals([&ending](int signal) { ending.OnEndSignal(signal); });
  {
    CWelcomeDlg welcome(watcher.get());
    if (options.service) welcome.EnterServiceMode();
    welcome.exec();
  }
  // The window could not close while a job wrote; a job thread may still be returning, and
  // the device thread may still be finishing a tick.
  WaitForWorkers();
  SetAppDeviceWork(nullptr);
  deviceWork.reset();
  SetSleepInhibitor(nullptr, nullptr);
  SetAppFileChooser(nullptr);
  SetAppPrompter(nullptr);
  watcher.reset();
  dfuLibrary.reset();
  SetHidBackend(nullptr);
  SupportLog("ended");
  return ending.ExitStatus();
}

}  // namespace korva::qt
