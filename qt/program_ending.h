// What the window program does when it is asked to end by a signal (qt/end_signals.h). With no
// update under way it ends at once, as its Exit button would end it. During an update the first
// request is held off: a box in the window says that the update is being finished and why, and
// the program ends when the update has ended. A second request within 3 seconds stops the job
// between two reports (where the job can stop; the Bluetooth module's update cannot) and says
// that the update must be run again; the program then ends with status 1.
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <string>

#include "device/clock.h"
#include "jobs/end_request_rule.h"

class QTimer;

namespace korva::qt {

// The texts of the box.
inline constexpr const char* kTextFinishingUpdate =
    "The program was asked to end while it updates the KORVA. Ending now would leave the "
    "KORVA's firmware incomplete, so the update is being finished first; the program ends when "
    "it is done.\nAsk again within 3 seconds to stop the update anyway.";
inline constexpr const char* kTextStoppingUpdate =
    "The update is being stopped: the KORVA's firmware will be incomplete.\nRun the update again "
    "before you restart the KORVA.";
inline constexpr const char* kTextModuleCannotStop =
    "The Bluetooth module's update runs inside its update library and cannot be stopped "
    "part-way: the program ends when the module reports the end of it.";

class ProgramEnding final : public QObject {
 public:
  static constexpr int kExitStopped = 1;

  // `clock` times the 3 seconds between two requests (the real clock in the program).
  explicit ProgramEnding(const Clock& clock);
  ~ProgramEnding() override;

  // GUI thread: one request to end, by `signal`.
  void OnEndSignal(int signal);

  // The program's exit status: 0, or kExitStopped after a stopped update.
  int ExitStatus() const { return exitStatus_; }
  // The box in which the window says why it does not end yet (nullptr while none is shown).
  QMessageBox* NoticeBox() const { return notice_; }

 private:
  void Say(const char* text);
  void EndWhenTheUpdateHasEnded();

  const Clock& clock_;
  EndRequestRule rule_;
  QPointer<QMessageBox> notice_;
  QTimer* watch_ = nullptr;
  bool stopping_ = false;
  int exitStatus_ = 0;
};

}  // namespace korva::qt
