// Shared test fixtures: virtual time, a simulated amp on a virtual bus, and a job owner and a
// prompter that record what they are given.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device/amp_lock.h"
#include "device/clock.h"
#include "device/command_protocol.h"
#include "device/hid_transport.h"
#include "device/link_mode.h"
#include "emulator/simulation.h"
#include "images/image_store.h"
#include "images/page_file.h"
#include "jobs/job_messages.h"
#include "jobs/job_owner.h"
#include "jobs/job_state.h"
#include "jobs/prompter.h"
#include "jobs/worker.h"
#include "tests/shared/scratch_folder.h"

namespace korva::testing {

struct JobMessage {
  int message;
  int wParam;
  long lParam;
  bool operator==(const JobMessage&) const = default;
};

// A job owner that records every message and lets a test wait for the final one.
class RecordingOwner : public JobOwner {
 public:
  RecordingOwner() = default;
  ~RecordingOwner() override { CutJobLink(); }
  void PostJobMessage(int message, int wParam, long lParam) override {
    std::function<void(const JobMessage&)> hook;
    {
      std::lock_guard lock(mutex_);
      messages_.push_back({message, wParam, lParam});
      hook = onMessage;
    }
    if (hook) hook({message, wParam, lParam});
    changed_.notify_all();
  }
  void PrepareProgressBar(int total) override {
    std::lock_guard lock(mutex_);
    progressTotals_.push_back(total);
  }
  std::string SlotIndexText() override { return slotIndexText; }
  std::string StoredFileName() override { return fileName; }
  std::string StoredFilePath() override { return filePath; }

  // Waits (in real time, at most 30 s) until `count` final messages have arrived and every
  // job thread has returned; then returns all messages.
  std::vector<JobMessage> WaitForFinal(int count = 1) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(30), [&] { return FinalCount() >= count; });
    lock.unlock();
    WaitForWorkers();
    return Messages();
  }
  std::vector<JobMessage> Messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
  }
  std::vector<int> ProgressTotals() const {
    std::lock_guard lock(mutex_);
    return progressTotals_;
  }
  // The lParams of the progress messages, in order.
  std::vector<long> ProgressValues() const {
    std::vector<long> values;
    for (const auto& m : Messages())
      if (m.wParam == JOB_PROGRESS) values.push_back(m.lParam);
    return values;
  }

  std::function<void(const JobMessage&)> onMessage;  // runs on the job thread
  std::string slotIndexText;
  std::string fileName;
  std::string filePath;

 private:
  int FinalCount() const {
    int n = 0;
    for (const auto& m : messages_) n += m.wParam != JOB_PROGRESS;
    return n;
  }
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<JobMessage> messages_;
  std::vector<int> progressTotals_;
};

// A prompter that records every box and closes it at once.
class RecordingPrompter : public Prompter {
 public:
  struct Box {
    BoxKind kind;
    std::string text;
    std::thread::id thread;  // that asked for the box
  };
  void ShowBox(BoxKind kind, const std::string& text) override {
    const Box box{kind, text, std::this_thread::get_id()};
    {
      std::lock_guard lock(mutex_);
      boxes_.push_back(box);
    }
    if (whileShown) whileShown(box);
  }
  std::vector<Box> Boxes() const {
    std::lock_guard lock(mutex_);
    return boxes_;
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& box : Boxes()) texts.push_back(box.text);
    return texts;
  }

  // Runs while a box is "open", on the thread that asked for it (set it before any job runs).
  std::function<void(const Box&)> whileShown;

 private:
  mutable std::mutex mutex_;
  std::vector<Box> boxes_;
};

// Virtual time with hooks that run after every pause: one for every thread but the one that
// made the clock (the test's), one for that thread. It is the process's clock while it lives;
// the plain virtual clock is again when it goes, also when an ASSERT ends the test early.
class HookedClock final : public Clock {
 public:
  explicit HookedClock(VirtualClock& inner) : inner_(inner) { SetProcessClock(this); }
  ~HookedClock() override { SetProcessClock(&inner_); }
  HookedClock(const HookedClock&) = delete;
  HookedClock& operator=(const HookedClock&) = delete;
  void Pause(int ms) override {
    inner_.Pause(ms);
    const bool onMain = std::this_thread::get_id() == mainThread_;
    if (onMain && mainHook) mainHook();
    if (!onMain && hook) hook();
  }
  std::int64_t NowMs() const override { return inner_.NowMs(); }
  std::function<void()> hook;      // after every pause of another thread (a job, the device thread)
  std::function<void()> mainHook;  // after every pause of the main thread

 private:
  VirtualClock& inner_;
  std::thread::id mainThread_ = std::this_thread::get_id();
};

