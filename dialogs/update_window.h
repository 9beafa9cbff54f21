// The main update window's behaviour, without a toolkit: the opening steps, the 500 ms poll and
// what each reading shows, "Update" with its presence test, the amp's lock, the same-version
// prompt and the start of the MCU or DSP job, the MCU-then-DSP chain, and what each job message
// shows. A face (Qt's CUpdateDlg, the Win32 window) draws it: it calls the window's steps as the
// user and the system act, and does what the window tells it through UpdateWindowFace. Every
// call to the amp runs on the device port; the window shows what comes back.
#pragma once

#include <memory>
#include <string>

#include "device/amp_lock.h"
#include "device/device_access.h"
#include "dialogs/device_port.h"
#include "dialogs/job_route.h"
#include "dialogs/window_job_owner.h"
#include "jobs/update_scope.h"

namespace korva::dialogs {

struct ConnectionReading;

// The window's texts. Status is the two-line status line, UsbState the word beside the lamp.
enum class UpdateText { CurrentVersion, NewVersion, Percent, Status, UsbState };
enum class UpdateControl { Update, Exit };

// What the main update window asks of its face. Texts are the program's bytes (DisplayText
// says how they are shown). Everything is called on the GUI thread.
class UpdateWindowFace : public JobRoute {
 public:
  // A display string: the face copies it to its control before the window's next message (the
  // copy replaces a control's text only where it differs).
  virtual void SetText(UpdateText text, const std::string& bytes) = 0;
  // Straight onto the control; the next copy of the display strings replaces it.
  virtual void SetControlText(UpdateText text, const std::string& bytes) = 0;
  // Copies the display strings to their controls now.
  virtual void CopyTexts() = 0;
  // The USB lamp: green while the amp is connected, red otherwise.
  virtual void ShowLamp(bool connected) = 0;
  // The bar's range 0 to `maximum`, position 0.
  virtual void SetProgressRange(int maximum) = 0;
  virtual void SetProgress(int position) = 0;
  virtual void Enable(UpdateControl control, bool enabled) = 0;
  virtual void Focus(UpdateControl control) = 0;
  // The poll's timer: OnTick once, `ms` from now. Armed only while not armed; a face's timer
  // goes off once per arming.
  virtual void ArmPollTimer(int ms) = 0;
  virtual void StopPollTimer() = 0;
  // The same-version prompt, run modally: true for "Yes"; "No", Escape and the close box give
  // false.
  virtual bool AskSameVersion() = 0;
};

class UpdateWindow final : private JobWindow {
 public:
  static constexpr int kPollPeriodMs = 500;

  // Both outlive the window.
  UpdateWindow(UpdateWindowFace& face, DevicePort& device);
  ~UpdateWindow() override;
  UpdateWindow(const UpdateWindow&) = delete;
  UpdateWindow& operator=(const UpdateWindow&) = delete;

  // The window's steps, each called by the face on the GUI thread.
  // Initialisation: the texts, buttons and lamp of a window that has not seen the amp yet;
  // then the amp is read (as the welcome window's probe left LinkMode) and the poll starts.
  void OnOpening();
  // The poll's timer went off.
  void OnTick();
  // "Update" (also the Enter key).
  void OnUpdate();
  // A job message, before the face's copy of the display strings.
  void OnJobMessage(int message, int wParam, long lParam);

  // Exit, Escape and the close box: refused while a job is being started or writes.
  bool MayClose() const { return !jobActive_ && !starting_; }
  // From the start of the update's first job until its last final message has been handled. A
  // face whose window is being destroyed meanwhile waits for it: the job reports to this window.
  bool UpdateRunning() const { return road_ != nullptr; }
  // The poll's timer is armed (it is not while a reading is on the device port, nor while the
  // poll is stopped).
  bool PollArmed() const { return timerArmed_; }

 private:
  void OnPrepareProgressBar(int total) override;
  void ReadConnection(ConnectionReading (*read)(), bool opening);
  void ShowReading(const ConnectionReading& reading, bool opening);
  void ShowVersionTexts();
  void ApplyVersionComparison(bool keepStatusWhenBothDiffer);
  void ContinueUpdate(const DeviceAccessReport& access, const AmpLockAttempt& lock);
  void EndUpdateStart();
  void StartFirmwareJob(int kind, const char* failureBox, const char* statusAfterFailure);
  void FinishRoad(bool succeeded);
  void EnableButtons(bool enabled);
  void StartPoll();
  void StopPoll();
  void ArmPoll();
  void SetStatus(const std::string& text);

  UpdateWindowFace& face_;
  DevicePort& device_;
  WindowLife life_;
  WindowJobOwner owner_;
  JobProgress progress_;
  std::unique_ptr<UpdateScope> road_;  // the update under way, across its jobs
  std::unique_ptr<AmpLock> ampLock_;   // from "Update"'s presence test to the update's end
  bool updateEnabled_ = false;
  bool pollRunning_ = false;      // the poll is on (its next tick may wait behind a reading)
  bool readingInFlight_ = false;  // the opening steps or a tick are on the device port
  bool timerArmed_ = false;
  bool starting_ = false;   // from "Update" until a job started or the road was given up
  bool jobActive_ = false;  // from a job's start until its last final message
};

}  // namespace korva::dialogs
