// Starts a thread that nobody waits for: the job thread. One implementation per system
// (std_job_thread.cpp, windows_job_thread.cpp), chosen by the build.
#pragma once

#include <functional>

namespace korva {

// Runs `body` on a new thread and lets go of the thread at once. Throws std::system_error when
// no thread can be started, as std::thread does.
void StartDetachedThread(std::function<void()> body);

}  // namespace korva
