// Queued and blocking hand-offs to a window's thread, marked for ThreadSanitizer.
#include "qt/thread_handoff.h"

#include <QObject>
#include <QThread>
#include <condition_variable>
#include <memory>
#include <mutex>

#if defined(__SANITIZE_THREAD__)
#define KORVA_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KORVA_THREAD_SANITIZER 1
#endif
#endif

#ifdef KORVA_THREAD_SANITIZER
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
extern "C" void __tsan_ignore_thread_begin();
extern "C" void __tsan_ignore_thread_end();
#endif

namespace korva::qt {
namespace {

// What Qt's queue lock does between the sending thread and the receiving one, told to
// ThreadSanitizer.
char g_handOff;

void Release([[maybe_unused]] char& token) {
#ifdef KORVA_THREAD_SANITIZER
  __tsan_release(&token);
#endif
}

void Acquire([[maybe_unused]] char& token) {
#ifdef KORVA_THREAD_SANITIZER
  __tsan_acquire(&token);
#endif
}

// The call object that Qt's template builds for the queue is made on the sending thread after
// the release above and used and freed on the receiving one: its making is not recorded.
class UnrecordedOnThisThread {
 public:
  UnrecordedOnThisThread() {
#ifdef KORVA_THREAD_SANITIZER
    __tsan_ignore_thread_begin();
#endif
  }
  ~UnrecordedOnThisThread() {
#ifdef KORVA_THREAD_SANITIZER
    __tsan_ignore_thread_end();
#endif
  }
  UnrecordedOnThisThread(const UnrecordedOnThisThread&) = delete;
  UnrecordedOnThisThread& operator=(const UnrecordedOnThisThread&) = delete;
};

}  // namespace

void PostToThreadOf(QObject* context, std::function<void()> work) {
  Release(g_handOff);
  const UnrecordedOnThisThread queuing;
  QMetaObject::invokeMethod(
      context,
      [work = std::move(work)] {
        Acquire(g_handOff);
        work();
      },
      Qt::QueuedConnection);
}

void RunOnThreadOf(QObject* context, const std::function<void()>& work) {
  // Queued to its own thread, the call would wait for itself.
  if (QThread::currentThread() == context->thread()) {
    work();
    return;
  }
  // The queued call signals when it has run, on the receiving thread; failing that, when it is
  // gone (its receiver went away before it could run). Its going alone would not do: Qt may
  // drop the call object's last reference on either thread, and on the sending one nothing
  // would order the work before what follows here. Waited for with a lock of our own, which
  // ThreadSanitizer sees.
  struct Outcome {
    std::mutex mutex;
    std::condition_variable ended;
    bool gone = false;
  };
  struct Signal {
    std::shared_ptr<Outcome> outcome;
    void Raise() const {
      std::lock_guard lock(outcome->mutex);
      outcome->gone = true;
      outcome->ended.notify_all();
    }
    ~Signal() { Raise(); }
  };
  auto outcome = std::make_shared<Outcome>();
  auto signal = std::make_shared<Signal>(outcome);
  PostToThreadOf(context, [&work, signal = std::move(signal)] {
    work();
    signal->Raise();
  });
  std::unique_lock lock(outcome->mutex);
  outcome->ended.wait(lock, [&] { return outcome->gone; });
}

}  // namespace korva::qt
