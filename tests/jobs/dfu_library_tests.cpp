// The Bluetooth update library loaded at run time: which one is chosen, the refusal of one
// that cannot be used, a whole Bluetooth update and its retry through the in-tree scripted
// library, a library that hangs, the refusal of a Bluetooth job when there is no library, the
// library layer's connect step, and the link probe that stays out of a running job.
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>

#include "device/dfu_library_setup.h"
#include "device/hid_dfu.h"
#include "jobs/job_texts.h"
#include "jobs/link_probe.h"
#include "jobs/service_jobs.h"
#include "jobs/start_job.h"
#include "tests/jobs/job_test_support.h"
#include "tests/shared/scripted_dfu.h"

namespace korva::testing {
namespace {

namespace fs = std::filesystem;

TEST(DfuLibraryChoiceTest, OptionThenVariableThenInstalledPlace) {
  const std::string installed = InstalledDfuLibraryPath();
#ifdef _WIN32
  // Beside the program, wherever its zip was unpacked.
  EXPECT_TRUE(installed.ends_with("\\korva-dfu.dll")) << installed;
  EXPECT_TRUE(
      std::filesystem::exists(std::filesystem::path(installed).parent_path() /
                              "device_tests.exe") ||
      std::filesystem::exists(std::filesystem::path(installed).parent_path() / "jobs_tests.exe"))
      << installed;
#else
  EXPECT_TRUE(installed.ends_with("/korva-updater/libkorva-dfu.so")) << installed;
#endif
  EXPECT_EQ(ChooseDfuLibrary("/opt/a.so", "/opt/b.so").path, "/opt/a.so");
  EXPECT_EQ(ChooseDfuLibrary("", "/opt/b.so").path, "/opt/b.so");
  EXPECT_EQ(ChooseDfuLibrary("", "").path, installed);  // an empty variable counts as unset
  EXPECT_EQ(ChooseDfuLibrary("", nullptr).source, DfuLibrarySource::InstalledPlace);
}

class DfuLibraryTest : public KorvaTest {
 protected:
  DfuLibraryTest() {
    LinkMode.store(kLinkHid);
    owner.filePath = files.File("module.dfu", Bytes(5000, 0x5A));
  }
  // Waits until the scripted library's hanging call has been entered `times` times.
  static void WaitUntilEntered(const ScriptedDfuControls& module, int times) {
    while (module.HangEntered() < times) std::this_thread::yield();
  }

