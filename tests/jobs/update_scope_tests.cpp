// The lock against sleep and shutdown as the jobs hold it: taken once for any number of scopes,
// held from StartJob until the job's thread has returned, said once when it cannot be had.
#include "jobs/update_scope.h"

#include "images/embedded_images.h"
#include "jobs/start_job.h"
#include "tests/shared/test_support.h"

namespace korva::testing {
namespace {

// An inhibitor that records when its lock was taken and let go, counted in the amp's writes
// and the owner's messages at that moment.
class RecordingInhibitor final : public SleepInhibitor {
 public:
  RecordingInhibitor(VirtualKorva& korva, RecordingOwner& owner) : korva_(korva), owner_(owner) {}

  std::unique_ptr<Inhibition> Inhibit(std::string& problem) override {
    std::lock_guard lock(mutex_);
    ++calls;
    writesAtTaking.push_back(korva_.Writes().size());
    if (!problemToGive.empty()) {
      problem = problemToGive;
      return nullptr;
    }
    return std::make_unique<Held>(*this);
  }

  std::mutex mutex_;
  int calls = 0;
  std::string problemToGive;
  std::vector<std::size_t> writesAtTaking;
  std::vector<std::size_t> messagesAtRelease;

 private:
  struct Held final : Inhibition {
    explicit Held(RecordingInhibitor& inhibitor) : inhibitor(inhibitor) {}
    ~Held() override {
      std::lock_guard lock(inhibitor.mutex_);
      inhibitor.messagesAtRelease.push_back(inhibitor.owner_.Messages().size());
    }
    RecordingInhibitor& inhibitor;
  };

  VirtualKorva& korva_;
  RecordingOwner& owner_;
};

class UpdateScopeTest : public KorvaTest {
 protected:
  UpdateScopeTest() {
    SetSleepInhibitor(&inhibitor, [this](const std::string& text) { said.push_back(text); });
  }
  ~UpdateScopeTest() override {
    WaitForWorkers();
    SetSleepInhibitor(nullptr, nullptr);
  }

  RecordingInhibitor inhibitor{sim.korva, owner};
  std::vector<std::string> said;
};

TEST_F(UpdateScopeTest, OneLockForAnyNumberOfGuardsHeldUntilTheLastEnds) {
  EXPECT_FALSE(UpdateUnderWay());
  {
    UpdateScope road;
    EXPECT_TRUE(UpdateUnderWay());
    EXPECT_TRUE(SleepInhibited());
    {
      UpdateScope job;
      UpdateScope another;
    }
    EXPECT_TRUE(SleepInhibited());
    EXPECT_TRUE(inhibitor.messagesAtRelease.empty());
  }
  EXPECT_FALSE(SleepInhibited());
  EXPECT_FALSE(UpdateUnderWay());
  EXPECT_EQ(inhibitor.calls, 1);
  EXPECT_EQ(inhibitor.messagesAtRelease.size(), 1u);
  // The next scope takes it afresh.
  { UpdateScope again; }
  EXPECT_EQ(inhibitor.calls, 2);
  EXPECT_TRUE(said.empty());
}

TEST_F(UpdateScopeTest, AJobHoldsTheLockFromItsStartUntilItsThreadHasReturned) {
  ASSERT_EQ(LoadEmbeddedImages(), 1);
  ASSERT_EQ(StartJob(&owner, kJobMcu), 1);
  owner.WaitForFinal();  // and every job thread has returned
  EXPECT_FALSE(SleepInhibited());
  EXPECT_EQ(inhibitor.calls, 1);
  // Taken before "INITSTA", let go after the final message.
  EXPECT_EQ(inhibitor.writesAtTaking, std::vector<std::size_t>{0});
  EXPECT_EQ(inhibitor.messagesAtRelease, std::vector<std::size_t>{753});
}

TEST_F(UpdateScopeTest, WithoutALockTheUpdateGoesOnAndTheUserIsToldOnce) {
  inhibitor.problemToGive = "no system bus: No such file or directory";
  ASSERT_EQ(LoadEmbeddedImages(), 1);
  for (int kind : {kJobMcu, kJobDsp}) {
    ASSERT_EQ(StartJob(&owner, kind), 1);
    owner.WaitForFinal(kind == kJobMcu ? 1 : 2);
  }
  EXPECT_EQ(owner.Messages().back(), (JobMessage{WM_DSP_JOB, JOB_DONE, 0}));
  EXPECT_EQ(inhibitor.calls, 2);  // asked again at each job, said only once
  ASSERT_EQ(said.size(), 1u);
  EXPECT_NE(said[0].find("no system bus: No such file or directory"), std::string::npos) << said[0];
  EXPECT_NE(said[0].find("the update goes on"), std::string::npos) << said[0];
}

TEST_F(UpdateScopeTest, AJobThatCannotStartLetsTheLockGo) {
  ASSERT_EQ(LoadEmbeddedImages(), 1);
  SetThreadStarter(
      [](std::function<void()>) { throw std::system_error(EAGAIN, std::generic_category()); });
  EXPECT_EQ(StartJob(&owner, kJobMcu), 0);
  SetThreadStarter(nullptr);
  EXPECT_FALSE(SleepInhibited());
  EXPECT_EQ(inhibitor.messagesAtRelease, std::vector<std::size_t>{0});
}

}  // namespace
}  // namespace korva::testing
