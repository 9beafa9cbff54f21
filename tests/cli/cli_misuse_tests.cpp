// korva-updater-cli used carelessly or with hostile input: an update library that aborts as it
// is loaded harms no command that does not need it; a Bluetooth module that another program
// uses is said (exit 4) and sent nothing; every --json line is valid UTF-8 whatever bytes the
// arguments hold; and (POSIX) the real program that waits on a library that hangs ends on
// SIGTERM, saying what that leaves the module with.
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/json_line.h"
#include "device/amp_lock.h"
#include "device/hid_dfu.h"
#include "tests/cli/cli_test_support.h"

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#endif

namespace korva::testing {
namespace {

// True when `text` is well-formed UTF-8.
bool WellFormedUtf8(const std::string& text) {
  for (std::size_t at = 0; at < text.size();) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = lead < 0x80                    ? 1
                         : lead >= 0xC2 && lead <= 0xDF ? 2
                         : lead >= 0xE0 && lead <= 0xEF ? 3
                         : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                        : 0;
    if (length == 0 || at + length > text.size()) return false;
    for (std::size_t i = 1; i < length; ++i) {
      if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) return false;
    }
    at += length;
  }
  return true;
}

// The status and update commands never touch the module, so they never load the library: one
// that aborts as it is loaded would otherwise end them.
TEST_F(CliTest, CommandsThatNeedNoModuleNeverLoadTheLibrary) {
  dfuLibraryVariable = [] { return KORVA_SCRIPTED_DFU_ABORTING; };
  sim.korva.SetVersions("1.38", "250");
  EXPECT_EQ(Cli({"status"}).code, cli::kExitOk);
  EXPECT_EQ(Cli({"update", "--yes"}).code, cli::kExitOk);
  EXPECT_EQ(Cli({"list"}).code, cli::kExitOk);
}

// Another program holds the Bluetooth module: the bluetooth command says who, with exit 4, and
// neither the amp nor the module is sent anything, whether the amp still has its link or has
// handed it over; the file commands' probe leaves the module alone too.
TEST_F(CliFilesTest, AModuleThatAnotherProgramUsesIsLeftAlone) {
  AmpLockAttempt other = TryLockModuleSystem();
  ASSERT_EQ(other.outcome, AmpLockOutcome::Taken) << other.problem;
  const std::string module = File("module.dfu", Bytes(100, 1));
  const std::string inUse = ModuleInUseText(ThisProcessAsHolder());
  for (const bool handedOver : {false, true}) {
    SCOPED_TRACE(handedOver ? "link with the module" : "link with the amp");
    if (handedOver) LinkHandedToModule();
    const auto run = Cli({"bluetooth", module, "--json"});
    EXPECT_EQ(run.code, cli::kExitNotAccessible);
    const auto events = Events(run.out, "in_use");
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(Contains(events[0], "\"path\":\"Bluetooth module 0ecb:1edc\""));
    EXPECT_EQ(Number(events[0], "pid"), ThisProcessAsHolder().pid);
    EXPECT_TRUE(Contains(events[0], "\"message\":\"" + inUse + "\""));
    EXPECT_EQ(Number(Result(run), "exit_code"), cli::kExitNotAccessible);
  }
  const auto flash = Cli({"flash", "mcu", File("m.bin", mcu_)});
  EXPECT_EQ(flash.code, cli::kExitNotAccessible);
  EXPECT_EQ(flash.err, inUse + "\n");
  EXPECT_TRUE(Writes().empty());
  EXPECT_TRUE(sim.module.Calls().empty());

  other.lock.reset();
  EXPECT_EQ(Cli({"bluetooth", module}).code, cli::kExitOk);
}

