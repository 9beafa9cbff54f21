// The window program's lock against sleep and shutdown: logind's Inhibit over the system bus,
// called with QtDBus.
#pragma once

#include <string>

#include "jobs/update_scope.h"

namespace korva::qt {

class QtDBusInhibitor final : public SleepInhibitor {
 public:
  // `busAddress` empty: the system bus (DBUS_SYSTEM_BUS_ADDRESS, else its standard socket).
  explicit QtDBusInhibitor(std::string busAddress = {}) : busAddress_(std::move(busAddress)) {}
  // Safe on any thread; blocks for the call (logind answers at once), never for events.
  std::unique_ptr<Inhibition> Inhibit(std::string& problem) override;

 private:
  std::string busAddress_;
};

}  // namespace korva::qt
