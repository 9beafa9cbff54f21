// A detached std::thread.
#include <thread>

#include "jobs/job_thread.h"

namespace korva {

void StartDetachedThread(std::function<void()> body) { std::thread(std::move(body)).detach(); }

}  // namespace korva