// Holds the threads that pass it while it is closed: with a HookedClock, a test stops the
// device thread or a job in the middle of a call and looks at the program meanwhile.
class Gate {
 public:
  void Close() {
    std::lock_guard lock(mutex_);
    open_ = false;
  }
  void Open() {
    {
      std::lock_guard lock(mutex_);
      open_ = true;
    }
    changed_.notify_all();
  }
  void Pass() {
    std::unique_lock lock(mutex_);
    ++held_;
    changed_.notify_all();
    changed_.wait(lock, [&] { return open_; });
    --held_;
  }
  // Waits (at most 10 s of real time) until a thread is held.
  bool WaitUntilHeld() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return held_ > 0; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = true;
  int held_ = 0;
};

// A job that ran to its end: progress messages counting 1 to `total` in order, then its one
// JOB_DONE.
inline void ExpectCompleteRun(const std::vector<JobMessage>& messages, int message, long total) {
  ASSERT_EQ(messages.size(), static_cast<std::size_t>(total) + 1);
  for (long i = 0; i < total; ++i)
    ASSERT_EQ(messages[i], (JobMessage{message, JOB_PROGRESS, i + 1}));
  EXPECT_EQ(messages.back(), (JobMessage{message, JOB_DONE, 0}));
}

// Another HID interface on the bus, of no interest to the updater (a keyboard unless told
// otherwise). It counts what it is sent, and answers a read with nothing or, with
// `answersReads`, with as many counting bytes (1, 2, 3, ...) as the read asks for.
class OtherHidDevice final : public VirtualHidDevice {
 public:
  OtherHidDevice() : OtherHidDevice("/dev/hidraw-keyboard", 0x046D, 0xC31C) {}
  OtherHidDevice(std::string path, std::uint16_t vendorId, std::uint16_t productId,
                 bool answersReads = false)
      : info_{std::move(path), vendorId, productId}, answersReads_(answersReads) {}
  HidInterfaceInfo Info() const override { return info_; }
  bool OnWrite(const std::uint8_t*, std::size_t) override {
    writes.fetch_add(1);
    return true;
  }
  int OnRead(std::uint8_t* data, std::size_t length) override {
    if (!answersReads_) return 0;
    for (std::size_t i = 0; i < length; ++i) data[i] = static_cast<std::uint8_t>(i + 1);
    return static_cast<int>(length);
  }
  std::atomic<int> writes{0};

 private:
  HidInterfaceInfo info_;
  bool answersReads_;
};

inline bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The amp's MCU and DSP memories after an update with the carried images (loaded into the
// image stores): the MCU image padded with 0xFF to whole KiB blocks, and the DSP data after
// its 16-byte header padded with 0xFF to whole reports.
inline constexpr std::size_t kCarriedMcuLength = 47120;
inline constexpr std::size_t kCarriedDspEnd = 137436;
inline constexpr std::size_t kCarriedDspReports = 2148;
inline std::vector<std::uint8_t> CarriedMcuMemory() {
  const std::size_t blocks = (kCarriedMcuLength + kMcuBlockBytes - 1) / kMcuBlockBytes;
  std::vector<std::uint8_t> memory(blocks * kMcuBlockBytes, 0xFF);
  std::copy_n(Images().McuImageBuffer.begin(), kCarriedMcuLength, memory.begin());
  return memory;
}
inline std::vector<std::uint8_t> CarriedDspMemory() {
  std::vector<std::uint8_t> memory(kCarriedDspReports * kPayloadLength, 0xFF);
  const auto& buffer = Images().DspImageBuffer;
  std::copy(buffer.begin() + kDspHeaderBytes, buffer.begin() + kCarriedDspEnd, memory.begin());
  return memory;
}

// Resets every owner's process-wide state, installs virtual time and a simulated amp.
class KorvaTest : public ::testing::Test {
 protected:
  KorvaTest() : sim(clock) {
    // The amps' locks of this test alone: tests run side by side, each with its virtual amp.
    SetAmpLockFolder(lockFolder.Path());
    ResetProtocolState();
    ResetJobState();
    ResetImageStore();
    ResetPageFileState();
    LinkMode.store(kLinkNone);
    SetProcessClock(&clock);
    SetAppPrompter(&prompter);
  }
  ~KorvaTest() override {
    WaitForWorkers();
    SetAppPrompter(nullptr);
    SetProcessClock(nullptr);
    SetAmpLockFolder({});
  }

  // A read from the amp when it sends nothing: 0 after exactly the 3000 ms limit, with byte 0
  // of the buffer cleared.
  void ExpectSilentReadFailsAtTheLimit() {
    sim.korva.SetFaults({.readsTimeOut = true});
    std::array<std::uint8_t, kReportLength> buffer;
    buffer.fill(0xAA);
    const auto before = clock.NowMs();
    EXPECT_EQ(ReadReport(buffer.data()), 0);
    EXPECT_EQ(clock.NowMs() - before, kReportTimeoutMs);
    EXPECT_EQ(buffer[0], 0);
  }

  // The payloads of the writes that the amp saw, from index `from` on.
  std::vector<VirtualKorva::WireReport> Writes() const { return sim.korva.Writes(); }

  ScratchFolder lockFolder{"korva-locks"};
  VirtualClock clock;
  Simulation sim;
  RecordingOwner owner;
  RecordingPrompter prompter;
};

}  // namespace korva::testing
