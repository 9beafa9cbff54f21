// The way by which a running job reaches its owner. A job never holds its owner itself: it
// holds this link, which the owner cuts, under the link's lock, before it goes away. After the
// cut the job's messages go nowhere and its questions get empty answers, so a job that outlives
// its owner (a program torn down around it) never touches freed memory.
#pragma once

#include <condition_variable>
#include <mutex>

namespace korva {

class JobOwner;

class JobOwnerLink {
 public:
  explicit JobOwnerLink(JobOwner* owner) : owner_(owner) {}
  JobOwnerLink(const JobOwnerLink&) = delete;
  JobOwnerLink& operator=(const JobOwnerLink&) = delete;

  // Job side: runs `call(owner)` unless the link is cut; false when it is. The lock is not held
  // during the call (some calls wait for the owner's thread), but the cut waits for it.
  template <typename Call>
  bool With(Call&& call) {
    JobOwner* owner = nullptr;
    {
      std::lock_guard lock(mutex_);
      if (!owner_) return false;
      owner = owner_;
      ++calls_;
    }
    struct Leave {
      JobOwnerLink& link;
      ~Leave() { link.LeaveCall(); }
    } leave{*this};
    call(*owner);
    return true;
  }

  // Owner side: no call reaches the owner once this returns. A call in progress is waited for;
  // the owner's synchronous calls must therefore not wait for the thread that cuts (owners cut
  // once their job has ended, or from a thread the job does not wait for).
  void Cut();

  // Whether the link still leads to `owner`.
  bool LeadsTo(const JobOwner* owner) const;

 private:
  void LeaveCall();

  mutable std::mutex mutex_;
  std::condition_variable idle_;
  JobOwner* owner_;
  int calls_ = 0;
};

}  // namespace korva
