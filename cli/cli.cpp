// The commands of korva-updater-cli: the main road (status, update) and the service commands.
#include "cli/cli.h"

#include <algorithm>
#include <cctype>
#include <istream>
#include <optional>
#include <ostream>

#include "cli/amp_choice.h"
#include "cli/device_reading.h"
#include "cli/messages.h"
#include "cli/options.h"
#include "cli/reporter.h"
#include "cli/reporting_prompter.h"
#include "cli/service_command.h"
#include "cli/update_run.h"
#include "device/device_access.h"
#include "device/dfu_library_setup.h"
#include "device/hid_transport.h"
#include "emulator/simulation.h"
#include "images/embedded_images.h"
#include "jobs/update_plan.h"
#include "support/program_version.h"
#include "support/support_log.h"

namespace korva::cli {
namespace {

// The device the run talks to: the virtual KORVA with its module, or the USB backend and the
// Bluetooth update library (installed for the run); pinned to --path when one is given.
class DeviceScope {
 public:
  DeviceScope(const Options& options, Environment& env) {
    if (options.simulate) {
      simulation_.emplace(env.clock);
    } else {
      if (env.makeUsbBackend) {
        usb_ = env.makeUsbBackend();
        SetHidBackend(usb_.get());
      }
      if (!options.dfuLibrary.empty() || env.dfuLibraryVariable) {
        dfu_.emplace(ChooseDfuLibrary(options.dfuLibrary,
                                      env.dfuLibraryVariable ? env.dfuLibraryVariable() : nullptr));
      }
    }
    PinDevicePath(options.path);
  }
  ~DeviceScope() {
    PinDevicePath("");
    if (usb_) SetHidBackend(nullptr);
  }
  DeviceScope(const DeviceScope&) = delete;
  DeviceScope& operator=(const DeviceScope&) = delete;

 private:
  std::optional<Simulation> simulation_;
  std::unique_ptr<HidBackend> usb_;
  std::optional<DfuLibraryScope> dfu_;
};

bool AnswersYes(std::istream& in) {
  std::string answer;
  if (!std::getline(in, answer)) return false;  // end of input: the default, No
  answer.erase(0, answer.find_first_not_of(" \t"));
  answer.erase(answer.find_last_not_of(" \t\r") + 1);
  std::transform(answer.begin(), answer.end(), answer.begin(), [](unsigned char c) { return std::tolower(c); });
  return answer == "y" || answer == "yes";
}

int Status(Reporter& reporter) {
  const DeviceReading reading = ReadDevice(reporter);
  return reading.exitCode;
}

int Update(const Options& options, Environment& env, Reporter& reporter) {
  const DeviceReading reading = ReadDevice(reporter);
  if (reading.exitCode != kExitOk) return reading.exitCode;
  if (reading.plan == kPlanNothing && !options.yes) {
    reporter.Ask(kAskUpdateAnyway);
    if (!AnswersYes(env.in)) {
      reporter.Result(kExitOk, "Nothing to do: the KORVA already holds " + PrintableVersion(reading.carried) + ".");
      return kExitOk;
    }
  }
  // The amp may have gone while the user answered: the same presence test as "Update".
  if (CheckDeviceAccess().access != DeviceAccess::Ready) {
    reporter.Disconnected();
    return kExitNoDevice;
  }
  return RunUpdateJobs(env, reporter, PlanJobs(reading.plan));
}

int RunCommand(const Options& options, Environment& env) {
  std::unique_ptr<Reporter> reporter = options.json ? MakeJsonReporter(env) : MakeTextReporter(env);
  ReportingPrompter prompter(*reporter);
  PrompterScope prompterScope(prompter);
  DeviceScope device(options, env);
  if (options.command == Command::List) return ListAmps(*reporter);
  ChooseAmp(options.path, *reporter);
  switch (options.command) {
    case Command::Status: return Status(*reporter);
    case Command::Update: return Update(options, env, *reporter);
    default: return RunServiceCommand(options, env, *reporter);
  }
}

std::string CarriedVersionText() {
  const auto carried = CarriedFirmwareVersion();
  return carried ? PrintableVersion(*carried) : "";
}

}  // namespace

int RunCli(const std::vector<std::string>& args, Environment& env) {
  const Options options = ParseOptions(args);
  if (options.command == Command::Help && options.error.empty()) {
    env.out << HelpText();
    return kExitOk;
  }
  if (options.command == Command::Version) {
    env.out << VersionLines(kProgramName, CarriedVersionText());
    return kExitOk;
  }
  if (!options.error.empty()) {
    env.err << kProgramName << ": " << options.error << "\n"
            << "Try 'korva-updater-cli --help'.\n";
    return kExitUsage;
  }

  // The log never stops the command: a file that cannot be written gives one warning.
  SupportLogSession log(options.logFile.empty() ? env.defaultLogPath : options.logFile,
                        kProgramName, [&env](const std::string& warning) {
                          env.err << kProgramName << ": warning: " << warning << "\n";
                        });
  if (SupportLogging()) {
    LogProgramStart(args, options.simulate ? kLogSimulatedDevice : kLogUsbDevice,
                    CarriedVersionText());
  }
  const int exitCode = RunCommand(options, env);
  SupportLog(std::string("ended with exit code ") + std::to_string(exitCode));
  return exitCode;
}

}  // namespace korva::cli
