// Recording faces of the shared layer's windows: each keeps what its window told it, as a user
// would see it, and answers from a script.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "dialogs/bluetooth_page.h"
#include "dialogs/ir_page.h"
#include "dialogs/page_host.h"
#include "dialogs/service_page.h"
#include "dialogs/update_window.h"
#include "dialogs/welcome_window.h"
#include "tests/dialogs/dialogs_test_support.h"

namespace korva::testing {

class RecordingUpdateFace final
    : public RoutedFace<dialogs::UpdateWindowFace, dialogs::UpdateWindow> {
 public:
  using RoutedFace::RoutedFace;
  using Text = dialogs::UpdateText;
  using Control = dialogs::UpdateControl;

  void SetText(Text text, const std::string& bytes) override { strings[text] = bytes; }
  void SetControlText(Text text, const std::string& bytes) override { shown[text] = bytes; }
  // Every display string, also one that was never set (an empty one).
  void CopyTexts() override {
    for (Text text :
         {Text::CurrentVersion, Text::NewVersion, Text::Percent, Text::Status, Text::UsbState})
      shown[text] = String(text);
  }
  void ShowLamp(bool connected) override { lampGreen = connected; }
  void SetProgressRange(int maximum) override {
    barMaximum = maximum;
    bar = 0;
  }
  void SetProgress(int position) override { bar = position; }
  void Enable(Control control, bool enabled) override { enabled_[control] = enabled; }
  void Focus(Control control) override { focus = control; }
  void ArmPollTimer(int ms) override {
    EXPECT_FALSE(armedMs.has_value()) << "armed twice";
    armedMs = ms;
  }
  void StopPollTimer() override { armedMs.reset(); }
  bool AskSameVersion() override {
    ++prompts;
    return answers.Next("same-version prompt");
  }

  // A display string as the window last set it ("" before).
  std::string String(Text text) const {
    const auto found = strings.find(text);
    return found == strings.end() ? "" : found->second;
  }
  // What a control shows: its display string once copied, or a text set on it directly.
  std::string Shown(Text text) const {
    const auto found = shown.find(text);
    return found == shown.end() ? "" : found->second;
  }
  bool Enabled(Control control) const {
    const auto found = enabled_.find(control);
    return found != enabled_.end() && found->second;
  }

  std::map<Text, std::string> strings;
  std::map<Text, std::string> shown;
  std::optional<bool> lampGreen;
  int barMaximum = -1;
  int bar = -1;
  std::optional<Control> focus;
  std::optional<int> armedMs;
  int prompts = 0;
  Answers<bool> answers;  // true: "Yes"

 private:
  std::map<Control, bool> enabled_;
};

class RecordingPageFace final : public RoutedFace<dialogs::PageFace, dialogs::ServicePage>,
                                public dialogs::SlotListFace,
                                public dialogs::BusyPromptFace {
 public:
  using RoutedFace::RoutedFace;
  using Control = dialogs::PageControl;

  std::optional<std::string> ChooseFile(const dialogs::FileFilter& filter) override {
    filters.push_back(std::string(filter.pattern) + " " + filter.defaultSuffix);
    return files.Next("file dialog");
  }
  void SetFilePath(const std::string& path) override { pathString = path; }
  void SetText(dialogs::PageText text, const std::string& bytes) override { strings[text] = bytes; }
  void CopyTexts() override {
    pathShown = pathString;
    for (dialogs::PageText text : {dialogs::PageText::Percent, dialogs::PageText::UpdateVersion})
      shown[text] = String(text);
  }
  void SetProgressRange(int maximum) override {
    barMaximum = maximum;
    bar = 0;
  }
  void SetProgress(int position) override { bar = position; }
  void Enable(Control control, bool enabled) override { enabled_[control] = enabled; }
  void Focus(Control control) override { focus = control; }
  std::string SlotListText() override { return slotText; }
  void ShowBusyPrompt() override {
    ++busyPromptShowings;
    busyPromptUp = true;
  }
  void HideBusyPrompt() override { busyPromptUp = false; }

  std::string String(dialogs::PageText text) const {
    const auto found = strings.find(text);
    return found == strings.end() ? "" : found->second;
  }
  std::string Shown(dialogs::PageText text) const {
    const auto found = shown.find(text);
    return found == shown.end() ? "" : found->second;
  }
  // Enabled unless the page disabled it (controls start enabled).
  bool Enabled(Control control) const {
    const auto found = enabled_.find(control);
    return found == enabled_.end() || found->second;
  }

  Answers<std::optional<std::string>> files;  // a path, or nothing for a cancel
  std::vector<std::string> filters;           // pattern and default extension, per dialog
  std::string pathString;
  std::string pathShown;
  std::map<dialogs::PageText, std::string> strings;
  std::map<dialogs::PageText, std::string> shown;
  int barMaximum = -1;
  int bar = -1;
  std::optional<Control> focus;
  std::string slotText;  // the index list's current text
  int busyPromptShowings = 0;
  bool busyPromptUp = false;

 private:
  std::map<Control, bool> enabled_;
};

class RecordingHostFace final : public dialogs::PageHostFace {
 public:
  void ShowTab(int tab) override { shownTab = tab; }
  void EnableTabBar(bool enabled) override { tabBarEnabled = enabled; }
  void EnableTab(int tab, bool enabled) override { tabEnabled[tab] = enabled; }

  int shownTab = -1;
  bool tabBarEnabled = false;
  std::map<int, bool> tabEnabled;
};

}  // namespace korva::testing
