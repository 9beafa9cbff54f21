// The Bluetooth update library loaded at run time: which one is chosen, the refusal of one
// that cannot be used, a whole Bluetooth update through the in-tree scripted library, the
// refusal of a Bluetooth job when there is no library, the library layer's connect step, and
// the link probe that stays out of a running job.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "device/dfu_library_setup.h"
#include "device/hid_dfu.h"
#include "jobs/job_texts.h"
#include "jobs/link_probe.h"
#include "jobs/service_jobs.h"
#include "jobs/start_job.h"
#include "tests/shared/scripted_dfu.h"
#include "tests/shared/test_support.h"

namespace korva::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Calls = std::vector<std::string>;

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// A file of `length` bytes in the test's temporary folder.
// A file of the running test's own: CTest runs the tests of this fixture side by side.
std::string WriteFile(const std::string& name, std::size_t length) {
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const fs::path path =
      fs::path(::testing::TempDir()) / ("korva-dfu-" + std::string(test->name()) + "-" + name);
  std::ofstream(path, std::ios::binary) << std::string(length, '\x5A');
  return path.string();
}

JobMessage Bt(int wParam, long lParam) { return {WM_BLUETOOTH_JOB, wParam, lParam}; }

// The virtual module's calls, without the "lasterror" that follows every "connect".
Calls ModuleCalls(const VirtualBluetoothModule& module) {
  Calls calls = module.Calls();
  calls.erase(std::remove(calls.begin(), calls.end(), "lasterror"), calls.end());
  return calls;
}

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
    owner.filePath = WriteFile("module.dfu", 5000);
  }
};

TEST_F(DfuLibraryTest, LibrariesThatCannotBeUsedAreRefusedWithTheirPathOrFunction) {
  const std::string notALibrary = WriteFile("not-a-library.so", 100);
  const std::string missing = (fs::path(::testing::TempDir()) / "no-such-library.so").string();
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
      EXPECT_TRUE(Has(scope.Problem(), part)) << scope.Problem();
    EXPECT_TRUE(Has(
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
TEST_F(DfuLibraryTest, WithoutALibraryTheBluetoothJobSendsNothing) {
  DfuLibraryScope scope(
      ChooseDfuLibrary((fs::path(::testing::TempDir()) / "absent.so").string(), nullptr));
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

// A backend that checks that nothing comes between a connect and its last-error text, and
// counts the other thread's calls that came between two connection attempts.
class PairCheckingBackend final : public DfuBackend {
 public:
  int Connect(std::uint16_t, std::uint16_t, int, int, int*) override {
    std::lock_guard lock(mutex_);
    if (othersSincePair_ > 0) ++interleavings_;
    othersSincePair_ = 0;
    awaitingError_ = true;
    return 1;
  }
  std::string LastError() override {
    std::lock_guard lock(mutex_);
    awaitingError_ = false;
    return kDfuAlreadyConnected;
  }
  int Progress() override {
    std::lock_guard lock(mutex_);
    if (awaitingError_) ++cutIn_;
    ++othersSincePair_;
    return 0;
  }
  int Upgrade(const std::string&, int) override { return 1; }
  int Result() override { return 1; }
  int ResetDevice() override { return 1; }
  int Disconnect() override { return 1; }

  int CutIn() {
    std::lock_guard lock(mutex_);
    return cutIn_;
  }
  int Interleavings() {
    std::lock_guard lock(mutex_);
    return interleavings_;
  }

 private:
  std::mutex mutex_;
  bool awaitingError_ = false;
  int othersSincePair_ = 0;
  int cutIn_ = 0;          // calls between a connect and its last error
  int interleavings_ = 0;  // connects that followed a call of the other thread
};

// Another thread calls the library as fast as it can while connection attempts are made: its
// calls come between attempts, never between an attempt and its error text.
TEST(DfuLayerTest, NothingComesBetweenAConnectAndItsLastError) {
  PairCheckingBackend backend;
  SetDfuBackend(&backend);
  std::atomic<bool> done{false};
  std::thread other([&] {
    // A short spin between calls makes them arrive at any moment, not only when the lock is
    // handed on, so that a gap in the connect step would be found.
    std::atomic<unsigned> spin{0};
    for (unsigned n = 0; !done.load(); ++n) {
      hidDfuGetProgress();
      for (unsigned k = 0; k < n % 64; ++k) spin.fetch_add(1, std::memory_order_relaxed);
    }
  });
  int connected = 0;
  const auto end = std::chrono::steady_clock::now() + 500ms;
  while (std::chrono::steady_clock::now() < end) connected += ConnectBluetoothModuleOnce();
  done.store(true);
  other.join();
  SetDfuBackend(nullptr);
  EXPECT_GT(backend.Interleavings(), 0) << "the other thread never got a call in";
  EXPECT_EQ(backend.CutIn(), 0);
  EXPECT_GT(connected, 0);  // "Already connected", read in the same step, counts as connected
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
  std::atomic<bool> returned{false};
  std::thread starter;
  const bool ran = RunUnlessJobInProgress([&] {
    starter = std::thread([&] {
      EXPECT_EQ(StartJob(&owner, kJobBluetooth), 0);
      returned.store(true);
    });
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(returned.load());
  });
  starter.join();
  EXPECT_TRUE(ran);
  EXPECT_TRUE(returned.load());
  EXPECT_FALSE(JobInProgress());
}

}  // namespace
}  // namespace korva::testing
