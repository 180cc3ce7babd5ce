// The section counts its own recursion over a plain (non-recursive) mutex and records its
// holder by the library's thread id, so both "held by me" and re-entry cost one relaxed load.
#include "platform/critical_section.h"

#include <atomic>
#include <mutex>
#include <new>

#include "tkv/winapi.h"

namespace TKV {
namespace detail {

struct CriticalSection {
    std::mutex mutex;
    // Thread id of the holder, 0 when free. Written only by the thread that holds `mutex`;
    // a relaxed read is enough, because only the reader itself can have stored its own id.
    std::atomic<DWORD> holder{0};
    // Depth of the holder's entries; touched only by the holder.
    unsigned depth = 0;
};

CriticalSection* InitializeCriticalSection() {
    return new (std::nothrow) CriticalSection;
}

void DeleteCriticalSection(CriticalSection* section) {
    if (section == nullptr) {
        return;
    }
    if (CriticalSectionHeldByCaller(section)) {
        section->depth = 1;
        LeaveCriticalSection(section);
    }
    delete section;
}

void EnterCriticalSection(CriticalSection* section) {
    const DWORD me = GetCurrentThreadId();
    if (section->holder.load(std::memory_order_relaxed) == me) {
        ++section->depth;
        return;
    }
    section->mutex.lock();
    section->holder.store(me, std::memory_order_relaxed);
    section->depth = 1;
}

bool TryEnterCriticalSection(CriticalSection* section) {
    const DWORD me = GetCurrentThreadId();
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

void LeaveCriticalSection(CriticalSection* section) {
    if (section->holder.load(std::memory_order_relaxed) != GetCurrentThreadId()) {
        return;
    }
    if (--section->depth == 0) {
        section->holder.store(0, std::memory_order_relaxed);
        section->mutex.unlock();
    }
}

bool CriticalSectionHeldByCaller(const CriticalSection* section) {
    return section->holder.load(std::memory_order_relaxed) == GetCurrentThreadId();
}

}  // namespace detail
}  // namespace TKV
