// Detached job threads with a running count.
#include "jobs/worker.h"

#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <string>

#include "jobs/job_thread.h"
#include "jobs/update_scope.h"
#include "support/support_log.h"

namespace korva {
namespace {
std::mutex g_mutex;
std::condition_variable g_idle;
int g_running = 0;
ThreadStarter g_starter;  // empty: StartDetachedThread

void StartThread(std::function<void()> body) {
  ThreadStarter starter;
  {
    std::lock_guard lock(g_mutex);
    starter = g_starter;
  }
  if (starter) {
    starter(std::move(body));
  } else {
    StartDetachedThread(std::move(body));
  }
}

void CountOut() {
  std::lock_guard lock(g_mutex);
  if (--g_running == 0) g_idle.notify_all();
}

}  // namespace

bool StartWorker(JobRoutine routine) {
  // Counted before the thread exists, so that a wait that begins now already waits for it.
  {
    std::lock_guard lock(g_mutex);
    ++g_running;
  }
  try {
    // The update is under way until the job's thread returns (the scope goes with the thread's
    // function, also when no thread can be started).
    StartThread([routine, underWay = std::make_shared<UpdateScope>()]() mutable {
      routine();  // its result is read by nobody: the job reports through its messages
      underWay.reset();
      CountOut();
    });
  } catch (const std::exception& error) {
    // No thread, so no routine and no message: the caller reports the job as not started.
    CountOut();
    SupportLog(std::string("no thread for the job: ") + error.what());
    return false;
  }
  return true;
}

void WaitForWorkers() {
  std::unique_lock lock(g_mutex);
  g_idle.wait(lock, [] { return g_running == 0; });
}

int RunningWorkers() {
  std::lock_guard lock(g_mutex);
  return g_running;
}

void SetThreadStarter(ThreadStarter starter) {
  std::lock_guard lock(g_mutex);
  g_starter = std::move(starter);
}

}  // namespace korva
