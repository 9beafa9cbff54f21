// Serialises the library calls of two threads, routes them to the installed backend, and makes
// a loaded library's calls on a thread of its own so that a call that never returns holds
// nobody but that thread.
#include "device/hid_dfu.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "device/clock.h"
#include "device/protocol.h"
#include "support/support_log.h"

namespace korva {
namespace {

constexpr const char* kNoLibraryLoaded = "No Bluetooth update library was loaded.";
// How often a waiting caller looks at the clock and at a request to stop waiting.
constexpr std::chrono::milliseconds kWaitSlice{10};
// What a call that did not return gives back.
constexpr int kNoAnswer = -1;

// The thread that makes a loaded library's calls, one at a time. It is shared with the thread
// itself, which keeps it alive when it never comes back from a call.
struct LibraryThread {
  std::mutex mutex;
  std::condition_variable changed;
  std::function<void()> work;  // the call waiting to be made
  std::uint64_t posted = 0;
  std::uint64_t finished = 0;
};

void Serve(const std::shared_ptr<LibraryThread>& thread) {
  for (;;) {
    std::function<void()> work;
    {
      std::unique_lock lock(thread->mutex);
      thread->changed.wait(lock, [&] { return static_cast<bool>(thread->work); });
      work = std::move(thread->work);
      thread->work = nullptr;
    }
    work();
    {
      std::lock_guard lock(thread->mutex);
      ++thread->finished;
    }
    thread->changed.notify_all();
  }
}

std::mutex g_mutex;  // one call at a time; everything below but the wait's state
std::optional<NoDfuBackend> g_none{std::in_place, kNoLibraryLoaded};
DfuBackend* g_backend = &*g_none;
std::shared_ptr<LibraryThread> g_thread;  // started with the first call into a loaded library
bool g_connected = false;
bool g_updating = false;  // an update was started and has not read 100
std::string g_stuckCall;  // the call that did not return; empty while none
bool g_stuckSaid = false;
thread_local std::string t_lastError;

// The wait in progress, under a lock of its own, so that it can be given up from another thread
// while the caller holds g_mutex.
std::mutex g_waitMutex;
const char* g_waitingFor = nullptr;
std::int64_t g_waitingSinceMs = 0;
bool g_stopWaiting = false;

void StartWait(const char* name) {
  std::lock_guard lock(g_waitMutex);
  g_waitingFor = name;
  g_waitingSinceMs = ProcessClock().NowMs();
  g_stopWaiting = false;
}

void EndWait() {
  std::lock_guard lock(g_waitMutex);
  g_waitingFor = nullptr;
}

bool StopAsked() {
  std::lock_guard lock(g_waitMutex);
  return g_stopWaiting;
}

// Makes `call` on the backend, with g_mutex held. `call` holds nothing of its caller's by
// reference: the library thread may make it after the caller has stopped waiting: at once for a
// backend that cannot hang, else on the library thread, waiting at most `limitMs`. `noAnswer` is
// the result of a call that is not made (the library is stuck) or not waited for to its end.
template <typename Result>
Result Call(const char* name, int limitMs, Result noAnswer,
            const std::function<Result(DfuBackend&)>& call) {
  if (!g_stuckCall.empty()) return noAnswer;
  DfuBackend* backend = g_backend;
  if (!backend->MayHang()) return call(*backend);
  if (!g_thread) {
    g_thread = std::make_shared<LibraryThread>();
    std::thread([thread = g_thread] { Serve(thread); }).detach();
  }
  const std::shared_ptr<LibraryThread> thread = g_thread;
  auto answer = std::make_shared<std::optional<Result>>();
  StartWait(name);
  const std::int64_t deadline = ProcessClock().NowMs() + limitMs;
  std::unique_lock lock(thread->mutex);
  const std::uint64_t ticket = ++thread->posted;
  thread->work = [answer, backend, call] { *answer = call(*backend); };
  thread->changed.notify_all();
  while (thread->finished < ticket) {
    if (StopAsked() || ProcessClock().NowMs() >= deadline) {
      lock.unlock();
      EndWait();
      g_stuckCall = name;
      g_thread.reset();  // that thread may never come back: a new backend gets a new one
      SupportLog(std::string("the Bluetooth update library did not return from ") + name +
                 "; no further call goes into it");
      return noAnswer;
    }
    thread->changed.wait_for(lock, kWaitSlice);
  }
  lock.unlock();
  EndWait();
  return answer->value_or(noAnswer);
}

void Install(DfuBackend* backend) {
  g_backend = backend;
  g_connected = false;
  g_updating = false;
  g_stuckCall.clear();
  g_stuckSaid = false;
}

}  // namespace

void SetDfuBackend(DfuBackend* backend) {
  if (!backend) {
    SetNoDfuBackend(kNoLibraryLoaded);
    return;
  }
  std::lock_guard lock(g_mutex);
  Install(backend);
}

void SetNoDfuBackend(const std::string& reason) {
  std::lock_guard lock(g_mutex);
  g_none.emplace(reason);
  Install(&*g_none);
}

bool HaveDfuBackend() {
  std::lock_guard lock(g_mutex);
  return g_backend != &*g_none;
}

std::string NoDfuBackendReason() {
  std::lock_guard lock(g_mutex);
  return g_backend == &*g_none ? g_none->Reason() : std::string();
}

int hidDfuConnect(std::uint16_t vendorId, std::uint16_t productId, int reserved1, int reserved2,
                  int* handleOut) {
  std::lock_guard lock(g_mutex);
  // The library writes into a variable of its own thread's call, never into the caller's,
  // which may be gone when a call that was given up returns.
  const bool withHandle = handleOut != nullptr;
  const int initial = withHandle ? *handleOut : 0;
  using Answer = std::pair<int, int>;  // result, handle
  const Answer answer =
      Call<Answer>("hidDfuConnect", kDfuCallLimitMs, {kNoAnswer, initial}, [=](DfuBackend& b) {
        int handle = initial;
        const int result =
            b.Connect(vendorId, productId, reserved1, reserved2, withHandle ? &handle : nullptr);
        return Answer{result, handle};
      });
  if (withHandle) *handleOut = answer.second;
  if (answer.first == 0) g_connected = true;
  return answer.first;
}

const char* hidDfuGetLastError() {
  std::lock_guard lock(g_mutex);
  t_lastError = g_stuckCall.empty()
                    ? Call<std::string>("hidDfuGetLastError", kDfuCallLimitMs, {},
                                        [](DfuBackend& b) { return b.LastError(); })
                    : "The Bluetooth update library did not return from " + g_stuckCall + ".";
  return t_lastError.c_str();
}

int hidDfuUpgrade(const char* filePath, int reserved) {
  std::lock_guard lock(g_mutex);
  const std::string path = filePath ? filePath : "";
  const int result =
      Call<int>("hidDfuUpgrade", kDfuCallLimitMs, kNoAnswer,
                [path, reserved](DfuBackend& b) { return b.Upgrade(path, reserved); });
  g_updating = result == 0 || !g_stuckCall.empty();
  return result;
}

int hidDfuGetProgress() {
  std::lock_guard lock(g_mutex);
  const int progress = Call<int>("hidDfuGetProgress", kDfuCallLimitMs, kNoAnswer,
                                 [](DfuBackend& b) { return b.Progress(); });
  if ((progress & kDfuProgressMask) == kDfuProgressEnded) g_updating = false;
  return progress;
}

int hidDfuGetResult() {
  std::lock_guard lock(g_mutex);
  return Call<int>("hidDfuGetResult", kDfuCallLimitMs, kNoAnswer,
                   [](DfuBackend& b) { return b.Result(); });
}

int hidDfuResetDevice() {
  std::lock_guard lock(g_mutex);
  return Call<int>("hidDfuResetDevice", kDfuCallLimitMs, kNoAnswer,
                   [](DfuBackend& b) { return b.ResetDevice(); });
}

int hidDfuDisconnect() {
  std::lock_guard lock(g_mutex);
  g_connected = false;
  return Call<int>("hidDfuDisconnect", kDfuCallLimitMs, kNoAnswer,
                   [](DfuBackend& b) { return b.Disconnect(); });
}

bool ConnectBluetoothModuleOnce(int limitMs) {
  std::lock_guard lock(g_mutex);
  const bool connected = Call<bool>("hidDfuConnect", limitMs, false, [](DfuBackend& b) {
    int handle = 0;  // the library wants a variable of ours; it is never read
    const int result = b.Connect(kBluetoothVendorId, kBluetoothProductId, 0, 0, &handle);
    const std::string error = b.LastError();
    return result == 0 || error == kDfuAlreadyConnected;
  });
  if (connected) g_connected = true;
  return connected;
}

bool DfuConnectionOpen() {
  std::lock_guard lock(g_mutex);
  return g_connected;
}

bool DfuLibraryStuck() {
  std::lock_guard lock(g_mutex);
  return !g_stuckCall.empty();
}

std::int64_t DfuCallWaitedMs() {
  std::lock_guard lock(g_waitMutex);
  return g_waitingFor ? ProcessClock().NowMs() - g_waitingSinceMs : -1;
}

bool StopWaitingForDfuCall() {
  std::lock_guard lock(g_waitMutex);
  if (!g_waitingFor) return false;
  g_stopWaiting = true;
  return true;
}

std::string TakeDfuStuckText() {
  {
    std::lock_guard lock(g_mutex);
    if (g_stuckSaid) return {};
    g_stuckSaid = !g_stuckCall.empty();
  }
  return DfuStuckText();
}

std::string DfuStuckText() {
  std::lock_guard lock(g_mutex);
  if (g_stuckCall.empty()) return {};
  std::string text = "The Bluetooth update library did not return from " + g_stuckCall + ". ";
  if (g_updating) {
    text +=
        "The module's update had started and not ended: its firmware may be incomplete. Switch "
        "the KORVA off and on, and run the Bluetooth update again.";
  } else {
    text +=
        "Nothing was written to the module. Switch the KORVA off and on before using its "
        "Bluetooth.";
  }
  return text;
}

}  // namespace korva
