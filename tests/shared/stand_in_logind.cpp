// A stand-in for logind on a private bus, for the tests of both programs' lock against sleep
// and shutdown. It owns org.freedesktop.login1 and answers Manager.Inhibit as logind does, with a
// file descriptor that holds the lock: the write end of a pipe whose read end it watches, so
// that it sees the lock released when the last copy of that end is closed.
//
//   stand_in_logind BUS_ADDRESS RECORD_FILE [refuse]
//
// Appends to RECORD_FILE: "ready" once it owns the name, "inhibit WHAT|WHO|WHY|MODE" for each
// call, "released N" when the N-th lock has been let go. With "refuse" every call is answered
// with org.freedesktop.DBus.Error.AccessDenied. Ends when the bus goes away.
#include <fcntl.h>
#include <systemd/sd-bus.h>
#include <systemd/sd-event.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

std::string g_recordPath;
bool g_refuse = false;
int g_granted = 0;

void Record(const std::string& line) {
  std::ofstream record(g_recordPath, std::ios::app);
  record << line << '\n';
}

int OnLockEnd(sd_event_source* source, int fd, uint32_t, void* userdata) {
  char byte = 0;
  if (::read(fd, &byte, 1) > 0) return 0;  // nothing is ever written: only the end counts
  Record("released " + std::to_string(reinterpret_cast<std::intptr_t>(userdata)));
  sd_event_source_disable_unref(source);
  ::close(fd);
  return 0;
}

int OnInhibit(sd_bus_message* call, void*, sd_bus_error* error) {
  const char* what = nullptr;
  const char* who = nullptr;
  const char* why = nullptr;
  const char* mode = nullptr;
  if (sd_bus_message_read(call, "ssss", &what, &who, &why, &mode) < 0) return -EINVAL;
  Record(std::string("inhibit ") + what + "|" + who + "|" + why + "|" + mode);
  if (g_refuse) {
    return sd_bus_error_set(error, SD_BUS_ERROR_ACCESS_DENIED, "Permission denied by the stand-in");
  }
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return -errno;
  const intptr_t number = ++g_granted;
  sd_event_source* source = nullptr;
  sd_event_add_io(sd_bus_get_event(sd_bus_message_get_bus(call)), &source, ends[0], EPOLLIN,
                  OnLockEnd, reinterpret_cast<void*>(number));
  const int replied = sd_bus_reply_method_return(call, "h", ends[1]);
  ::close(ends[1]);  // the caller holds the only copy now
  return replied;
}

const sd_bus_vtable kManager[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Inhibit", "ssss", "h", OnInhibit, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END,
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: stand_in_logind BUS_ADDRESS RECORD_FILE [refuse]\n");
    return 2;
  }
  g_recordPath = argv[2];
  g_refuse = argc > 3 && std::string(argv[3]) == "refuse";

  sd_bus* bus = nullptr;
  sd_event* event = nullptr;
  if (sd_bus_new(&bus) < 0 || sd_bus_set_address(bus, argv[1]) < 0 ||
      sd_bus_set_bus_client(bus, 1) < 0 || sd_bus_negotiate_fds(bus, 1) < 0 ||
      sd_bus_start(bus) < 0) {
    std::fprintf(stderr, "stand_in_logind: cannot connect to %s\n", argv[1]);
    return 1;
  }
  sd_event_default(&event);
  sd_bus_attach_event(bus, event, SD_EVENT_PRIORITY_NORMAL);
  sd_bus_set_exit_on_disconnect(bus, 1);
  sd_bus_add_object_vtable(bus, nullptr, "/org/freedesktop/login1",
                           "org.freedesktop.login1.Manager", kManager, nullptr);
  if (sd_bus_request_name(bus, "org.freedesktop.login1", 0) < 0) {
    std::fprintf(stderr, "stand_in_logind: the name is taken\n");
    return 1;
  }
  Record("ready");
  sd_event_loop(event);
  sd_bus_flush_close_unref(bus);
  sd_event_unref(event);
  return 0;
}
