// The calling thread's id for the library's own hot paths (locks), without a call.
#ifndef TKV_PLATFORM_CURRENT_THREAD_H
#define TKV_PLATFORM_CURRENT_THREAD_H

#include "tkv/winapi.h"

#if defined(_WIN32)
namespace TKV::platform {
inline DWORD CurrentThreadId() {
    return ::GetCurrentThreadId();
}
}  // namespace TKV::platform
#else
#include "platform/posix/current_thread.h"
#endif

#endif  // TKV_PLATFORM_CURRENT_THREAD_H
