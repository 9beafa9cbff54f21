// A private D-Bus for a test: its own dbus-daemon, and on it, when asked, the stand-in logind
// (stand_in_logind.cpp) whose record tells what it was asked and when each lock it gave
// was let go. Both processes end with the object.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/shared/scratch_folder.h"

extern char** environ;

namespace korva::testing {

class PrivateBus {
 public:
  explicit PrivateBus(const std::filesystem::path& folder) : folder_(folder) {
    const auto config = folder_ / "bus.conf";
    std::ofstream(config) << kConfig;
    int out[2];
    if (::pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    // Its complaints (it may not raise its descriptor limit in a container) go to a file.
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, (folder_ / "bus.log").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const std::string configArgument = "--config-file=" + config.string();
    char* argv[] = {const_cast<char*>("dbus-daemon"), const_cast<char*>(configArgument.c_str()),
                    const_cast<char*>("--nofork"), const_cast<char*>("--print-address"), nullptr};
    if (posix_spawnp(&daemon_, "dbus-daemon", &actions, nullptr, argv, environ) != 0) daemon_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    // The daemon prints its address once it listens.
    char c = 0;
    while (::read(out[0], &c, 1) == 1 && c != '\n') address_ += c;
    ::close(out[0]);
  }
  ~PrivateBus() {
    Stop(logind_);
    Stop(daemon_);
  }
  PrivateBus(const PrivateBus&) = delete;
  PrivateBus& operator=(const PrivateBus&) = delete;

  // Empty when the daemon did not start.
  const std::string& Address() const { return address_; }

  // Starts the stand-in logind; false when it did not come up on the bus.
  bool StartLogind(bool refuse = false) {
    const std::string record = RecordPath().string();
    char* argv[] = {const_cast<char*>(KORVA_STAND_IN_LOGIND), const_cast<char*>(address_.c_str()),
                    const_cast<char*>(record.c_str()), const_cast<char*>(refuse ? "refuse" : ""),
                    nullptr};
    if (posix_spawn(&logind_, KORVA_STAND_IN_LOGIND, nullptr, nullptr, argv, environ) != 0) {
      logind_ = -1;
      return false;
    }
    return WaitForRecord("ready");
  }

  // What the stand-in wrote, one entry a line.
  std::vector<std::string> Record() const { return FileLines(RecordPath()); }

  // Waits (in real time, at most 10 s) until the record holds `line`.
  bool WaitForRecord(const std::string& line) const {
    return WaitForRecordWithin(line, std::chrono::seconds(10));
  }
  // The same with a wait of one's own; zero looks once.
  bool WaitForRecordWithin(const std::string& line, std::chrono::milliseconds wait) const {
    const auto end = std::chrono::steady_clock::now() + wait;
    for (;;) {
      for (const std::string& entry : Record()) {
        if (entry == line) return true;
      }
      if (std::chrono::steady_clock::now() >= end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

  // The record's line for a call with the programs' four words.
  static std::string ProgramsInhibitCall() {
    return "inhibit sleep:shutdown|KORVA Updater|Writing the amplifier's firmware|block";
  }

 private:
  static constexpr const char* kConfig =
      "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
      " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
      "<busconfig>\n"
      "  <type>session</type>\n"
      "  <listen>unix:tmpdir=/tmp</listen>\n"
      "  <auth>EXTERNAL</auth>\n"
      "  <policy context=\"default\">\n"
      "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
      "    <allow eavesdrop=\"true\"/>\n"
      "    <allow own=\"*\"/>\n"
      "  </policy>\n"
      "</busconfig>\n";

  std::filesystem::path RecordPath() const { return folder_ / "logind.record"; }

  static void Stop(pid_t& pid) {
    if (pid <= 0) return;
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
    pid = -1;
  }

  std::filesystem::path folder_;
  std::string address_;
  pid_t daemon_ = -1;
  pid_t logind_ = -1;
};

}  // namespace korva::testing
