// Thread ids for the POSIX layer: a thread-local number handed out on first use.
#ifndef TKV_PLATFORM_POSIX_CURRENT_THREAD_H
#define TKV_PLATFORM_POSIX_CURRENT_THREAD_H

#include "tkv/winapi.h"

namespace TKV::platform {

// The calling thread's id, 0 until assigned. Plain `__thread` (no initialisation guard) in the
// loader's default model: initial-exec would take static TLS, which a library loaded at run
// time may not get.
extern __thread DWORD t_threadId;

// Gives the calling thread a fresh id and returns it.
DWORD AssignThreadId();

inline DWORD CurrentThreadId() {
    const DWORD id = t_threadId;
    return __builtin_expect(id != 0, 1) ? id : AssignThreadId();
}

// A fresh thread id, never 0 and unique among the ids handed out in this process.
DWORD NewThreadId();
// Makes `id` the calling thread's id; called first thing on a thread made by CreateThread.
void AdoptThreadId(DWORD id);

}  // namespace TKV::platform

#endif  // TKV_PLATFORM_POSIX_CURRENT_THREAD_H
