// The port through which a job reaches the window (or terminal front end) that started it.
// Jobs never see a toolkit: the owner turns these calls into its own events.
#pragma once

#include <string>

namespace korva {

class JobOwner {
 public:
  virtual ~JobOwner() = default;

  // Queues a job message to the owner's thread and returns at once (never blocks on the
  // owner). Safe to call from the job thread.
  virtual void PostJobMessage(int message, int wParam, long lParam) = 0;

  // Prepares the owner's progress bar: range 0 to `total`, position 0, step 1. Runs on the
  // owner's thread and returns when it has run.
  virtual void PrepareProgressBar(int total) = 0;

  // The audio job's inputs: the current text of the owner's slot index list (asked on the
  // owner's thread) and the stored file name without folder.
  virtual std::string SlotIndexText() { return {}; }
  virtual std::string StoredFileName() { return {}; }
  // The Bluetooth job's input: the full path of the chosen firmware file.
  virtual std::string StoredFilePath() { return {}; }
};

}  // namespace korva
