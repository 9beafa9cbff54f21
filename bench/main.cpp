// korva_bench: the measurements behind bench/run. Not a test: it prints figures.
//   korva_bench road [--real] [COST_MS...]   the main road with listings costing COST_MS
//   korva_bench window [--seconds N] [--cost MS] [--silent] [--update] [--ack-polls N]
//                      [--gui-thread-ticks]   the GUI thread's longest stall
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/road_bench.h"
#include "bench/window_bench.h"
#include "device/clock.h"

namespace {

using korva::bench::RoadRun;

int Road(const std::vector<std::string>& args) {
  bool real = false;
  std::vector<int> costs;
  for (const std::string& arg : args) {
    if (arg == "--real") {
      real = true;
    } else {
      costs.push_back(std::atoi(arg.c_str()));
    }
  }
  if (costs.empty()) costs = {0, 5, 50, 100};

  // The protocol's minimum: the road on a bus that costs nothing, where every read answers at
  // once; in virtual time that is exactly the sum of the protocol's pauses.
  korva::VirtualClock instant;
  const RoadRun minimum = korva::bench::RunMainRoad(instant, 0);
  if (!minimum.succeeded) {
    std::fputs("the main road failed on an instant bus\n", stderr);
    return 1;
  }
  std::printf(
      "main road (presence test, MCU job, DSP job; carried images): protocol minimum %.3f s\n",
      static_cast<double>(minimum.elapsedMs) / 1000);
  std::printf("%s\n",
              real
                  ? "real time: pauses sleep, listings sleep their cost"
                  : "virtual time: every pause, and every listing's cost, is charged to the clock");
  std::printf("  %-13s %10s %11s %9s %7s\n", "listing cost", "time (s)", "x minimum", "listings",
              "opens");
  int failed = 0;
  for (const int cost : costs) {
    korva::VirtualClock virtualClock;
    korva::RealClock realClock;
    korva::Clock& clock = real ? static_cast<korva::Clock&>(realClock) : virtualClock;
    const RoadRun run = korva::bench::RunMainRoad(clock, cost);
    failed += run.succeeded ? 0 : 1;
    std::printf("  %4d ms       %10.3f %11.4f %9d %7d%s\n", cost,
                static_cast<double>(run.elapsedMs) / 1000,
                static_cast<double>(run.elapsedMs) / static_cast<double>(minimum.elapsedMs),
                run.enumerations, run.opens, run.succeeded ? "" : "  FAILED");
    std::fflush(stdout);
  }
  return failed == 0 ? 0 : 1;
}

int Window(int argc, char** argv, const std::vector<std::string>& args) {
  korva::bench::WindowScenario scenario;
  std::string label;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--seconds" && hasValue) {
      scenario.seconds = std::atoi(args[++i].c_str());
    } else if (arg == "--cost" && hasValue) {
      scenario.enumerationCostMs = std::atoi(args[++i].c_str());
    } else if (arg == "--silent") {
      scenario.silentAmp = true;
    } else if (arg == "--update") {
      scenario.update = true;
    } else if (arg == "--ack-polls" && hasValue) {
      scenario.acknowledgedPollsInUpdate = std::atoi(args[++i].c_str());
    } else if (arg == "--gui-thread-ticks") {
      scenario.ticksOnGuiThread = true;
    } else {
      std::fprintf(stderr, "korva_bench window: unknown argument %s\n", arg.c_str());
      return 2;
    }
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const korva::bench::StallReport report = korva::bench::WatchGuiThread(scenario);
  std::printf(
      "   real time, %.1f s watched, \"INITSTA\" sent %d times, load average %s\n"
      "   longest gap between events: %.1f ms (99.9%% <= %.1f ms; %d over 50 ms)\n"
      "   without the waits for a CPU: %.1f ms, of which %.1f ms running (%d over 50 ms)\n",
      report.watchedSeconds, report.ticks, report.loadAverage.c_str(), report.longestMs,
      report.p999Ms, report.over50Ms, report.longestOwnMs, report.cpuInLongestOwnMs,
      report.ownOver50Ms);
  if (!report.finalStatus.empty())
    std::printf("   status at the end: %s\n", report.finalStatus.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && args[0] == "road") return Road({args.begin() + 1, args.end()});
  if (!args.empty() && args[0] == "window")
    return Window(argc, argv, {args.begin() + 1, args.end()});
  std::fputs("usage: korva_bench road [--real] [COST_MS...] | korva_bench window [options]\n",
             stderr);
  return 2;
}
