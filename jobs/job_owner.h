// The port through which a job reaches the window (or terminal front end) that started it.
// Jobs never see a toolkit: the owner turns these calls into its own events. Jobs reach an
// owner only through its link (job_owner_link.h), which the owner cuts before it goes away.
#pragma once

#include <memory>
#include <string>

namespace korva {

class JobOwnerLink;

class JobOwner {
 public:
  JobOwner();
  // Cuts the link, too late for an owner with state of its own: such owners call CutJobLink()
  // first thing in their own destructor.
  virtual ~JobOwner();
  JobOwner(const JobOwner&) = delete;
  JobOwner& operator=(const JobOwner&) = delete;

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

  // The way by which jobs reach this owner; StartJob hands it on to the job.
  const std::shared_ptr<JobOwnerLink>& Link() const { return link_; }

 protected:
  // No job reaches this owner once this returns; a call in progress is waited for (see
  // JobOwnerLink::Cut). Idempotent.
  void CutJobLink();

 private:
  std::shared_ptr<JobOwnerLink> link_;
};

}  // namespace korva
