// The service pages' behaviour with recording faces, against the virtual amp and its module in
// virtual time: the checks of "Browse" and "Upgrade" in their order, each job's messages to its
// final box, the busy prompt of the Bluetooth page, and a job that ends before its start's
// answer has come back.
#include "device/amp_lock.h"
#include "dialogs/bluetooth_page.h"
#include "dialogs/firmware_page.h"
#include "dialogs/ir_page.h"
#include "images/image_store.h"
#include "images/page_file.h"
#include "jobs/job_texts.h"
#include "jobs/start_job.h"
#include "tests/dialogs/recording_faces.h"
#include "tests/shared/file_test_support.h"
#include "tests/shared/service_page_cases.h"

namespace korva::testing {
namespace {

using Control = dialogs::PageControl;
using dialogs::PageText;

class PageTest : public DialogsTest {
 protected:
  std::unique_ptr<dialogs::ServicePage> MakePage(int jobKind) {
    switch (jobKind) {
      case kJobAudio:
        return std::make_unique<dialogs::IrPage>(face, face, device);
      case kJobBluetooth:
        return std::make_unique<dialogs::BluetoothPage>(face, face, device);
      case kJobDsp:
        return std::make_unique<dialogs::FirmwarePage>(face, device, FirmwareKind::Dsp);
      case kJobBattery:
        return std::make_unique<dialogs::FirmwarePage>(face, device, FirmwareKind::Battery);
      default:
        return std::make_unique<dialogs::FirmwarePage>(face, device, FirmwareKind::Mcu);
    }
  }
  dialogs::ServicePage& Page(int jobKind) {
    page_ = MakePage(jobKind);
    face.window = page_.get();
    return *page_;
  }
  void Browse(const std::optional<std::string>& path) {
    face.files.Add(path);
    page_->OnBrowse();
    Settle();
  }
  void Upgrade() {
    page_->OnUpgrade();
    Settle();
  }
  // No job runs, and the device thread has made every call asked of it.
  bool WaitForIdle() {
    return gui.PumpUntil([&] { return !page_->JobRunning() && device.Idle(); });
  }
  // The page is back to idle after a job or a refused start.
  void ExpectIdle() {
    EXPECT_TRUE(face.Enabled(Control::Browse));
    EXPECT_TRUE(face.Enabled(Control::Upgrade));
    EXPECT_TRUE(face.Enabled(Control::SlotList));
    EXPECT_EQ(face.bar, 0);
    EXPECT_EQ(face.String(PageText::Percent), "0%");
    EXPECT_EQ(JobStatus.load(), kJobIdle);
    EXPECT_FALSE(page_->JobRunning());
    WaitForWorkers();  // the job's thread holds the update until it has returned
    EXPECT_FALSE(UpdateUnderWay());
  }
  // "Upgrade" shows one box, of `kind` with `text`, and leaves the page idle.
  void ExpectUpgradeSays(BoxKind kind, const std::string& text) {
    const std::size_t before = prompter.Boxes().size();
    Upgrade();
    ASSERT_EQ(prompter.Boxes().size(), before + 1) << text;
    EXPECT_EQ(prompter.Boxes().back().kind, kind);
    EXPECT_EQ(prompter.Boxes().back().text, text);
    EXPECT_FALSE(page_->JobRunning());
    EXPECT_EQ(JobStatus.load(), kJobIdle);
  }

