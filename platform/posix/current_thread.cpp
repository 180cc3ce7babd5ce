// Thread ids: every thread gets a unique non-zero 32-bit id on first use (threads made by
// CreateThread get theirs at creation, so the creator can register it before the thread runs).
#include "platform/posix/current_thread.h"

#include <atomic>

namespace TKV {
namespace detail {
namespace {

std::atomic<DWORD> g_nextThreadId{0};

// Trivially destructible, so reading it costs no init guard on the hot path of every lock.
thread_local DWORD t_threadId = 0;

}  // namespace

DWORD NewThreadId() {
    // Multiples of 4 like the ids agents are used to; 0 is never handed out, even after wrapping.
    DWORD id;
    do {
        id = (g_nextThreadId.fetch_add(4, std::memory_order_relaxed) + 4) & 0xFFFFFFFFUL;
    } while (id == 0);
    return id;
}

void AdoptThreadId(DWORD id) {
    t_threadId = id;
}

}  // namespace detail
}  // namespace TKV

extern "C" DWORD GetCurrentThreadId() {
    DWORD id = TKV::detail::t_threadId;
    if (id == 0) {
        id = TKV::detail::NewThreadId();
        TKV::detail::t_threadId = id;
    }
    return id;
}
