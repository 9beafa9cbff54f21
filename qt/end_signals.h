// The signals that ask the window program to end: SIGTERM (kill, a shutdown), SIGHUP (the
// session or the terminal that started it went away) and SIGINT (Ctrl-C in that terminal),
// delivered as calls on the GUI thread, one per signal. What the program then does is its own
// business (updater_app.cpp); this only delivers.
//
// Every thread but one catcher thread blocks these signals: BlockEndSignals() runs first thing in
// the program, before any thread exists, so every later thread (the toolkit's, the job threads)
// inherits the block, and no signal ever cuts a transfer with the amp short. The catcher's
// handler only writes the signal's number into a pipe, which a QSocketNotifier reads on the GUI
// thread. SIGPIPE is ignored: a closed standard stream never ends the program.
#pragma once

#include <QObject>
#include <functional>
#include <optional>
#include <thread>

#include "support/signal_pipe.h"

class QSocketNotifier;

namespace korva::qt {

class EndSignals final : public QObject {
 public:
  // Blocks the end signals in the calling thread (and so in every thread it starts later).
  static void BlockEndSignals();

  // On the GUI thread, with a QCoreApplication. Blocks the end signals in the calling thread
  // too, and starts the catcher.
  explicit EndSignals(std::function<void(int signal)> onSignal);
  // Stops the catcher and puts the previous handlers back; the signals stay blocked.
  ~EndSignals() override;
  EndSignals(const EndSignals&) = delete;
  EndSignals& operator=(const EndSignals&) = delete;

 private:
  void Deliver();

  std::function<void(int)> onSignal_;
  std::optional<SignalPipe> signals_;  // the handler writes, the GUI thread reads
  int stopPipe_[2] = {-1, -1};         // the destructor writes, the catcher reads
  QSocketNotifier* notifier_ = nullptr;
  std::thread catcher_;
};

}  // namespace korva::qt