  RecordingPageFace face{gui};
  ScratchFolder folder;
  std::unique_ptr<dialogs::ServicePage> page_;
};

class EachFilePageTest : public PageTest, public ::testing::WithParamInterface<PageCase> {};

// The checks of "Upgrade" in their order; each refusal writes nothing to the amp and leaves the
// page idle. Then the file chosen and the job run to its final box, as the user sees it there.
TEST_P(EachFilePageTest, UpgradeChecksInOrderThenRunsTheJobToItsFinalBox) {
  const PageCase& c = GetParam();
  const bool ir = c.jobKind == kJobAudio;
  Page(c.jobKind);
  EXPECT_EQ(face.String(PageText::Percent), "0%");
  sim.korva.Unplug();
  LinkMode.store(kLinkBluetooth);
  ExpectUpgradeSays(BoxKind::Window, kTextLinkOnBluetooth);
  LinkMode.store(kLinkNone);
  if (ir) {
    ExpectUpgradeSays(BoxKind::Window, kTextSelectAudioIndex);
    face.slotText = "5";
    static_cast<dialogs::IrPage&>(*page_).OnSelchangeIndex();
  }
  ExpectUpgradeSays(BoxKind::Window, kTextConnectDevice);
  sim.korva.Plug();
  ExpectUpgradeSays(BoxKind::Application, kTextSelectFile);

  // Accepted at Browse, refused at Upgrade: the file is read again from disk.
  const std::string path = folder.File(c.fileName, c.file);
  Browse(path);
  EXPECT_EQ(face.pathShown, path);
  if (c.version) {
    EXPECT_EQ(face.String(PageText::UpdateVersion), c.version);
  }
  EXPECT_EQ(face.focus, Control::Upgrade);
  folder.File(c.fileName, c.refusedFile);
  ExpectUpgradeSays(BoxKind::Application, c.refusedText);
  if (c.version) {
    EXPECT_EQ(face.String(PageText::UpdateVersion), kTextVersionError);
  }
  std::filesystem::remove(path);
  ExpectUpgradeSays(BoxKind::Application, kTextSelectFile);
  EXPECT_TRUE(sim.korva.Writes().empty());

  // The job, from the same path.
  folder.File(c.fileName, c.file);
  struct {
    int bar = -1;
    int maximum = -1;
    std::string percent;
    bool controls = true;
    int status = kJobIdle;
  } atBox;
  prompter.whileShown = [&](const RecordingPrompter::Box&) {
    atBox = {face.bar, face.barMaximum, face.Shown(PageText::Percent),
             face.Enabled(Control::Browse) || face.Enabled(Control::Upgrade) ||
                 (ir && face.Enabled(Control::SlotList)),
             JobStatus.load()};
  };
  std::optional<bool> controlsWhileRunning;
  face.afterMessage = [&](int, int wParam, long) {
    if (wParam == JOB_PROGRESS && !controlsWhileRunning)
      controlsWhileRunning = face.Enabled(Control::Browse) || face.Enabled(Control::Upgrade) ||
                             (ir && face.Enabled(Control::SlotList));
  };
  const std::size_t boxes = prompter.Boxes().size();
  page_->OnUpgrade();
  ASSERT_TRUE(WaitForIdle());
  ASSERT_EQ(prompter.Boxes().size(), boxes + 1);
  EXPECT_EQ(prompter.Boxes().back().kind, BoxKind::Window);
  EXPECT_EQ(prompter.Boxes().back().text, ServiceJobTextsOf(c.jobKind).succeeded);
  EXPECT_EQ(controlsWhileRunning, false);
  // While the final box is open: the bar at its end, the job not yet reset.
  EXPECT_GT(atBox.maximum, 1);
  EXPECT_EQ(atBox.bar, atBox.maximum);
  EXPECT_EQ(atBox.percent, "100%");  // the DSP job's header report makes no 102%
  EXPECT_FALSE(atBox.controls);
  EXPECT_EQ(atBox.status, kJobSucceeded);
  ExpectIdle();
  EXPECT_EQ(face.focus, Control::Browse);  // the next file
  c.expectOnTheAmp(sim.korva, c.file);
  EXPECT_TRUE(sim.korva.Violations().empty()) << sim.korva.Violations().front();
  EXPECT_EQ(face.filters, std::vector<std::string>{c.filter});
}

// A failing job, and a start that the amp refuses: the boxes of the dispatcher and the page,
// and the page idle again; a new Upgrade starts from the beginning.
TEST_P(EachFilePageTest, FailuresEndInTheirBoxesAndGiveThePageBack) {
  const PageCase& c = GetParam();
  const ServiceJobTexts& texts = ServiceJobTextsOf(c.jobKind);
  Page(c.jobKind);
  if (c.jobKind == kJobAudio) {
    face.slotText = "5";
    static_cast<dialogs::IrPage&>(*page_).OnSelchangeIndex();
  }
  Browse(folder.File(c.fileName, c.file));

  sim.korva.SetFaults({.unplugAfterDataReports = 40});
  page_->OnUpgrade();
  ASSERT_TRUE(WaitForIdle());
  EXPECT_EQ(prompter.Texts(), std::vector<std::string>{texts.failed});
  ExpectIdle();
  EXPECT_EQ(face.focus, Control::Upgrade);  // the same file again

  sim.korva.Plug();
  sim.korva.SetFaults({.acknowledgeLimit = 0});
  Upgrade();
  EXPECT_EQ(RunningWorkers(), 0);
  const char* initFailed = c.jobKind == kJobDsp ? kTextInitStatesFailed : kTextInitStatesFailedWide;
  EXPECT_EQ(prompter.Texts(),
            (std::vector<std::string>{texts.failed, initFailed, texts.startFailed}));
  EXPECT_EQ(prompter.Boxes()[2].kind, BoxKind::Window);
  ExpectIdle();

  // Another program holds the amp: the page box says who, and nothing is sent.
  sim.korva.SetFaults({});
  AmpLockAttempt other = TryLockAmp(kVirtualKorvaPath);
  const std::string inUse = AmpInUseText(TryLockAmp(kVirtualKorvaPath).holder);
  sim.korva.ClearLog();
  ExpectUpgradeSays(BoxKind::Window, inUse);
  EXPECT_TRUE(sim.korva.Writes().empty());
  other.lock.reset();

  page_->OnUpgrade();
  ASSERT_TRUE(WaitForIdle());
  EXPECT_EQ(prompter.Texts().back(), texts.succeeded);
  c.expectOnTheAmp(sim.korva, c.file);
}

INSTANTIATE_TEST_SUITE_P(Pages, EachFilePageTest, ::testing::ValuesIn(FilePageCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// The Bluetooth page: the busy prompt from each progress 99 until the final box opens, over two
// updates with the same file; "Upgrade" without the amp goes on while the link is with the
// module.
TEST_F(PageTest, TheBluetoothPagesBusyPromptAndItsChecks) {
  Page(kJobBluetooth);
  sim.korva.Unplug();
  ExpectUpgradeSays(BoxKind::Window, kTextConnectDevice);
  LinkMode.store(kLinkBluetooth);
  ExpectUpgradeSays(BoxKind::Application, kTextSelectFile);
  LinkMode.store(kLinkNone);
  sim.korva.Plug();
  Browse(folder.PathOf("gone.dfu"));
  EXPECT_EQ(prompter.Texts().back(), kTextOpenFileFailed);
  EXPECT_EQ(face.pathShown, folder.PathOf("gone.dfu"));
  const std::string path = folder.File("module.dfu", Pattern(5000, 3));
  Browse(path);
  Browse(std::nullopt);  // a cancel keeps the path
  EXPECT_EQ(face.pathShown, path);
  EXPECT_EQ(face.filters, std::vector<std::string>(3, "*.bin; *.dfu "));
  prompter.whileShown = nullptr;

  struct Step {
    long value;
    std::string percent;
    bool prompt;
    bool operator==(const Step&) const = default;
  };
  std::vector<Step> steps;
  face.afterMessage = [&](int, int wParam, long lParam) {
    if (wParam == JOB_PROGRESS)
      steps.push_back({lParam, face.Shown(PageText::Percent), face.busyPromptUp});
  };
  std::vector<bool> promptAtBox;
  prompter.whileShown = [&](const RecordingPrompter::Box&) {
    promptAtBox.push_back(face.busyPromptUp);
  };
  const std::size_t boxes = prompter.Boxes().size();
  sim.module.SetScript({.progress = {0, 50, 98, 99, 99, 100}});
  page_->OnUpgrade();
  ASSERT_TRUE(WaitForIdle());
  EXPECT_EQ(steps, (std::vector<Step>{{0, "0%", false},
                                      {50, "50%", false},
                                      {98, "98%", false},
                                      {99, "99%", true},
                                      {99, "99%", true},
                                      {100, "100%", true}}));
  EXPECT_EQ(face.busyPromptShowings, 2);
  sim.module.SetScript({.progress = {99, 100}});
  page_->OnUpgrade();
  ASSERT_TRUE(WaitForIdle());
  EXPECT_EQ(face.busyPromptShowings, 3);
  EXPECT_EQ(promptAtBox, (std::vector<bool>{false, false}));
  EXPECT_EQ(prompter.Texts().size(), boxes + 2);
  EXPECT_EQ(prompter.Texts().back(), kTextBluetoothSucceeded);
  EXPECT_EQ(sim.module.UpgradedFile(), path);
  ExpectIdle();
  // The page looked again once it had the final message: the amp is back.
  Settle();
  EXPECT_EQ(LinkMode.load(), kLinkHid);
}

// A Bluetooth update that the module reports as failed is tried again from the page without
// unplugging anything: the link stays with the module, and the retry connects to it again.
TEST_F(PageTest, TheBluetoothPageRetriesAFailedUpdate) {
  Page(kJobBluetooth);
  const std::string path = folder.File("module.dfu", Pattern(5000, 3));
  Browse(path);
  sim.module.SetScript({.result = 1});
  page_->OnUpgrade();
  ASSERT_TRUE(WaitForIdle());
  Settle();
  EXPECT_EQ(prompter.Texts().back(), kTextBluetoothFailed);
  EXPECT_EQ(LinkMode.load(), kLinkBluetooth);  // the amp's interface is gone, the module answers
  ExpectIdle();

  const std::size_t callsBefore = sim.module.Calls().size();
  sim.module.SetScript({});
  page_->OnUpgrade();
  ASSERT_TRUE(WaitForIdle());
  Settle();
  EXPECT_EQ(prompter.Texts().back(), kTextBluetoothSucceeded);
  const std::vector<std::string> calls = sim.module.Calls();
  EXPECT_EQ(std::count(calls.begin() + static_cast<long>(callsBefore), calls.end(), "connect"), 1);
  EXPECT_EQ(sim.module.UpgradedFile(), path);
  EXPECT_EQ(LinkMode.load(), kLinkHid);  // the module restarted and the amp is back
  ExpectIdle();
}

// The device thread's answers to the page, held back after the first `passing` until the test
// lets them go: so a job can end before its start's answer has come back, as it may when the
// threads run so.
class HoldingQueue final : public dialogs::GuiQueue {
 public:
  HoldingQueue(TestGui& gui, int passing) : gui_(gui), passing_(passing) {}
  void Post(std::function<void()> call) override {
    {
      std::lock_guard lock(mutex_);
      if (passing_ == 0) {
        held_.push_back(std::move(call));
        return;
      }
      --passing_;
    }
    gui_.Post(std::move(call));
  }
  bool Holding() {
    std::lock_guard lock(mutex_);
    return !held_.empty();
  }
  void Release() {
    std::vector<std::function<void()>> held;
    {
      std::lock_guard lock(mutex_);
      held.swap(held_);
      passing_ = -1;
    }
    for (auto& call : held) gui_.Post(std::move(call));
  }

 private:
  TestGui& gui_;
  std::mutex mutex_;
  int passing_;
  std::vector<std::function<void()>> held_;
};

// The job ends before the page has StartJob's answer. A failure waits for the answer, which
// tells the job's failure from the start's own; a success is acted on at once. Either way one
// page box, and the page free again once the answer has come; the amp's lock goes with the job.
TEST_F(PageTest, AJobThatEndsBeforeItsStartsAnswer) {
  struct Case {
    const char* name;
    VirtualBluetoothModule::Script script;
    const char* pageBox;
    bool boxBeforeTheAnswer;
  };
  const Case cases[] = {
      {"success", {.progress = {99, 100}}, kTextBluetoothSucceeded, true},
      {"update refused", {.upgradeResult = 1}, kTextBluetoothFailed, false},
  };
  const std::string path = folder.File("module.dfu", Pattern(5000, 3));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HoldingQueue answers(gui, 1);  // the presence test's answer passes, StartJob's is held
    dialogs::DeviceThread heldDevice(answers);
    dialogs::BluetoothPage page(face, face, heldDevice);
    face.window = &page;
    face.files.Add(path);
    page.OnBrowse();
    sim.module.SetScript(c.script);
    const std::size_t boxes = prompter.Boxes().size();
    bool ended = false;
    face.afterMessage = [&](int, int wParam, long) { ended = ended || wParam != JOB_PROGRESS; };
    page.OnUpgrade();
    ASSERT_TRUE(gui.PumpUntil([&] { return ended && answers.Holding(); }));
    EXPECT_TRUE(page.JobRunning());
    EXPECT_EQ(prompter.Boxes().size(), boxes + (c.boxBeforeTheAnswer ? 1 : 0));
    WaitForWorkers();
    answers.Release();
    ASSERT_TRUE(gui.PumpUntil([&] { return heldDevice.Idle(); }));
    ASSERT_EQ(prompter.Boxes().size(), boxes + 1);
    EXPECT_EQ(prompter.Boxes().back().kind, BoxKind::Window);
    EXPECT_EQ(prompter.Boxes().back().text, c.pageBox);
    EXPECT_FALSE(page.JobRunning());
    EXPECT_FALSE(UpdateUnderWay());
    EXPECT_EQ(TryLockAmp(kVirtualKorvaPath).outcome, AmpLockOutcome::Taken);
    face.afterMessage = nullptr;
    face.window = nullptr;
    // The amp back as itself, as after a power cycle.
    sim.module.SetPresent(false);
    sim.korva.Plug();
    LinkMode.store(kLinkHid);
  }
}

}  // namespace
}  // namespace korva::testing
