// The commands of korva-updater-cli: the main road (status, update) and the service commands.
#include "cli/cli.h"

#include <algorithm>
#include <cctype>
#include <istream>
#include <optional>
#include <ostream>

#include "cli/amp_choice.h"
#include "cli/device_reading.h"
#include "cli/interrupt_policy.h"
#include "cli/messages.h"
#include "cli/options.h"
#include "cli/reporter.h"
#include "cli/reporting_prompter.h"
#include "cli/service_command.h"
#include "cli/update_run.h"
#include "device/amp_lock.h"
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

// The device the run talks to: the virtual KORVA with its module, or the USB backend and, for
// the commands that may reach the amp's Bluetooth module (the service commands probe it), the
// Bluetooth update library, installed for the run; pinned to --path when one is given. The
// other commands never load the library: code that is not needed cannot harm them.
class DeviceScope {
 public:
  DeviceScope(const Options& options, Environment& env) {
    if (options.simulate) {
      simulation_.emplace(env.clock);
      KeepAmpLocksInProcess(true);  // the virtual amp is this run's own
    } else {
      if (env.makeUsbBackend) {
        usb_ = env.makeUsbBackend();
        SetHidBackend(usb_.get());
      }
      const bool needsModule = options.command == Command::Flash ||
                               options.command == Command::Audio ||
                               options.command == Command::Bluetooth;
      if (needsModule && (!options.dfuLibrary.empty() || env.dfuLibraryVariable)) {
        dfu_.emplace(ChooseDfuLibrary(options.dfuLibrary,
                                      env.dfuLibraryVariable ? env.dfuLibraryVariable() : nullptr));
      }
    }
    PinDevicePath(options.path);
  }
  ~DeviceScope() {
    if (simulation_) KeepAmpLocksInProcess(false);
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

// Ctrl-C for the length of a command: the source's interrupts go to the policy.
class InterruptScope {
 public:
  InterruptScope(InterruptSource& source, InterruptPolicy& policy) : source_(source) {
    source_.Start([&policy](Interrupt cause) { policy.OnInterrupt(cause); });
  }
  ~InterruptScope() { source_.Stop(); }
  InterruptScope(const InterruptScope&) = delete;
  InterruptScope& operator=(const InterruptScope&) = delete;

 private:
  InterruptSource& source_;
};

// The lock against sleep and shutdown that the command's jobs hold (JobDriver), and where the
// user reads, once, that it cannot be had.
class InhibitorScope {
 public:
  InhibitorScope(SleepInhibitor* inhibitor, Reporter& reporter) {
    SetSleepInhibitor(inhibitor, [&reporter](const std::string& text) { reporter.Warning(text); });
  }
  ~InhibitorScope() { SetSleepInhibitor(nullptr, nullptr); }
  InhibitorScope(const InhibitorScope&) = delete;
  InhibitorScope& operator=(const InhibitorScope&) = delete;
};

// Where the user hears that the amp or its module could not be locked.
class LockWarningScope {
 public:
  explicit LockWarningScope(Reporter& reporter) {
    SetAmpLockWarning([&reporter](const std::string& text) { reporter.Warning(text); });
  }
  ~LockWarningScope() { SetAmpLockWarning(nullptr); }
  LockWarningScope(const LockWarningScope&) = delete;
  LockWarningScope& operator=(const LockWarningScope&) = delete;
};

// The result of a command that the user stopped before anything was written.
int Stopped(Reporter& reporter) {
  reporter.Result(kExitStopped, kTextStoppedBeforeWriting);
  return kExitStopped;
}

bool AnswersYes(std::optional<std::string> answer) {
  if (!answer) return false;  // end of input: the default, No
  answer->erase(0, answer->find_first_not_of(" \t"));
  answer->erase(answer->find_last_not_of(" \t\r") + 1);
  std::transform(answer->begin(), answer->end(), answer->begin(),
                 [](unsigned char c) { return std::tolower(c); });
  return *answer == "y" || *answer == "yes";
}

int Status(Reporter& reporter, const InterruptPolicy& policy) {
  const DeviceReading reading = ReadDevice(reporter);
  if (reading.exitCode != kExitOk) return reading.exitCode;
  if (policy.StoppedBeforeWriting()) return Stopped(reporter);
  reporter.Result(kExitOk, "");  // the plan said it all
  return kExitOk;
}

int Update(const Options& options, Environment& env, Reporter& reporter, InterruptPolicy& policy) {
  const auto stopped = [&policy] { return policy.StoppedBeforeWriting(); };
  const DeviceReading reading = ReadDevice(reporter);
  if (reading.exitCode != kExitOk) return reading.exitCode;
  if (stopped()) return Stopped(reporter);
  if (reading.plan == kPlanNothing && !options.yes) {
    reporter.Ask(kAskUpdateAnyway);
    const std::optional<std::string> answer = env.interrupts.ReadAnswer(env.in, stopped);
    if (stopped()) return Stopped(reporter);
    if (!AnswersYes(answer)) {
      reporter.Result(kExitOk, "Nothing to do: the KORVA already holds " +
                                   PrintableVersion(reading.carried) + ".");
      return kExitOk;
    }
  }
  // The amp may have gone while the user answered: the same presence test as "Update".
  if (CheckDeviceAccess().access != DeviceAccess::Ready) {
    reporter.Disconnected();
    return kExitNoDevice;
  }
  return RunUpdateJobs(env, reporter, policy, PlanJobs(reading.plan));
}

int RunCommand(const Options& options, Environment& env) {
  // Ctrl-C is taken over first, so that every thread started from here on leaves it alone.
  InterruptPolicy policy(env.clock);
  InterruptScope interrupts(env.interrupts, policy);
  std::unique_ptr<Reporter> reporter = options.json ? MakeJsonReporter(env) : MakeTextReporter(env);
  ReportingPrompter prompter(*reporter);
  PrompterScope prompterScope(prompter);
  InhibitorScope inhibitor(env.inhibitor, *reporter);
  LockWarningScope lockWarning(*reporter);
  DeviceScope device(options, env);
  if (options.command == Command::List) return ListAmps(*reporter);
  ChooseAmp(options.path, *reporter);
  switch (options.command) {
    case Command::Status:
      return Status(*reporter, policy);
    case Command::Update:
      return Update(options, env, *reporter, policy);
    default:
      return RunServiceCommand(options, env, *reporter, policy);
  }
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
    if (options.json) MakeJsonReporter(env)->Result(kExitUsage, options.error);
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

std::optional<std::string> InterruptSource::ReadAnswer(std::istream& in,
                                                       const std::function<bool()>&) {
  std::string line;
  if (!std::getline(in, line)) return std::nullopt;
  return line;
}

}  // namespace korva::cli
