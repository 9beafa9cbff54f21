// The support log on its own: rotation at its bound, a file that cannot be written, many
// threads at once, the line's wall-clock stamp, quoting, where the log lives by default, and the
// version text.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <functional>
#include <iomanip>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "support/program_version.h"
#include "support/support_log.h"
#include "tests/shared/scratch_folder.h"

namespace korva::testing {
namespace {

namespace fs = std::filesystem;

// A log line of exactly `width` bytes with the line break: "line NNN" and dots.
std::string NumberedLine(int n, std::size_t width = 20) {
  std::string line = "line " + std::to_string(1000 + n).substr(1);
  line.resize(width - 1, '.');
  return line;
}

// The log's file `generation` rotations back; 0 is the current one.
fs::path Older(const fs::path& path, int generation) {
  return generation == 0 ? path : fs::path(path.string() + "." + std::to_string(generation));
}

class LogFileTest : public ::testing::Test {
 protected:
  LogFile::Warn Recorder() {
    return [this](const std::string& warning) { warnings.push_back(warning); };
  }
  ScratchFolder dir{"korva-log"};
  fs::path path = dir / "state/korva-updater/korva-updater.log";
  std::vector<std::string> warnings;
};

TEST_F(LogFileTest, RotatesAtItsBoundAndKeepsTheNewestLinesWhole) {
  // Ten 20-byte lines fit a 200-byte file; 35 lines make three rotations, and the first
  // file falls away at the third.
  {
    LogFile log(path, {200, 2}, Recorder());
    for (int n = 0; n < 35; ++n) log.Append(NumberedLine(n));
  }
  EXPECT_TRUE(warnings.empty());
  ASSERT_TRUE(fs::exists(Older(path, 2)));
  EXPECT_FALSE(fs::exists(Older(path, 3)));
  std::vector<std::string> kept;
  for (const fs::path& file : {Older(path, 2), Older(path, 1), path}) {
    EXPECT_LE(fs::file_size(file), 200u) << file;
    for (const std::string& line : FileLines(file)) kept.push_back(line);
  }
  // Lines 10 to 34, in order and none cut; lines 0 to 9 went with the third rotation.
  ASSERT_EQ(kept.size(), 25u);
  for (int n = 10; n < 35; ++n) EXPECT_EQ(kept[static_cast<std::size_t>(n - 10)], NumberedLine(n));
  EXPECT_EQ(FileLines(path).size(), 5u);
  EXPECT_EQ(FileLines(Older(path, 1)).size(), 10u);
}

TEST_F(LogFileTest, CountsWhatAnEarlierRunLeftAndKeepsAppending) {
  {
    LogFile first(path, {200, 1}, Recorder());
    for (int n = 0; n < 9; ++n) first.Append(NumberedLine(n));
  }
  LogFile second(path, {200, 1}, Recorder());
  second.Append(NumberedLine(9));   // fills the 200 bytes exactly
  second.Append(NumberedLine(10));  // would pass them: the file moves aside first
  EXPECT_EQ(FileLines(Older(path, 1)).size(), 10u);
  EXPECT_EQ(FileLines(path), std::vector<std::string>{NumberedLine(10)});
}

TEST_F(LogFileTest, WithoutOlderFilesItStartsAgainEmpty) {
  LogFile log(path, {100, 0}, Recorder());
  for (int n = 0; n < 7; ++n) log.Append(NumberedLine(n));
  EXPECT_EQ(FileLines(path), (std::vector<std::string>{NumberedLine(5), NumberedLine(6)}));
  EXPECT_FALSE(fs::exists(Older(path, 1)));
}

// A place that cannot hold the log warns once, naming the file, and logging goes on quietly:
// a file where its folder should be (no user, root included, can make it), a folder where the
// file should be, and (POSIX) a FIFO, which is never waited on for a reader.
TEST_F(LogFileTest, APlaceThatCannotHoldTheLogWarnsOnceAndIsNeverWaitedOn) {
  struct Case {
    const char* name;
    std::function<void()> make;
  };
  std::vector<Case> cases = {
      {"a file in the place of the folder",
       [&] { std::ofstream(dir / "state") << "not a folder"; }},
      {"a folder in the place of the file", [&] { fs::create_directories(path); }},
  };
#ifndef _WIN32
  cases.push_back({"a FIFO", [&] {
                     fs::create_directories(path.parent_path());
                     ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
                   }});
#endif
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(dir / "state");
    warnings.clear();
    c.make();
    LogFile log(path, {}, Recorder());
    for (int n = 0; n < 5; ++n) EXPECT_NO_THROW(log.Append(NumberedLine(n)));
    EXPECT_FALSE(log.Usable());
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find(path.string()), std::string::npos) << warnings[0];
    EXPECT_NE(warnings[0].find("going on without it"), std::string::npos) << warnings[0];
  }
}