// Bytes that are not UTF-8 (a file name in another encoding, a stray byte) are escaped; the
// well-formed text around them is kept as it is.
TEST(JsonLineTest, EveryStringIsValidUtf8) {
  const struct {
    std::string bytes;
    std::string quoted;
  } cases[] = {
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB8",
       "\"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB8\""},
      {"caf\xE9.wav", "\"caf\\u00e9.wav\""},                      // Latin-1
      {"\xFF\xFE", "\"\\u00ff\\u00fe\""},                         // never UTF-8
      {"\xC0\xAF", "\"\\u00c0\\u00af\""},                         // overlong '/'
      {"\xED\xA0\x80", "\"\\u00ed\\u00a0\\u0080\""},              // a surrogate
      {"\xF4\x90\x80\x80", "\"\\u00f4\\u0090\\u0080\\u0080\""},   // past U+10FFFF
      {"\xE2\x82", "\"\\u00e2\\u0082\""},                         // cut short
      {"a\"b\\c\n\x01\x7F", "\"a\\\"b\\\\c\\n\\u0001\\u007f\""},  // as before
  };
  for (const auto& c : cases) {
    EXPECT_EQ(cli::JsonQuoted(c.bytes), c.quoted);
    EXPECT_TRUE(WellFormedUtf8(cli::JsonQuoted(c.bytes)));
  }
}

TEST_F(CliFilesTest, JsonLinesStayValidUtf8WhateverTheArguments) {
  const std::vector<std::vector<std::string>> commands = {
      {"status", "--json", "--bogus\xFF"},
      {"flash", "mcu", Folder() + "/m\xE9.bin", "--json"},
      {"--json", "audio", "--slot", "\xC3", "a.wav"},
  };
  for (const auto& args : commands) {
    const auto run = Cli(args);
    SCOPED_TRACE(run.out);
    EXPECT_FALSE(Result(run).empty());
    for (const std::string& line : Lines(run.out)) EXPECT_TRUE(WellFormedUtf8(line)) << line;
  }
  // The odd byte stands for U+00FF, escaped or written out in UTF-8: one JSON string either way.
  const std::string bogus = Cli({"status", "--json", "--bogus\xFF"}).out;
  EXPECT_TRUE(Contains(bogus, "--bogus\\u00ff") || Contains(bogus, "--bogus\xC3\xBF")) << bogus;
}

#ifndef _WIN32
// The real program, with no amp connected, probes the module through a library whose connect
// never returns; SIGTERM ends it (nothing was written: exit 5) and the user hears that the library
// did not return and what the module is left with.
TEST(CliProgramTest, SigtermEndsAProgramThatWaitsOnAHangingLibrary) {
  ScratchFolder folder("korva-hang");
  const std::string entered = folder.PathOf("entered");
  const std::string firmware = folder.File("m.bin", {1, 2, 3});
  const std::string out = folder.PathOf("out"), err = folder.PathOf("err");
  const std::string library = std::string("--dfu-library=") + KORVA_SCRIPTED_DFU;
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    setenv("SCRIPTED_DFU_HANG", "connect", 1);
    setenv("SCRIPTED_DFU_ENTERED", entered.c_str(), 1);
    setenv("XDG_STATE_HOME", folder.Path().c_str(), 1);
    setenv("XDG_RUNTIME_DIR", folder.Path().c_str(), 1);
    const int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(outFd, STDOUT_FILENO);
    dup2(errFd, STDERR_FILENO);
    execl(KORVA_CLI_PROGRAM, KORVA_CLI_PROGRAM, "flash", "mcu", firmware.c_str(), library.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  // Waits (at most a minute, which only a broken program needs) for the library to be entered,
  // then for the program to end.
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (!std::filesystem::exists(entered) && std::chrono::steady_clock::now() < giveUp)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_TRUE(std::filesystem::exists(entered)) << "the library's connect was never called";
  ASSERT_EQ(kill(child, SIGTERM), 0);
  int status = 0;
  while (waitpid(child, &status, WNOHANG) == 0 && std::chrono::steady_clock::now() < giveUp)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (waitpid(child, &status, WNOHANG) == 0) {
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    FAIL() << "SIGTERM did not end the program";
  }
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), cli::kExitStopped);
  const std::vector<std::string> errors = FileLines(err);
  std::string all;
  for (const std::string& line : errors) all += line + "\n";
  EXPECT_TRUE(Contains(all,
                       "The Bluetooth update library did not return from hidDfuConnect. "
                       "Nothing was written to the module."))
      << all;
}
#endif

}  // namespace
}  // namespace korva::testing
