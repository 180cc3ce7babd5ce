// Thread ids: every thread gets a unique non-zero 32-bit id on first use (threads made by
// CreateThread get theirs at creation, so the creator can register it before the thread runs).
#include "platform/posix/current_thread.h"

#include <atomic>
#include <cstdint>

namespace TKV::platform {
namespace {

std::atomic<std::uint32_t> g_nextThreadId{0};

}  // namespace

__thread DWORD t_threadId = 0;

DWORD NewThreadId() {
    // Multiples of 4 like the ids agents are used to; 0 is never handed out, even after wrapping.
    std::uint32_t id;
    do {
        id = g_nextThreadId.fetch_add(4, std::memory_order_relaxed) + 4;
    } while (id == 0);
    return id;
}

DWORD AssignThreadId() {
    t_threadId = NewThreadId();
    return t_threadId;
}

void AdoptThreadId(DWORD id) {
    t_threadId = id;
}

}  // namespace TKV::platform

extern "C" DWORD GetCurrentThreadId() {
    return TKV::platform::CurrentThreadId();
}
