// A 1 ms timer on the GUI thread measures every gap between two of its events: the longest gap
// is the longest time the thread was kept from its events, by device work or anything else.
// The kernel's schedstat of the thread splits each gap into running, waiting for a CPU (the
// machine is busy) and sleeping or blocked.
#include "bench/window_bench.h"

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "device/clock.h"
#include "device/device_access.h"
#include "device/link_mode.h"
#include "dialogs/connection_reading.h"
#include "dialogs/main_road.h"
#include "emulator/simulation.h"
#include "jobs/prompter.h"
#include "jobs/update_texts.h"
#include "jobs/worker.h"
#include "qt/device_work.h"
#include "qt/update_dlg.h"

namespace korva::bench {
namespace {

// Boxes are written out instead of waiting for a click.
class PrintingPrompter final : public Prompter {
 public:
  void ShowBox(BoxKind /*kind*/, const std::string& text) override {
    std::fprintf(stderr, "[box] %s\n", text.c_str());
  }
};

// The calling thread's time on a CPU and waiting for one, in ns, from the kernel.
struct ThreadTimes {
  long long runNs = 0;
  long long waitNs = 0;
};

class SchedStat {
 public:
  SchedStat() : fd_(::open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC)) {}
  ~SchedStat() {
    if (fd_ >= 0) ::close(fd_);
  }
  SchedStat(const SchedStat&) = delete;
  SchedStat& operator=(const SchedStat&) = delete;
  ThreadTimes Read() const {
    ThreadTimes times;
    char text[128] = {};
    if (fd_ >= 0 && ::pread(fd_, text, sizeof text - 1, 0) > 0)
      std::sscanf(text, "%lld %lld", &times.runNs, &times.waitNs);
    return times;
  }

 private:
  int fd_;
};

class GapMeter {
 public:
  GapMeter() {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(1);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      const qint64 now = clock_.nsecsElapsed();
      const ThreadTimes times = stat_.Read();
      const long long gap = now - last_;
      const long long run = times.runNs - lastTimes_.runNs;
      const long long own = gap - (times.waitNs - lastTimes_.waitNs);
      gapsNs_.push_back(gap);
      ownNs_.push_back(own);
      if (own > longestOwn_.first) longestOwn_ = {own, run};
      last_ = now;
      lastTimes_ = times;
    });
  }
  // On the GUI thread: the schedstat read is the thread's that made the meter.
  void Start() {
    gapsNs_.clear();
    ownNs_.clear();
    longestOwn_ = {};
    clock_.start();
    last_ = 0;
    lastTimes_ = stat_.Read();
    timer_.start();
  }
  void Stop() { timer_.stop(); }
  double Seconds() const { return static_cast<double>(clock_.nsecsElapsed()) / 1e9; }
  void Report(StallReport& report) {
    if (gapsNs_.empty()) return;
    std::vector<long long> gaps = gapsNs_;
    std::sort(gaps.begin(), gaps.end());
    report.watchedSeconds = Seconds();
    report.longestMs = static_cast<double>(gaps.back()) / 1e6;
    report.p999Ms = static_cast<double>(gaps[gaps.size() * 999 / 1000]) / 1e6;
    report.over50Ms = CountOver(gaps, 50'000'000LL);
    std::vector<long long> own = ownNs_;
    std::sort(own.begin(), own.end());
    report.longestOwnMs = static_cast<double>(longestOwn_.first) / 1e6;
    report.cpuInLongestOwnMs = static_cast<double>(longestOwn_.second) / 1e6;
    report.ownOver50Ms = CountOver(own, 50'000'000LL);
  }

 private:
  static int CountOver(const std::vector<long long>& sorted, long long limit) {
    return static_cast<int>(sorted.end() - std::upper_bound(sorted.begin(), sorted.end(), limit));
  }

  QTimer timer_;
  QElapsedTimer clock_;
  SchedStat stat_;
  qint64 last_ = 0;
  ThreadTimes lastTimes_;
  std::vector<long long> gapsNs_;
  std::vector<long long> ownNs_;
  std::pair<long long, long long> longestOwn_;  // own time, run time of that gap
};

std::string LoadAverage() {
  char text[64] = {};
  std::FILE* file = std::fopen("/proc/loadavg", "r");
  if (!file) return {};
  const bool read = std::fgets(text, sizeof text, file) != nullptr;
  std::fclose(file);
  if (!read) return {};
  std::string load(text);
  // The first three fields: 1, 5 and 15 minutes.
  for (int fields = 0, i = 0; i < static_cast<int>(load.size()); ++i) {
    if (load[i] == ' ' && ++fields == 3) return load.substr(0, i);
  }
  return load;
}

int InitStatesTaken(const VirtualKorva& korva) {
  int n = 0;
  for (const auto& w : korva.Writes())
    n += std::equal(kInitStatesText.begin(), kInitStatesText.end(), w.bytes.begin() + 1);
  return n;
}

// Runs the event loop for `ms`, or until `done` holds (checked every 10 ms).
void RunFor(int ms, const std::function<bool()>& done = {}) {
  QElapsedTimer elapsed;
  elapsed.start();
  while (elapsed.elapsed() < ms && !(done && done())) {
    QEventLoop loop;
    QTimer::singleShot(10, &loop, &QEventLoop::quit);
    loop.exec();
  }
}

}  // namespace

StallReport WatchGuiThread(const WindowScenario& scenario) {
  StallReport report;
  Simulation sim(ProcessClock());
  sim.bus.SetEnumerationCostMs(scenario.enumerationCostMs);
  if (scenario.silentAmp) sim.korva.SetFaults({.acknowledgeLimit = 0});
  PrintingPrompter prompter;
  SetAppPrompter(&prompter);
  qt::DeviceWork deviceWork;
  qt::SetAppDeviceWork(&deviceWork);
  dialogs::ResetMainRoadState();
  GapMeter meter;

  if (scenario.ticksOnGuiThread) {
    // The poll as it was made before the device thread: on a 500 ms timer of the GUI thread.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [] { dialogs::ReadConnectionAtTick(); });
    poll.start(qt::CUpdateDlg::kPollPeriodMs);
    meter.Start();
    RunFor(scenario.seconds * 1000);
    meter.Stop();
    poll.stop();
  } else {
    // As "Enter" opens it after the welcome window's probe.
    LinkMode.store(CheckDeviceAccess().access == DeviceAccess::Ready ? kLinkHid : kLinkNone);
    qt::CUpdateDlg window;
    window.show();
    auto* status = window.findChild<QLabel*>(QStringLiteral("status"));
    auto* update = window.findChild<QPushButton*>(QStringLiteral("m_btnUpdate"));
    meter.Start();
    if (scenario.update) {
      RunFor(10000, [&] { return update->isEnabled(); });
      if (scenario.acknowledgedPollsInUpdate >= 0) {
        sim.korva.SetFaults({.acknowledgeLimit = scenario.acknowledgedPollsInUpdate});
      }
      update->click();
      RunFor(600000, [&] {
        const QString text = status->text();
        return text == QLatin1String(kTextUpdateSucceeded) ||
               text == QLatin1String(kTextUpdateFailed);
      });
    }
    RunFor(scenario.seconds * 1000);
    meter.Stop();
    report.finalStatus = status->text().toStdString();
    window.hide();
    RunFor(5000, [&] { return deviceWork.Idle(); });
  }
  meter.Report(report);
  report.loadAverage = LoadAverage();
  report.ticks = InitStatesTaken(sim.korva);
  qt::SetAppDeviceWork(nullptr);
  WaitForWorkers();
  SetAppPrompter(nullptr);
  return report;
}

}  // namespace korva::bench
