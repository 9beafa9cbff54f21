// The job thread: started detached, never joined. Its final job message is the only end
// signal the program relies on; the count of running workers lets tests and the program's
// exit wait until a thread has really returned.
#pragma once

namespace korva {

using JobRoutine = int (*)();

// Starts `routine` on a new detached thread.
void StartWorker(JobRoutine routine);
// Blocks until no worker is running.
void WaitForWorkers();
// The number of workers that have not yet returned.
int RunningWorkers();

}  // namespace korva
