// The welcome window's behaviour, without a toolkit: it keeps LinkMode up to date by probing
// for the amp as it opens and on every device-change notification (also while it is hidden
// behind the main update window), opens the main update window on "Enter", and in service mode
// holds the service pages below its texts; while a page's job runs the window can be neither
// closed nor left for the main road. A face draws it and calls its steps.
#pragma once

#include "dialogs/device_port.h"

namespace korva::dialogs {

class PageHost;

// The About item's text (with its keyboard mnemonic), and its command in a system menu.
inline constexpr const char* kAboutMenuText = "&About Velorin...";
inline constexpr unsigned kAboutCommand = 0x10;
// The item of the window's context menu that shows the service pages.
inline constexpr const char* kServiceModeMenuText = "Service mode";

enum class WelcomeControl { Enter, Exit };

class WelcomeWindowFace {
 public:
  virtual ~WelcomeWindowFace() = default;
  virtual void Enable(WelcomeControl control, bool enabled) = 0;
  // Hides the welcome window (it does not come back), runs the main update window modally
  // and returns when that has closed.
  virtual void RunMainWindow() = 0;
  // Ends the welcome window's run: `entered` after the main road (the OK result), else the
  // cancel result. The program ends with it.
  virtual void EndWelcome(bool entered) = 0;
  // Shows the tab control with the five service pages and returns their host, which lives as
  // long as the window.
  virtual PageHost& ShowServicePages() = 0;
};

class WelcomeWindow {
 public:
  // Both outlive the window.
  WelcomeWindow(WelcomeWindowFace& face, DevicePort& device);
  WelcomeWindow(const WelcomeWindow&) = delete;
  WelcomeWindow& operator=(const WelcomeWindow&) = delete;

  // The window's steps, each called by the face on the GUI thread.
  // Initialisation: the probe's start form (an absent amp only closes the update library).
  void OnOpening();
  // A device came or went (the system's notification): the amp may sit at another path now,
  // or have handed its cable to its Bluetooth module; the probe's full form.
  void OnDeviceChange();
  // "Enter": the main road, unless a page's job runs.
  void OnEnter();
  // "Exit", Escape, the close box: the window ends, unless a page's job runs.
  void OnExit();
  // The context menu's "Service mode": shows the pages; from then on the window keeps them.
  void OnServiceMode();

  bool InServiceMode() const { return host_ != nullptr; }
  // The page host, in service mode; null before.
  PageHost* Host() const { return host_; }
  // False while a page's job runs: the window must stay.
  bool MayEnd() const;

 private:
  void OnPageJobStateChanged();

  WelcomeWindowFace& face_;
  DevicePort& device_;
  PageHost* host_ = nullptr;
};

}  // namespace korva::dialogs
