// Cutting the link between a job and its owner.
#include "jobs/job_owner_link.h"

#include "jobs/job_owner.h"

namespace korva {

void JobOwnerLink::Cut() {
  std::unique_lock lock(mutex_);
  owner_ = nullptr;
  idle_.wait(lock, [this] { return calls_ == 0; });
}

bool JobOwnerLink::LeadsTo(const JobOwner* owner) const {
  std::lock_guard lock(mutex_);
  return owner_ != nullptr && owner_ == owner;
}

void JobOwnerLink::LeaveCall() {
  std::lock_guard lock(mutex_);
  if (--calls_ == 0) idle_.notify_all();
}

JobOwner::JobOwner() : link_(std::make_shared<JobOwnerLink>(this)) {}

JobOwner::~JobOwner() { CutJobLink(); }

void JobOwner::CutJobLink() { link_->Cut(); }

}  // namespace korva
