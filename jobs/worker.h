// The job thread: started detached, never joined. Its final job message is the only end
// signal the program relies on; the count of running workers lets tests and the program's
// exit wait until a thread has really returned.
#pragma once

#include <functional>

namespace korva {

using JobRoutine = int (*)();

// Starts `routine` on a new detached thread. Returns false, counting nothing and having run
// nothing, when no thread can be started (the system is out of threads or memory).
bool StartWorker(JobRoutine routine);
// Blocks until no worker is running.
void WaitForWorkers();
// The number of workers that have not yet returned.
int RunningWorkers();

// How a worker's thread is started: `body` on a new thread that nobody waits for. It throws
// (std::system_error, as std::thread does) when no thread can be started. The system's own
// (StartDetachedThread) unless tests install one that fails; an empty function puts it back.
using ThreadStarter = std::function<void(std::function<void()> body)>;
void SetThreadStarter(ThreadStarter starter);

}  // namespace korva
