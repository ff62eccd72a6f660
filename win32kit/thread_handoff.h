#pragma once

// Hands a job to a thread of its own: the thread owns the job, runs it once through ThreadEntry
// and destroys it. For the workers whose handle someone else waits on or keeps (the hook
// library, a wait with a time limit), where std::thread's join-or-die does not fit.

#include <windows.h>

#include <memory>
#include <utility>

#include "win32kit/boundary.h"
#include "win32kit/scoped_handle.h"

namespace tunewell {

namespace thread_handoff_internal {

// Workers end with exit code 1, as the player's own workers do.
inline constexpr DWORD kExitCode = 1;

template <typename Job>
DWORD WINAPI RunOwnedJob(void* param) {
  const std::unique_ptr<Job> job(static_cast<Job*>(param));
  ThreadEntry(*job);
  return kExitCode;
}

}  // namespace thread_handoff_internal

// Starts a thread running `job()`, with the default stack, at once. The thread's handle, or an
// invalid one when no thread could be started (the job is then destroyed here, never run).
template <typename Job>
ScopedHandle HandOffToThread(Job job) {
  auto owned = std::make_unique<Job>(std::move(job));
  ScopedHandle thread(::CreateThread(nullptr, 0, &thread_handoff_internal::RunOwnedJob<Job>,
                                     owned.get(), 0, nullptr));
  if (thread.valid()) owned.release();  // the thread owns it now
  return thread;
}

}  // namespace tunewell
