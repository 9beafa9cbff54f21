// The job thread on Windows: started with _beginthreadex, its handle closed at once. A
// std::thread detached right after its start, as winpthreads (the thread library of mingw-w64's
// POSIX thread model) implements detach, can lose a thread that has not begun to run yet: it
// never runs, and the job's final message never comes.
#include <windows.h>

#include <process.h>

#include <cerrno>
#include <memory>
#include <system_error>

#include "jobs/job_thread.h"

namespace korva {
namespace {

unsigned __stdcall RunBody(void* argument) {
  std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(argument));
  (*body)();
  return 0;
}

}  // namespace

void StartDetachedThread(std::function<void()> body) {
  auto owned = std::make_unique<std::function<void()>>(std::move(body));
  const std::uintptr_t thread = _beginthreadex(nullptr, 0, RunBody, owned.get(), 0, nullptr);
  if (thread == 0) throw std::system_error(errno, std::generic_category(), "_beginthreadex");
  owned.release();  // the thread owns it now
  CloseHandle(reinterpret_cast<HANDLE>(thread));
}

}  // namespace korva
