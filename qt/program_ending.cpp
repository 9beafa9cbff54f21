// Ending the window program on a signal, never in the middle of an update.
#include "qt/program_ending.h"

#include <signal.h>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "jobs/job_facts.h"
#include "jobs/job_state.h"
#include "jobs/prompter.h"
#include "jobs/update_scope.h"
#include "qt/message_box_prompter.h"
#include "support/support_log.h"

namespace korva::qt {
namespace {

// How often the program looks whether the held-off update has ended.
constexpr int kWatchPeriodMs = 50;

std::string SignalName(int signal) {
  switch (signal) {
    case SIGTERM:
      return "SIGTERM";
    case SIGHUP:
      return "SIGHUP";
    case SIGINT:
      return "SIGINT";
    default:
      return "signal " + std::to_string(signal);
  }
}

bool RunningJobCanStop() {
  const JobFacts* job = JobFactsOfKind(StartedJobKind.load());
  return job == nullptr || job->stoppable;
}

}  // namespace

ProgramEnding::ProgramEnding(const Clock& clock) : clock_(clock) {}

ProgramEnding::~ProgramEnding() { delete notice_; }

void ProgramEnding::OnEndSignal(int signal) {
  SupportLog("asked to end by " + SignalName(signal));
  if (!UpdateUnderWay()) {
    // Nothing is being written: the program ends as its Exit button would end it.
    QCoreApplication::exit(exitStatus_);
    return;
  }
  if (stopping_) return;  // said and done
  EndWhenTheUpdateHasEnded();
  if (rule_.OnRequest(clock_.NowMs()) == EndRequestRule::Verdict::Warn) {
    Say(kTextFinishingUpdate);
    return;
  }
  if (!RunningJobCanStop()) {
    Say(kTextModuleCannotStop);
    return;
  }
  stopping_ = true;
  exitStatus_ = kExitStopped;
  RequestJobStop();
  Say(kTextStoppingUpdate);
}

void ProgramEnding::Say(const char* text) {
  SupportLog(std::string("box: ") + LogQuoted(text));
  std::fprintf(stderr, "%s: %s\n", ApplicationName().toLocal8Bit().constData(), text);
  if (!notice_) {
    // Not modal: the window goes on showing the update's progress behind it.
    notice_ = MakeMessageBox(BoxKind::Window, text, QApplication::activeWindow()).release();
    notice_->setWindowModality(Qt::NonModal);
    notice_->setAttribute(Qt::WA_DeleteOnClose);
    notice_->show();
    return;
  }
  notice_->setText(QString::fromLatin1(text));
}

void ProgramEnding::EndWhenTheUpdateHasEnded() {
  if (watch_) return;
  watch_ = new QTimer(this);
  connect(watch_, &QTimer::timeout, this, [this] {
    if (UpdateUnderWay()) return;
    watch_->stop();
    SupportLog("the update has ended: the program ends as it was asked to");
    QCoreApplication::exit(exitStatus_);
  });
  watch_->start(kWatchPeriodMs);
}

}  // namespace korva::qt
