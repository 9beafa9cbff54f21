// A service page on Windows (dialogs 130 to 134): a child dialog inside the welcome window, and
// a thin face of the page's behaviour in dialogs/ (the firmware pages, the IR page with its
// slot list, the Bluetooth page with its busy prompt). Its job's messages come to its own
// window handle, also while one of its boxes or the file dialog is open.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "dialogs/bluetooth_page.h"
#include "dialogs/ir_page.h"
#include "dialogs/page_host.h"
#include "dialogs/service_page.h"
#include "win32/dialog.h"
#include "win32/small_dialogs.h"

namespace korva::win32 {

class ServicePageDlg final : public Dialog,
                             private dialogs::PageFace,
                             private dialogs::SlotListFace,
                             private dialogs::BusyPromptFace {
 public:
  // The page of tab `tab` (dialogs::PageTab); `device` outlives it. Make its window with
  // Create(the welcome window).
  ServicePageDlg(int tab, dialogs::DevicePort& device);
  // Returns once the page's job has ended: a job never reports to a page that is gone.
  ~ServicePageDlg() override;

  // The page's behaviour; made with the window.
  dialogs::ServicePage& Page() { return *page_; }

 private:
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  void CopyTexts() override;
  void OnJobMessage(int message, int wParam, long lParam) override;
  void MakePage();

  // dialogs::PageFace
  void PostJobMessage(int message, int wParam, long lParam) override;
  void RunOnWindowThread(const std::function<void()>& call) override;
  std::optional<std::string> ChooseFile(const dialogs::FileFilter& filter) override;
  void SetFilePath(const std::string& path) override;
  void SetText(dialogs::PageText text, const std::string& bytes) override;
  void SetProgressRange(int maximum) override;
  void SetProgress(int position) override;
  void Enable(dialogs::PageControl control, bool enabled) override;
  void Focus(dialogs::PageControl control) override;
  // dialogs::SlotListFace
  std::string SlotListText() override;
  // dialogs::BusyPromptFace
  void ShowBusyPrompt() override;
  void HideBusyPrompt() override;

  int tab_;
  dialogs::DevicePort& device_;
  std::wstring filePath_;
  std::array<std::wstring, 2> texts_;  // by PageText: the percent label, the file's version
  std::unique_ptr<BusyPromptDlg> busyPrompt_;
  std::unique_ptr<dialogs::ServicePage> page_;
  dialogs::IrPage* irPage_ = nullptr;  // page_, on the IR page
};

}  // namespace korva::win32
