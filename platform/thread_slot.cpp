// The portable part of the thread slots: making a slot once, and the list an unload ends.
#include "platform/thread_slot.h"

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
    const unsigned long key = detail::NewSystemSlot(m_cleanup);
    if (key == 0)
        return false;
    unsigned long expected = 0;
    if (!m_key.compare_exchange_strong(expected, key)) {
        detail::DeleteSystemSlot(key, m_cleanup);  // another thread made it first
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
    return key == 0 ? nullptr : detail::SystemSlotValue(key);
}

bool ThreadSlot::Set(void* value) {
    if (m_key.load(std::memory_order_acquire) == 0 && !Make())
        return false;
    return detail::SetSystemSlotValue(m_key.load(std::memory_order_acquire), value, m_cleanup);
}

void ThreadSlot::EndAll() {
    const int count = std::min(g_slotCount.exchange(0), kMaxSlots);
    for (int i = 0; i < count; ++i) {
        ThreadSlot* slot = g_slots[i].exchange(nullptr);
        const unsigned long key = slot != nullptr ? slot->m_key.exchange(0) : 0;
        if (key != 0)
            detail::DeleteSystemSlot(key, slot->m_cleanup);
    }
}

}  // namespace TKV::platform
