// Detached job threads with a running count.
#include "jobs/worker.h"

#include <condition_variable>
#include <mutex>

#include "jobs/job_thread.h"

namespace korva {
namespace {
std::mutex g_mutex;
std::condition_variable g_idle;
int g_running = 0;
}  // namespace

void StartWorker(JobRoutine routine) {
  {
    std::lock_guard lock(g_mutex);
    ++g_running;
  }
  StartDetachedThread([routine] {
    routine();  // its result is read by nobody: the job reports through its messages
    std::lock_guard lock(g_mutex);
    if (--g_running == 0) g_idle.notify_all();
  });
}

void WaitForWorkers() {
  std::unique_lock lock(g_mutex);
  g_idle.wait(lock, [] { return g_running == 0; });
}

int RunningWorkers() {
  std::lock_guard lock(g_mutex);
  return g_running;
}

}  // namespace korva