#ifndef _WIN32
// The log names the user's files and devices: a new log is readable by its user alone, in a
// folder that only its user may enter.
TEST_F(LogFileTest, ANewLogIsItsUsersAlone) {
  LogFile log(path, {}, Recorder());
  log.Append("one");
  struct stat file {
  }, folder{};
  ASSERT_EQ(stat(path.c_str(), &file), 0);
  ASSERT_EQ(stat(path.parent_path().c_str(), &folder), 0);
  EXPECT_EQ(file.st_mode & 0777, 0600u);
  EXPECT_EQ(folder.st_mode & 0777, 0700u);
  EXPECT_TRUE(warnings.empty());
}
#endif

TEST_F(LogFileTest, ThreadsWritingAtOnceLoseAndCutNoLine) {
  constexpr int kThreads = 4;
  constexpr int kLines = 300;
  {
    LogFile log(path, {4000, 50}, Recorder());  // rotates several times, keeps everything
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&log, t] {
        for (int n = 0; n < kLines; ++n)
          log.Append("thread " + std::to_string(t) + " line " + std::to_string(n));
      });
    }
    for (std::thread& thread : threads) thread.join();
  }
  std::map<int, int> nextOfThread;
  int total = 0;
  const std::regex form("thread ([0-9]) line ([0-9]+)");
  for (int generation = 50; generation >= 0; --generation) {
    for (const std::string& line : FileLines(Older(path, generation))) {
      std::smatch match;
      ASSERT_TRUE(std::regex_match(line, match, form)) << line;
      // Each thread's lines stay in the order it wrote them.
      const int thread = std::stoi(match[1]);
      EXPECT_EQ(std::stoi(match[2]), nextOfThread[thread]++) << line;
      ++total;
    }
  }
  EXPECT_EQ(total, kThreads * kLines);
  EXPECT_TRUE(warnings.empty());
}

std::time_t ToTime(const std::string& stamp) {
  std::tm local{};
  local.tm_isdst = -1;
  std::istringstream(stamp) >> std::get_time(&local, "%Y-%m-%d %H:%M:%S");
  return std::mktime(&local);
}

TEST(SupportLogTest, LinesCarryTheWallClockTimeTheProgramAndItsProcess) {
  ScratchFolder dir("korva-log");
  const fs::path path = dir / "korva-updater.log";
  const auto before = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  {
    SupportLogSession session(path, "korva-test", nullptr);
    ASSERT_TRUE(SupportLogging());
    SupportLog("first");
    SupportLog("two\nlines\tand a \x1b[2J");  // stays one line, and cannot steer a terminal
    SupportLog(std::string(5000, 'x'));       // cut at its bound
  }
  const auto after = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  EXPECT_FALSE(SupportLogging());
  SupportLog("after the session");  // goes nowhere

  const auto lines = FileLines(path);
  ASSERT_EQ(lines.size(), 3u);
  std::smatch match;
  const std::regex form(
      R"(^(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)\.\d{3} [+-]\d{4} korva-test\[(\d+)\]: first$)");
  ASSERT_TRUE(std::regex_match(lines[0], match, form)) << lines[0];
  const std::time_t stamped = ToTime(match[1]);
  EXPECT_GE(stamped, before - 1);
  EXPECT_LE(stamped, after + 1);
  EXPECT_TRUE(lines[1].ends_with("]: two\\nlines\\tand a \\x1B[2J")) << lines[1];
  EXPECT_LT(lines[2].size(), 4200u);
  EXPECT_TRUE(lines[2].ends_with("x [...]")) << lines[2].substr(lines[2].size() - 20);
}

// Sets the process's time zone (a POSIX TZ string, which Windows' C runtime reads too) until it
// goes, then puts the old one back.
class TimeZoneScope {
 public:
  explicit TimeZoneScope(const char* zone) {
    if (const char* old = std::getenv("TZ")) old_ = old;
    Set(zone);
  }
  ~TimeZoneScope() { Set(old_ ? old_->c_str() : nullptr); }
  TimeZoneScope(const TimeZoneScope&) = delete;
  TimeZoneScope& operator=(const TimeZoneScope&) = delete;

 private:
  static void Set(const char* zone) {
#ifdef _WIN32
    _putenv_s("TZ", zone ? zone : "");
    _tzset();
#else
    zone ? setenv("TZ", zone, 1) : unsetenv("TZ");
    tzset();
#endif
  }
  std::optional<std::string> old_;
};