  ScratchFolder files{"korva-dfu"};
};

TEST_F(DfuLibraryTest, LibrariesThatCannotBeUsedAreRefusedWithTheirPathOrFunction) {
  const std::string notALibrary = files.File("not-a-library.so", Bytes(100, 0x5A));
  const std::string missing = files.PathOf("no-such-library.so");
  struct Case {
    const char* name;
    DfuLibraryChoice choice;
    std::vector<std::string> problem;  // parts of the problem text
    bool mentionedAtStart;
  };
  // A vector, not an array: GCC 12 at -O3 wrongly warns (-Wmaybe-uninitialized) about the
  // strings of an array of these cases.
  const std::vector<Case> cases = {
      {"no file",
       {missing, DfuLibrarySource::Option},
       {"no file at " + missing + " (named by --dfu-library)"},
       true},
      {"nothing at the installed place",
       {missing, DfuLibrarySource::InstalledPlace},
       {"no file at " + missing + " (the installed place)"},
       false},
      {"a relative path is taken from the current folder",
       {"no-such-library.so", DfuLibrarySource::Option},
       {"no file at " + (fs::current_path() / "no-such-library.so").string()},
       true},
      {"not a library",
       {notALibrary, DfuLibrarySource::Variable},
       {notALibrary + " cannot be loaded: ", "(named by KORVA_DFU_LIBRARY)"},
       true},
      {"a function missing",
       {KORVA_SCRIPTED_DFU_WITHOUT_RESULT, DfuLibrarySource::Option},
       {fs::absolute(KORVA_SCRIPTED_DFU_WITHOUT_RESULT).string() +
        " lacks the function hidDfuGetResult"},
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DfuLibraryScope scope(c.choice);
    EXPECT_FALSE(scope.Loaded());
    for (const std::string& part : c.problem)
      EXPECT_TRUE(Contains(scope.Problem(), part)) << scope.Problem();
    EXPECT_TRUE(Contains(
        scope.Problem(),
        "\nThe library is looked for at --dfu-library=PATH, else at $KORVA_DFU_LIBRARY, else at " +
            InstalledDfuLibraryPath() + "."));
    EXPECT_EQ(scope.WorthMentioning(), c.mentionedAtStart);
    EXPECT_FALSE(HaveDfuBackend());
    EXPECT_EQ(NoDfuBackendReason(), scope.Problem());
    // Nothing answers in the library's place.
    EXPECT_FALSE(ConnectBluetoothModuleOnce());
  }
  EXPECT_TRUE(sim.module.Calls().empty());
}

// The job through the scripted library, loaded by the program's own loader: the amp hands its
// link over, the library connects at its second attempt, reads the whole file and reports.
TEST_F(DfuLibraryTest, BluetoothUpdateThroughTheLoadedLibrary) {
  ScriptedDfuControls module;
  DfuLibraryScope scope(ChooseDfuLibrary(KORVA_SCRIPTED_DFU, nullptr));
  ASSERT_TRUE(scope.Loaded()) << scope.Problem();
  EXPECT_TRUE(HaveDfuBackend());
  EXPECT_EQ(NoDfuBackendReason(), "");

  module.Script(1, {0, 40, 99, 100});
  ASSERT_EQ(StartJob(&owner, kJobBluetooth), 1);
  EXPECT_EQ(
      owner.WaitForFinal(),
      (std::vector<JobMessage>{Bt(JOB_PROGRESS, 0), Bt(JOB_PROGRESS, 40), Bt(JOB_PROGRESS, 99),
                               Bt(JOB_PROGRESS, 100), Bt(JOB_DONE, 0)}));
  EXPECT_EQ(
      module.Journal(),
      "connect lasterror connect lasterror upgrade progress progress progress progress result "
      "reset disconnect");
  EXPECT_EQ(module.UpgradedBytes(), 5000);
  EXPECT_EQ(DfuConnectAttempts.load(), 1);
  EXPECT_EQ(LinkMode.load(), kLinkBluetooth);
  // "INITSTA" and its poll, "UA" and its poll, "UB".
  const auto w = Writes();
  ASSERT_EQ(w.size(), 5u);
  EXPECT_EQ(w.back().Payload(0), 'U');
  EXPECT_EQ(w.back().Payload(1), 'B');
  EXPECT_TRUE(sim.module.Calls().empty());  // the virtual module took no part
}

// Without a library the module could not be reached after "UB": nothing goes to the amp,
// whatever LinkMode says, and the box says why and where the library is looked for.
// An update that failed through the library closed its connection, while the amp's link stayed
// with the module: settling finds the module answering (LinkMode 2), and Upgrade again goes
// straight to the module, connects anew and succeeds, with nothing unplugged.
TEST_F(DfuLibraryTest, ARetryAfterAFailedUpdateSucceeds) {
  ScriptedDfuControls module;
  DfuLibraryScope scope(ChooseDfuLibrary(KORVA_SCRIPTED_DFU, nullptr));
  ASSERT_TRUE(scope.Loaded()) << scope.Problem();
  module.Script(0, {0, 50, 100});
  ASSERT_EQ(StartJob(&owner, kJobBluetooth), 1);
  EXPECT_EQ(owner.WaitForFinal().back(), Bt(JOB_FAILED, 100));
  JobStatus.store(kJobIdle);
  SettleLinkModeAfterJob();
  EXPECT_EQ(LinkMode.load(), kLinkBluetooth);
  const std::size_t writes = Writes().size();

  module.Script(0, {60, 99, 100});
  RecordingOwner retry;
  retry.filePath = owner.filePath;
  ASSERT_EQ(StartJob(&retry, kJobBluetooth), 1);
  EXPECT_EQ(retry.WaitForFinal().back(), Bt(JOB_DONE, 0));
  EXPECT_EQ(module.Journal(),
            "connect lasterror upgrade progress progress progress result reset disconnect");
  EXPECT_EQ(module.UpgradedBytes(), 5000);
  EXPECT_EQ(Writes().size(), writes);  // no "INITSTA", no switch: the amp is not there
}

// A library that never returns from a call holds only its own thread: a probe gives up at its
// limit (virtual time here), a program asked to end stops waiting for the update's call, and
// from then on nothing goes into the library; the user is told what that leaves the module with.
TEST_F(DfuLibraryTest, ALibraryThatHangsIsGivenUpAndNotCalledAgain) {
  ScriptedDfuControls module;
  {
    DfuLibraryScope scope(ChooseDfuLibrary(KORVA_SCRIPTED_DFU, nullptr));
    module.Hang("connect");
    bool connected = true;
    std::thread probe([&] { connected = ConnectBluetoothModuleOnce(kDfuProbeCallLimitMs); });
    WaitUntilEntered(module, 1);
    clock.Pause(kDfuProbeCallLimitMs);
    probe.join();
    EXPECT_FALSE(connected);
    EXPECT_TRUE(DfuLibraryStuck());
    EXPECT_EQ(hidDfuDisconnect(), -1);
    EXPECT_FALSE(ConnectBluetoothModuleOnce());
    EXPECT_EQ(module.Journal(), "connect");
    EXPECT_EQ(TakeDfuStuckText(),
              "The Bluetooth update library did not return from hidDfuConnect. Nothing was "
              "written to the module. Switch the KORVA off and on before using its Bluetooth.");
    EXPECT_EQ(TakeDfuStuckText(), "");  // said once
    // No Bluetooth job starts on it: the amp would hand its link to a module nobody can reach.
    EXPECT_EQ(StartJob(&owner, kJobBluetooth), 0);
    JobStatus.store(kJobIdle);
    EXPECT_TRUE(Writes().empty());
    EXPECT_EQ(prompter.Texts(), std::vector<std::string>{DfuStuckText()});
  }
  {
    DfuLibraryScope scope(ChooseDfuLibrary(KORVA_SCRIPTED_DFU, nullptr));
    EXPECT_FALSE(DfuLibraryStuck());
    module.Hang(nullptr);  // the first call stays where it is
    module.Script(0, {10, 20});
    ASSERT_TRUE(ConnectBluetoothModuleOnce());
    LinkMode.store(kLinkBluetooth);
    module.Hang("progress");
    ASSERT_EQ(StartJob(&owner, kJobBluetooth), 1);
    WaitUntilEntered(module, 1);
    EXPECT_EQ(StopWaitingForDfuCall(), true);
    EXPECT_EQ(owner.WaitForFinal(), (std::vector<JobMessage>{Bt(JOB_FAILED, 100)}));
    EXPECT_EQ(module.Journal(), "connect lasterror upgrade progress");  // no disconnect reaches it
    EXPECT_NE(DfuStuckText().find("hidDfuGetProgress. The module's update had started and not "
                                  "ended: its firmware may be incomplete."),
              std::string::npos)
        << DfuStuckText();
    EXPECT_FALSE(StopWaitingForDfuCall());  // nothing is waited for any more
  }
  module.Release();  // the two calls come back; the library was never unloaded under them
}

TEST_F(DfuLibraryTest, WithoutALibraryTheBluetoothJobSendsNothing) {
  DfuLibraryScope scope(ChooseDfuLibrary(files.PathOf("absent.so"), nullptr));
  for (int linkMode : {kLinkHid, kLinkBluetooth}) {
    LinkMode.store(linkMode);
    EXPECT_EQ(StartJob(&owner, kJobBluetooth), 0);
    JobStatus.store(kJobIdle);
  }
  EXPECT_TRUE(Writes().empty());
  EXPECT_TRUE(sim.korva.Plugged());
  EXPECT_TRUE(owner.Messages().empty());
  EXPECT_EQ(RunningWorkers(), 0);
  const std::string box = std::string(kTextBluetoothLibraryMissing) + "\n" + scope.Problem();
  EXPECT_EQ(prompter.Texts(), (std::vector<std::string>{box, box}));
  EXPECT_EQ(prompter.Boxes().front().kind, BoxKind::Application);
}

// A backend that notes its calls in the order they come, and runs `duringConnect` inside
// every connect.
class OrderedBackend final : public DfuBackend {
 public:
  int Connect(std::uint16_t, std::uint16_t, int, int, int*) override {
    Note("connect");
    if (duringConnect) duringConnect();
    return 1;
  }
  std::string LastError() override {
    Note("lasterror");
    return kDfuAlreadyConnected;
  }
  int Progress() override {
    Note("progress");
    return 0;
  }
  int Upgrade(const std::string&, int) override { return 1; }
  int Result() override { return 1; }
  int ResetDevice() override { return 1; }
  int Disconnect() override { return 1; }

  Calls Noted() {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  std::function<void()> duringConnect;

 private:
  void Note(const char* call) {
    std::lock_guard lock(mutex_);
    calls_.push_back(call);
  }
  std::mutex mutex_;
  Calls calls_;
};

// Inside every connection attempt another thread calls the library: its call comes after the
// attempt's error text, never between the two.
TEST(DfuLayerTest, NothingComesBetweenAConnectAndItsLastError) {
  constexpr int kAttempts = 200;
  OrderedBackend backend;
  SetDfuBackend(&backend);
  int connected = 0;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    std::thread other;
    std::atomic<bool> calling{false};
    backend.duringConnect = [&] {
      other = std::thread([&] {
        calling.store(true);
        hidDfuGetProgress();
      });
      while (!calling.load()) std::this_thread::yield();
    };
    connected += ConnectBluetoothModuleOnce();
    other.join();
  }
  SetDfuBackend(nullptr);
  Calls expected;
  for (int attempt = 0; attempt < kAttempts; ++attempt)
    expected.insert(expected.end(), {"connect", "lasterror", "progress"});
  EXPECT_EQ(backend.Noted(), expected);
  // "Already connected", read in the same step, counts as connected.
  EXPECT_EQ(connected, kAttempts);
}

// The welcome window's probe, made on every change of the bus at the moment it happens.
class LinkProbeTest : public KorvaTest {
 protected:
  LinkProbeTest() {
    LinkMode.store(kLinkHid);
    owner.filePath = "/firmware/module.dfu";
    sim.bus.SetChangeListener([this] {
      const ProbeOutcome outcome = ProbeLinkMode(ProbeForm::Full);
      std::lock_guard lock(mutex_);
      outcomes_.push_back(outcome);
    });
  }
  ~LinkProbeTest() override { sim.bus.SetChangeListener(nullptr); }

  std::vector<ProbeOutcome> Outcomes() {
    std::lock_guard lock(mutex_);
    return outcomes_;
  }

 private:
  std::mutex mutex_;
  std::vector<ProbeOutcome> outcomes_;
};

// "UB" takes the amp's interface away, another device comes halfway, the module's restart
// brings the amp back: three device changes, and none of them touches the library or LinkMode.
TEST_F(LinkProbeTest, DeviceChangesDuringABluetoothUpdateDisturbNothing) {
  sim.module.SetScript({.progress = {0, 50, 99, 100}});
  OtherHidDevice other;
  int linkMidway = -1;
  std::size_t callsBefore = 0, callsAfter = 0;
  owner.onMessage = [&](const JobMessage& m) {
    if (m.wParam != JOB_PROGRESS || m.lParam != 50) return;
    callsBefore = sim.module.Calls().size();
    sim.bus.Attach(&other);
    callsAfter = sim.module.Calls().size();
    linkMidway = LinkMode.load();
  };
  ASSERT_EQ(StartJob(&owner, kJobBluetooth), 1);
  EXPECT_EQ(owner.WaitForFinal().back(), Bt(JOB_DONE, 0));

  EXPECT_EQ(Outcomes(), std::vector<ProbeOutcome>(3, ProbeOutcome::JobRunning));
  EXPECT_EQ(callsAfter, callsBefore);
  EXPECT_EQ(linkMidway, kLinkBluetooth);
  EXPECT_EQ(ModuleCalls(sim.module),
            (Calls{"connect", "upgrade", "progress", "progress", "progress", "progress", "result",
                   "reset", "disconnect"}));
  EXPECT_EQ(LinkMode.load(), kLinkBluetooth);

  // Once the owner has the final message, the amp's return is caught, without the library.
  const Calls jobCalls = sim.module.Calls();
  SettleLinkModeAfterJob();
  EXPECT_EQ(LinkMode.load(), kLinkHid);
  EXPECT_EQ(sim.module.Calls(), jobCalls);
  sim.bus.SetChangeListener(nullptr);
  sim.bus.Detach(&other);
}

// An update that failed leaves the link with the module (the amp is not back): settling finds
// the module answering and sets LinkMode 2 for another attempt; once the module has gone too it
// sets 0, whatever the job left. The next device change is probed as usual.
TEST_F(LinkProbeTest, AfterAFailedUpdateLinkModeIsSetFromWhatIsFound) {
  sim.module.SetScript({.progress = {97, 98, 100}});
  ASSERT_EQ(StartJob(&owner, kJobBluetooth), 1);
  EXPECT_EQ(owner.WaitForFinal().back(), Bt(JOB_FAILED, 100));
  Calls expected = sim.module.Calls();

  LinkMode.store(kLinkNone);  // whatever it was, it is set from what answers
  SettleLinkModeAfterJob();
  EXPECT_EQ(LinkMode.load(), kLinkBluetooth);
  expected.insert(expected.end(), {"connect", "lasterror", "disconnect"});
  EXPECT_EQ(sim.module.Calls(), expected);
  EXPECT_FALSE(DfuConnectionOpen());

  EXPECT_EQ(ProbeLinkMode(ProbeForm::Full), ProbeOutcome::AmpAbsent);
  EXPECT_EQ(LinkMode.load(), kLinkNone);
  expected.insert(expected.end(), {"connect", "lasterror", "disconnect"});
  EXPECT_EQ(sim.module.Calls(), expected);

  sim.module.SetScript({.failedConnects = -1});
  LinkMode.store(kLinkBluetooth);
  SettleLinkModeAfterJob();
  EXPECT_EQ(LinkMode.load(), kLinkNone);
}

// A StartJob from another thread waits until a probe that runs has finished, so that a window
// and a job never talk to the amp or the library at the same time.
TEST_F(LinkProbeTest, AStartJobWaitsForARunningProbe) {
  SetNoDfuBackend("none");  // the Bluetooth job then refuses at once, sending nothing
  std::mutex mutex;
  std::vector<std::string> order;
  const auto note = [&](const char* step) {
    std::lock_guard lock(mutex);
    order.push_back(step);
  };
  std::thread starter;
  std::atomic<bool> starting{false};
  const bool ran = RunUnlessJobInProgress([&] {
    starter = std::thread([&] {
      starting.store(true);
      EXPECT_EQ(StartJob(&owner, kJobBluetooth), 0);
      note("StartJob returned");
    });
    while (!starting.load()) std::this_thread::yield();
    note("probe ends");
  });
  starter.join();
  EXPECT_TRUE(ran);
  EXPECT_EQ(order, (std::vector<std::string>{"probe ends", "StartJob returned"}));
  EXPECT_FALSE(JobInProgress());
}

}  // namespace
}  // namespace korva::testing
