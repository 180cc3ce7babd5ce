// Thread slots on POSIX thread-specific data: the key's destructor runs the clean-up at thread
// end, and a deleted key runs nothing, so nothing of the library is called after an unload.
#include "platform/thread_slot.h"

#include <pthread.h>

#include <algorithm>

#include "platform/unload.h"

namespace TKV::platform {
namespace {

// The slots in use, for EndAll. Plain data, zero when the module is loaded.
constexpr int kMaxSlots = 16;
std::atomic<ThreadSlot*> g_slots[kMaxSlots];
std::atomic<int> g_slotCount;

}  // namespace

bool ThreadSlot::Make() {
    pthread_key_t key;
    if (pthread_key_create(&key, m_cleanup) != 0)
        return false;
    unsigned long expected = 0;
    if (!m_key.compare_exchange_strong(expected, key + 1ul)) {
        pthread_key_delete(key);  // another thread made it first
        return true;
    }
    const int index = g_slotCount.fetch_add(1);
    if (index == 0)
        RegisterUnloadAction(&ThreadSlot::EndAll);
    if (index < kMaxSlots)
        g_slots[index].store(this);
    return true;
}

void* ThreadSlot::Get() {
    const unsigned long key = m_key.load(std::memory_order_acquire);
    return key == 0 ? nullptr : pthread_getspecific(static_cast<pthread_key_t>(key - 1));
}

bool ThreadSlot::Set(void* value) {
    if (m_key.load(std::memory_order_acquire) == 0 && !Make())
        return false;
    const auto key = static_cast<pthread_key_t>(m_key.load(std::memory_order_acquire) - 1);
    return pthread_setspecific(key, value) == 0;
}

void ThreadSlot::EndAll() {
    const int count = std::min(g_slotCount.exchange(0), kMaxSlots);
    for (int i = 0; i < count; ++i) {
        ThreadSlot* slot = g_slots[i].exchange(nullptr);
        const unsigned long key = slot != nullptr ? slot->m_key.exchange(0) : 0;
        if (key == 0)
            continue;
        void* value = pthread_getspecific(static_cast<pthread_key_t>(key - 1));
        pthread_key_delete(static_cast<pthread_key_t>(key - 1));
        if (value != nullptr)
            slot->m_cleanup(value);
    }
}

}  // namespace TKV::platform
