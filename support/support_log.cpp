// The process-wide support log.
#include "support/support_log.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <mutex>

#include "support/program_version.h"

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace korva {
namespace {

// A line longer than this is cut, so that one runaway text cannot fill the log.
constexpr std::size_t kMaxLineBytes = 4096;
constexpr const char* kCutMark = " [...]";

std::atomic<bool> g_open{false};
std::atomic<unsigned> g_epoch{0};
std::mutex g_mutex;  // guards the two below
std::unique_ptr<LogFile> g_file;
std::string g_prefix;  // "PROGRAM[PID]: "
LogFile::Warn g_warn;  // the open session's

long ProcessId() {
#ifdef _WIN32
  return _getpid();
#else
  return static_cast<long>(getpid());
#endif
}

std::tm LocalTime(std::time_t seconds) {
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &seconds);
#else
  localtime_r(&seconds, &local);
#endif
  return local;
}

std::tm UtcTime(std::time_t seconds) {
  std::tm utc{};
#ifdef _WIN32
  gmtime_s(&utc, &seconds);
#else
  gmtime_r(&seconds, &utc);
#endif
  return utc;
}

// "+0200": the local time's offset from UTC, worked out from the two broken-down times rather
// than with strftime's %z, which Windows' C runtime fills with the zone's name instead.
std::string UtcOffset(const std::tm& local, const std::tm& utc) {
  int days = local.tm_yday - utc.tm_yday;
  if (local.tm_year != utc.tm_year) days = local.tm_year > utc.tm_year ? 1 : -1;  // across New Year
  const int minutes = (days * 24 + local.tm_hour - utc.tm_hour) * 60 + local.tm_min - utc.tm_min;
  const int magnitude = minutes < 0 ? -minutes : minutes;
  char text[8];
  std::snprintf(text, sizeof text, "%c%02d%02d", minutes < 0 ? '-' : '+', magnitude / 60 % 100,
                magnitude % 60);
  return text;
}

void AppendEscaped(std::string& out, unsigned char byte) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  switch (byte) {
    case '\n':
      out += "\\n";
      break;
    case '\r':
      out += "\\r";
      break;
    case '\t':
      out += "\\t";
      break;
    default:
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
  }
}

// Control characters escaped, so that one call always makes one line.
void AppendOnOneLine(std::string& line, std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      AppendEscaped(line, byte);
    } else {
      line += c;
    }
  }
}

}  // namespace

bool SupportLogging() { return g_open.load(std::memory_order_relaxed); }

unsigned SupportLogEpoch() { return g_epoch.load(); }

void SupportLog(std::string_view text) {
  if (!SupportLogging()) return;
  std::string line = WallClockStamp(std::chrono::system_clock::now());
  std::lock_guard lock(g_mutex);
  if (!g_file) return;
  line += ' ';
  line += g_prefix;
  AppendOnOneLine(line, text.substr(0, kMaxLineBytes));
  if (text.size() > kMaxLineBytes) line.append(kCutMark);
  g_file->Append(line);
}

void SupportWarning(const std::string& text) {
  SupportLog("warning: " + text);
  LogFile::Warn warn;
  {
    std::lock_guard lock(g_mutex);
    warn = g_warn;
  }
  if (warn) warn(text);
}

std::string LogQuoted(std::string_view bytes) {
  std::string quoted = "\"";
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\' || c == '"') {
      quoted += '\\';
      quoted += c;
    } else if (byte >= 0x20 && byte < 0x7F) {
      quoted += c;
    } else {
      AppendEscaped(quoted, byte);
    }
  }
  return quoted + "\"";
}

std::string WallClockStamp(std::chrono::system_clock::time_point when) {
  using namespace std::chrono;
  const auto sinceEpoch = duration_cast<milliseconds>(when.time_since_epoch());
  const std::time_t seconds =
      static_cast<std::time_t>(duration_cast<std::chrono::seconds>(sinceEpoch).count());
  const std::tm local = LocalTime(seconds);
  char date[32];
  std::strftime(date, sizeof date, "%Y-%m-%d %H:%M:%S", &local);
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%s.%03d %s", date,
                static_cast<int>(sinceEpoch.count() % 1000),
                UtcOffset(local, UtcTime(seconds)).c_str());
  return stamp;
}

std::optional<std::string> ProcessVariable(const char* name) {
  const char* value = std::getenv(name);
  if (!value) return std::nullopt;
  return std::string(value);
}

std::filesystem::path DefaultSupportLogPath() { return DefaultSupportLogPath(ProcessVariable); }

SupportLogSession::SupportLogSession(const std::filesystem::path& path, std::string program,
                                     LogFile::Warn warn, LogLimits limits) {
  if (path.empty()) return;
  auto file = std::make_unique<LogFile>(path, limits, warn);
  std::lock_guard lock(g_mutex);
  g_file = std::move(file);
  g_warn = std::move(warn);
  g_prefix = program + "[" + std::to_string(ProcessId()) + "]: ";
  g_epoch.fetch_add(1);
  g_open.store(true);
  opened_ = true;
}

SupportLogSession::~SupportLogSession() {
  if (!opened_) return;
  std::lock_guard lock(g_mutex);
  g_open.store(false);
  g_file.reset();
  g_warn = nullptr;
}

void LogProgramStart(const std::vector<std::string>& arguments, std::string_view device,
                     std::string_view carriedFirmware) {
  if (!SupportLogging()) return;
  std::string line = "started, version ";
  line.append(ProgramVersion()).append("; arguments:");
  if (arguments.empty()) line.append(" none");
  for (const std::string& argument : arguments) line.append(" ").append(LogQuoted(argument));
  line.append("; device: ").append(device).append("; carried firmware: ");
  line.append(carriedFirmware.empty() ? std::string_view("none (failed its checks)")
                                      : carriedFirmware);
  SupportLog(line);
}

}  // namespace korva