// The offset from UTC is worked out from the local and the UTC time, not taken from the C
// runtime's %z (which Windows' C runtime fills with the zone's name): zones east and west of
// UTC, a half-hour one, and a local date in the year before the UTC date.
TEST(SupportLogTest, StampsCarryTheOffsetFromUtc) {
  const auto noon = std::chrono::system_clock::from_time_t(1735732800);  // 2025-01-01 12:00:00 UTC
  const auto halfPastMidnight = std::chrono::system_clock::from_time_t(1735691400) +
                                std::chrono::milliseconds(42);  // 2025-01-01 00:30:00.042 UTC
  struct Case {
    const char* zone;
    std::chrono::system_clock::time_point when;
    const char* stamp;
  };
  const Case cases[] = {
      {"UTC0", noon, "2025-01-01 12:00:00.000 +0000"},
      {"IST-05:30", noon, "2025-01-01 17:30:00.000 +0530"},
      {"EST+05", noon, "2025-01-01 07:00:00.000 -0500"},
      {"EST+05", halfPastMidnight, "2024-12-31 19:30:00.042 -0500"},
      {"NZT-12", halfPastMidnight, "2025-01-01 12:30:00.042 +1200"},
  };
  for (const Case& c : cases) {
    TimeZoneScope zone(c.zone);
    EXPECT_EQ(WallClockStamp(c.when), c.stamp) << c.zone;
  }
}

TEST(SupportLogTest, WithoutAPathNoLogIsOpened) {
  SupportLogSession session("", "korva-test", nullptr);
  EXPECT_FALSE(SupportLogging());
}

TEST(SupportLogTest, QuotingKeepsTheBytesAndTheLineWhole) {
  EXPECT_EQ(LogQuoted("Update MCU fail!"), "\"Update MCU fail!\"");
  EXPECT_EQ(LogQuoted("Fail to initialize states of device\xA3\xA1"),
            "\"Fail to initialize states of device\\xA3\\xA1\"");
  EXPECT_EQ(LogQuoted("Reset Fail!\nPlease \"reset\"\r\t\\"),
            "\"Reset Fail!\\nPlease \\\"reset\\\"\\r\\t\\\\\"");
  EXPECT_EQ(LogQuoted(std::string("V\0\x1b", 3)), "\"V\\x00\\x1B\"");
}

TEST(SupportLogTest, TheDefaultPlaceFollowsTheStateFolderOfTheDesktop) {
  const auto lookup = [](std::map<std::string, std::string> values) {
    return [values](const char* name) -> std::optional<std::string> {
      const auto it = values.find(name);
      if (it == values.end()) return std::nullopt;
      return it->second;
    };
  };
#ifdef _WIN32
  EXPECT_EQ(DefaultSupportLogPath(lookup({{"LOCALAPPDATA", "C:\\Users\\tech\\AppData\\Local"},
                                          {"HOME", "/c/Users/tech"},
                                          {"XDG_STATE_HOME", "C:\\xdg"}})),
            fs::path("C:\\Users\\tech\\AppData\\Local\\korva-updater\\korva-updater.log"));
  // Without LOCALAPPDATA a Unix-like shell's HOME is no place for it.
  EXPECT_EQ(DefaultSupportLogPath(lookup({{"HOME", "/c/Users/tech"}})), fs::path());
#else
  EXPECT_EQ(DefaultSupportLogPath(lookup({{"XDG_STATE_HOME", "/var/xdg"}, {"HOME", "/home/tech"}})),
            fs::path("/var/xdg/korva-updater/korva-updater.log"));
  // A relative XDG_STATE_HOME is not valid and is ignored.
  EXPECT_EQ(DefaultSupportLogPath(lookup({{"XDG_STATE_HOME", "state"}, {"HOME", "/home/tech"}})),
            fs::path("/home/tech/.local/state/korva-updater/korva-updater.log"));
  EXPECT_EQ(DefaultSupportLogPath(lookup({{"HOME", "/home/tech"}})),
            fs::path("/home/tech/.local/state/korva-updater/korva-updater.log"));
#endif
  EXPECT_EQ(DefaultSupportLogPath(lookup({})), fs::path());
}

TEST(ProgramVersionTest, NamesTheProgramItsVersionAndTheCarriedFirmware) {
  EXPECT_TRUE(std::regex_match(std::string(ProgramVersion()), std::regex(R"([0-9]+(\.[0-9]+)+)")))
      << ProgramVersion();
  EXPECT_EQ(VersionLines("korva-updater-cli", "Ver1.38.250"),
            std::string("korva-updater-cli ") + ProgramVersion() +
                "\nCarried KORVA firmware: Ver1.38.250\n");
  EXPECT_NE(VersionLines("korva-updater", "").find("failed their checks"), std::string::npos);
}

}  // namespace
}  // namespace korva::testing
