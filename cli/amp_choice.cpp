// Choosing and listing the amps of a bench.
#include "cli/amp_choice.h"

#include "cli/cli.h"
#include "device/device_access.h"
#include "device/hid_transport.h"

namespace korva::cli {

void ChooseAmp(const std::string& pinnedPath, Reporter& reporter) {
  const DeviceAccessReport access = CheckDeviceAccess();
  if (!pinnedPath.empty()) {
    if (access.access == DeviceAccess::Absent) reporter.NoAmpAt(pinnedPath);
    return;
  }
  if (access.access != DeviceAccess::Ready) return;  // the command says why it cannot go on
  const std::size_t connected = ListKorvas().size();
  PinDevicePath(access.path);
  if (connected > 1) reporter.AmpChosen(access.path, static_cast<int>(connected));
}

int ListAmps(Reporter& reporter) {
  const std::vector<DeviceAccessReport> amps = ListKorvas();
  for (const DeviceAccessReport& amp : amps) reporter.Amp(amp);
  if (amps.empty()) {
    reporter.Disconnected();
    return kExitNoDevice;
  }
  reporter.Result(kExitOk, std::to_string(amps.size()) + (amps.size() == 1 ? " KORVA" : " KORVAs") +
                               " connected.");
  return kExitOk;
}

}  // namespace korva::cli
