// The terminal program's lock against sleep and shutdown: logind's Inhibit over the system bus,
// called with sd-bus (libsystemd).
#pragma once

#include <string>

#include "jobs/update_scope.h"

namespace korva::cli {

class SdBusInhibitor final : public SleepInhibitor {
 public:
  // `busAddress` empty: the system bus (DBUS_SYSTEM_BUS_ADDRESS, else its standard socket).
  explicit SdBusInhibitor(std::string busAddress = {}) : busAddress_(std::move(busAddress)) {}
  std::unique_ptr<Inhibition> Inhibit(std::string& problem) override;

 private:
  std::string busAddress_;
};

}  // namespace korva::cli
