// korva-updater-cli's --version and its support log, in process against the virtual KORVA in
// virtual time: what a failed update leaves in the log, where the log goes, and a log that
// cannot be written, which warns once and never stops the update.
#include <fstream>

#include "support/program_version.h"
#include "support/support_log.h"
#include "tests/cli/cli_test_support.h"
#include "tests/shared/scratch_folder.h"

namespace korva::testing {
namespace {

namespace fs = std::filesystem;

class CliLogTest : public CliTest {
 protected:
  // The texts of a log's lines, without time, program and process.
  static std::vector<std::string> Logged(const fs::path& path) {
    std::vector<std::string> texts;
    for (const std::string& line : FileLines(path)) {
      EXPECT_TRUE(Contains(line, " korva-updater-cli[")) << line;
      const auto at = line.find("]: ");
      texts.push_back(at == std::string::npos ? line : line.substr(at + 3));
    }
    return texts;
  }

  ScratchFolder dir_{"korva-cli-log"};
};

TEST_F(CliLogTest, VersionNamesTheProgramAndTheCarriedFirmware) {
  const std::string expected = std::string("korva-updater-cli ") + ProgramVersion() +
                               "\nCarried KORVA firmware: Ver1.38.250\n";
  for (const auto& args :
       {std::vector<std::string>{"--version"}, std::vector<std::string>{"update", "--version"}}) {
    const auto run = Cli(args);
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(run.err, "");
  }
  EXPECT_TRUE(sim.korva.Writes().empty());
  EXPECT_EQ(Images().McuImageLength, 0u);  // worked out without filling the image stores
}

TEST_F(CliLogTest, AFailedUpdateLeavesItsWholeStoryInTheLog) {
  const fs::path log = dir_ / "update.log";
  sim.korva.SetFaults({.unplugAfterDataReports = 752 + 1000});
  const auto run = Cli({"update", "--log", log.string(), "--json"});
  EXPECT_EQ(run.code, cli::kExitUpdateFailed);
  EXPECT_EQ(run.err, "");

  const auto logged = Logged(log);
  ASSERT_GE(logged.size(), 5u);
  EXPECT_EQ(logged[0],
            std::string("started, version ") + ProgramVersion() +
                "; arguments: \"update\" \"--log\" " +
                LogQuoted(log.string()) +  // a Windows path's \ escaped
                " \"--json\"; device: " + kLogUsbDevice + "; carried firmware: Ver1.38.250");
  EXPECT_EQ(logged[1], "KORVA found at /dev/hidraw-korva");
  EXPECT_EQ(logged[2],
            "versions: the KORVA reports \"Ver1.36.192\", the updater carries \"Ver1.38.250\"; "
            "plan: MCU, then DSP");
  const auto has = [&](const std::string& line) {
    return std::find(logged.begin(), logged.end(), line) != logged.end();
  };
  EXPECT_TRUE(has("MCU job done: 752 of 752"));
  EXPECT_TRUE(has("DSP job: 40 % (860 of 2149)"));
  EXPECT_FALSE(has("DSP job: 50 % (1075 of 2149)"));
  // The count in the log is the count of the "failed" event.
  EXPECT_EQ(Number(Events(run.out, "failed")[0], "count"), 1000);
  EXPECT_EQ(logged[logged.size() - 2], "DSP job failed: count 1000 of 2149");
  EXPECT_EQ(logged.back(), "ended with exit code 1");
}

TEST_F(CliLogTest, AnAmpThatCannotBeOpenedIsLoggedWithTheReason) {
  const fs::path log = dir_ / "status.log";
  sim.korva.SetFaults({.permissionDenied = true});
  EXPECT_EQ(Cli({"status", "--log=" + log.string()}).code, cli::kExitNotAccessible);
  const auto logged = Logged(log);
  EXPECT_EQ(std::vector<std::string>(logged.begin() + 1, logged.end()),
            (std::vector<std::string>{
                "KORVA found at /dev/hidraw-korva but not usable: permission denied",
                "ended with exit code 4"}));
}

TEST_F(CliLogTest, AFileThatIsRefusedIsLoggedWithTheReason) {
  const fs::path log = dir_ / "flash.log";
  const std::string missing = (dir_ / "missing.bin").string();
  EXPECT_EQ(Cli({"flash", "mcu", missing, "--log", log.string()}).code, cli::kExitUsage);
  EXPECT_EQ(Cli({"flash", "dsp", dir_.Path().string(), "--log", log.string()}).code,
            cli::kExitUsage);
  const auto logged = Logged(log);
  const auto has = [&](const std::string& part) {
    return std::any_of(logged.begin(), logged.end(),
                       [&](const std::string& line) { return Contains(line, part); });
  };
  EXPECT_TRUE(has("file not read: cannot read " + missing + ": "));
  EXPECT_TRUE(has("file not read: " + dir_.Path().string() + " is a folder, not a file"));
  EXPECT_EQ(logged.back(), "ended with exit code 2");
}

TEST_F(CliLogTest, TheDefaultLogUnlessLogChoosesAnother) {
  defaultLogPath = (dir_ / "state/korva-updater/korva-updater.log").string();
  EXPECT_EQ(Cli({"status"}).code, 0);
  EXPECT_EQ(Cli({"status", "--log", (dir_ / "other.log").string()}).code, 0);
  EXPECT_EQ(Logged(defaultLogPath).back(), "ended with exit code 0");
  EXPECT_EQ(Logged(defaultLogPath).size(), 4u);  // start, found, versions, end: one run
  EXPECT_EQ(Logged(dir_ / "other.log").size(), 4u);

  const auto missing = Cli({"status", "--log"});
  EXPECT_EQ(missing.code, cli::kExitUsage);
  EXPECT_TRUE(Contains(missing.err, "--log needs a FILE"));
}

TEST_F(CliLogTest, AnUnwritableLogWarnsOnceAndTheUpdateGoesOn) {
  std::ofstream(dir_ / "state") << "a file where the log's folder should be";
  const auto run = Cli({"update", "--json", "--log", (dir_ / "state/korva-updater.log").string()});
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(Lines(run.err).size(), 1u);
  EXPECT_TRUE(Contains(run.err, "korva-updater-cli: warning: cannot write the support log"))
      << run.err;
  for (const auto& line : Lines(run.out)) EXPECT_EQ(line.rfind("{\"event\":", 0), 0u) << line;
  ExpectCarriedFirmwareOnTheAmp();
}

}  // namespace
}  // namespace korva::testing
