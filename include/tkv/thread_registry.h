// The thread registry: the process-wide record of the library's worker threads.
#ifndef TKV_THREAD_REGISTRY_H
#define TKV_THREAD_REGISTRY_H

#include "tkv/export.h"
#include "tkv/lock.h"

namespace TKV {

// For each registered thread id the registry keeps the thread's handle and a notification
// event (auto-reset, created by the registry and owned by it), so a socket can wait for its
// own thread and the agent can wait for all of them at shutdown. A worker is created
// suspended, registered, then resumed; its last act is DeRegisterThread(GetCurrentThreadId()).
// Every function may be called from any thread; none holds the registry lock across a wait.

// The lock that guards the registry; held only while the registry is read or changed.
TKV_API CLock& RegistryLock();

// Registers `threadId` with a handle of the registry's own to `threadHandle`'s thread, so the
// holder may close its copy at any time, and returns its notify event. A second registration
// of the id keeps the first handle and returns the same event.
TKV_API void* RegisterThread(unsigned int threadId, void* threadHandle);
// Forgets `threadId` and closes its notify event and the registry's handle; the holder's stays.
TKV_API void DeRegisterThread(unsigned int threadId);
// The registry's handle of `threadId`, or null; valid until the thread deregisters or
// WaitRegisteredThreadsExit.
TKV_API void* GetThreadHandle(unsigned int threadId);
// The notify event of `threadId`, or null.
TKV_API void* GetThreadNotify(unsigned int threadId);
// Empties the registry, then waits up to `timeout` milliseconds for all the threads that were
// registered to end (one wait, so more than 64 threads or a null handle end it at once), and
// closes the registry's handles and notify events whatever the wait's outcome.
TKV_API void WaitRegisteredThreadsExit(unsigned long timeout);

}  // namespace TKV

#endif  // TKV_THREAD_REGISTRY_H
