// The program's message boxes as report lines. A box from the main thread (StartJob's own,
// the Bluetooth link switch's) is reported at once; a box from a job thread goes through the
// job queue and is reported by the main thread, and the job waits for it as it would wait for
// the user to close the box, so its final message always comes after the box's line.
#pragma once

#include <thread>

#include "cli/queue_owner.h"
#include "cli/reporter.h"
#include "jobs/prompter.h"

namespace korva::cli {

class ReportingPrompter final : public Prompter {
 public:
  // `jobQueue` carries the boxes of job threads; without it every box is reported at once
  // (only while no job thread runs).
  explicit ReportingPrompter(Reporter& reporter, QueueOwner* jobQueue = nullptr)
      : reporter_(reporter), jobQueue_(jobQueue) {}
  void ShowBox(BoxKind kind, const std::string& text) override;

 private:
  Reporter& reporter_;
  QueueOwner* jobQueue_;
  std::thread::id mainThread_ = std::this_thread::get_id();
};

// Installs a prompter for the length of a scope and puts the previous one back.
class PrompterScope {
 public:
  explicit PrompterScope(Prompter& prompter) : previous_(SetAppPrompter(&prompter)) {}
  ~PrompterScope() { SetAppPrompter(previous_); }
  PrompterScope(const PrompterScope&) = delete;
  PrompterScope& operator=(const PrompterScope&) = delete;

 private:
  Prompter* previous_;
};

}  // namespace korva::cli
