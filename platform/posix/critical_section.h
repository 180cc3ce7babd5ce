// The POSIX critical section: a plain (non-recursive) mutex with the holder's thread id and
// the recursion depth kept beside it, so re-entry and "held by me" cost one load.
#ifndef TKV_PLATFORM_POSIX_CRITICAL_SECTION_H
#define TKV_PLATFORM_POSIX_CRITICAL_SECTION_H

#include <atomic>
#include <mutex>

#include "platform/posix/current_thread.h"

namespace TKV::platform {

struct CriticalSection {
    std::mutex mutex;
    // Thread id of the holder, 0 when free. Written only by the thread that holds `mutex`;
    // a relaxed read is enough, because only the reader itself can have stored its own id.
    std::atomic<DWORD> holder{0};
    // Depth of the holder's entries; touched only by the holder.
    unsigned depth = 0;
};

CriticalSection* InitializeCriticalSection();
void DeleteCriticalSection(CriticalSection* section);

inline bool CriticalSectionHeldByCaller(const CriticalSection* section) {
    return section->holder.load(std::memory_order_relaxed) == CurrentThreadId();
}

inline void EnterCriticalSection(CriticalSection* section) {
    const DWORD me = CurrentThreadId();
    if (section->holder.load(std::memory_order_relaxed) == me) {
        ++section->depth;
        return;
    }
    section->mutex.lock();
    section->holder.store(me, std::memory_order_relaxed);
    section->depth = 1;
}

inline bool TryEnterCriticalSection(CriticalSection* section) {
    const DWORD me = CurrentThreadId();
    if (section->holder.load(std::memory_order_relaxed) == me) {
        ++section->depth;
        return true;
    }
    if (!section->mutex.try_lock()) {
        return false;
    }
    section->holder.store(me, std::memory_order_relaxed);
    section->depth = 1;
    return true;
}

inline void LeaveCriticalSection(CriticalSection* section) {
    if (!CriticalSectionHeldByCaller(section)) {
        return;
    }
    if (--section->depth == 0) {
        section->holder.store(0, std::memory_order_relaxed);
        section->mutex.unlock();
    }
}

}  // namespace TKV::platform

#endif  // TKV_PLATFORM_POSIX_CRITICAL_SECTION_H
