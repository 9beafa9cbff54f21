// One call to logind per lock: connect, Inhibit, keep the returned file descriptor, disconnect.
// The lock lives in the descriptor, not in the connection.
#include "cli/sd_bus_inhibitor.h"

#include <systemd/sd-bus.h>

#include <cstring>

#include "jobs/logind_inhibit.h"

namespace korva::cli {
namespace {

constexpr std::uint64_t kMicrosecondsPerMs = 1000;

struct BusCloser {
  void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
using Bus = std::unique_ptr<sd_bus, BusCloser>;

struct MessageUnref {
  void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
using Message = std::unique_ptr<sd_bus_message, MessageUnref>;

std::string Errno(int negative) { return std::strerror(-negative); }

// A connection to the system bus, or to `address`; nullptr with `problem` set.
Bus Connect(const std::string& address, std::string& problem) {
  sd_bus* raw = nullptr;
  int result = 0;
  if (address.empty()) {
    result = sd_bus_open_system(&raw);
  } else if ((result = sd_bus_new(&raw)) >= 0) {
    sd_bus_set_address(raw, address.c_str());
    sd_bus_set_bus_client(raw, 1);
    result = sd_bus_start(raw);
  }
  Bus bus(raw);
  if (result < 0) {
    problem = "no system bus: " + Errno(result);
    return nullptr;
  }
  return bus;
}

}  // namespace

std::unique_ptr<Inhibition> SdBusInhibitor::Inhibit(std::string& problem) {
  Bus bus = Connect(busAddress_, problem);
  if (!bus) return nullptr;
  sd_bus_set_method_call_timeout(bus.get(), kInhibitCallTimeoutMs * kMicrosecondsPerMs);
  sd_bus_error error = SD_BUS_ERROR_NULL;
  sd_bus_message* rawReply = nullptr;
  const int result = sd_bus_call_method(bus.get(), kLogindService, kLogindPath, kLogindManager,
                                        kLogindInhibit, &error, &rawReply, "ssss", kInhibitWhat,
                                        kInhibitWho, kInhibitWhy, kInhibitMode);
  Message reply(rawReply);
  if (result < 0) {
    problem = std::string("logind did not give the lock: ") +
              (error.message ? error.message : Errno(result).c_str());
    if (error.name) problem += std::string(" (") + error.name + ")";
    sd_bus_error_free(&error);
    return nullptr;
  }
  int fd = -1;
  const int read = sd_bus_message_read(reply.get(), "h", &fd);
  if (read < 0) {
    problem = "logind's answer holds no file descriptor: " + Errno(read);
    return nullptr;
  }
  // The reply owns `fd` and closes it with the reply: the lock keeps a duplicate.
  return FdInhibition::Duplicate(fd, problem);
}

}  // namespace korva::cli
