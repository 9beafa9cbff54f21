// How long the GUI thread of the main update window is kept from its events, in real time,
// while the window polls a virtual KORVA (idle) or follows an update.
#pragma once

#include <string>

namespace korva::bench {

struct WindowScenario {
  int seconds = 60;           // idle: how long to watch; update: how long after its end
  int enumerationCostMs = 0;  // what a listing of the HID interfaces costs
  bool silentAmp = false;     // the amp acknowledges nothing
  bool update = false;        // click "Update" once the window has found the amp
  int acknowledgedPollsInUpdate =
      -1;                         // the amp stops acknowledging after this many polls of the update
  bool ticksOnGuiThread = false;  // no window: the tick's calls made on the GUI thread every 500 ms
};

struct StallReport {
  double watchedSeconds = 0;
  double longestMs = 0;  // the longest gap between two events of a 1 ms timer
  double p999Ms = 0;     // 99.9% of the gaps were at most this long
  int over50Ms = 0;      // gaps longer than 50 ms
  // The same with the time the GUI thread spent waiting for a CPU taken out of each gap (on a
  // busy machine the system makes a ready thread wait): what the thread itself spent running
  // or blocked. Device work on the GUI thread shows here; a loaded machine does not.
  double longestOwnMs = 0;
  int ownOver50Ms = 0;
  double cpuInLongestOwnMs = 0;  // of that, running
  int ticks = 0;                 // "INITSTA" reports the amp took while watched
  std::string finalStatus;       // the window's status line at the end
  std::string loadAverage;       // the machine's, at the end
};

// Needs a QApplication.
StallReport WatchGuiThread(const WindowScenario& scenario);

}  // namespace korva::bench
