// Thread slots on fiber-local storage, whose callback runs at thread end (and for every thread's
// value when the slot is freed). The callback takes only the value, so the value stored is an
// entry that carries the slot's clean-up with it.
#include "platform/thread_slot.h"

#include <windows.h>

#include <algorithm>
#include <new>

#include "platform/unload.h"

namespace TKV::platform {
namespace {

struct Entry {
    ThreadSlot::Cleanup cleanup;
    void* value;
};

void WINAPI EndEntry(void* data) {
    auto* entry = static_cast<Entry*>(data);
    if (entry->value != nullptr)
        entry->cleanup(entry->value);
    delete entry;
}

constexpr int kMaxSlots = 16;
std::atomic<ThreadSlot*> g_slots[kMaxSlots];
std::atomic<int> g_slotCount;

}  // namespace

bool ThreadSlot::Make() {
    const DWORD index = FlsAlloc(&EndEntry);
    if (index == FLS_OUT_OF_INDEXES)
        return false;
    unsigned long expected = 0;
    if (!m_key.compare_exchange_strong(expected, index + 1ul)) {
        FlsFree(index);  // another thread made it first
        return true;
    }
    const int count = g_slotCount.fetch_add(1);
    if (count == 0)
        RegisterUnloadAction(&ThreadSlot::EndAll);
    if (count < kMaxSlots)
        g_slots[count].store(this);
    return true;
}

void* ThreadSlot::Get() {
    const unsigned long key = m_key.load(std::memory_order_acquire);
    if (key == 0)
        return nullptr;
    auto* entry = static_cast<Entry*>(FlsGetValue(static_cast<DWORD>(key - 1)));
    return entry != nullptr ? entry->value : nullptr;
}

bool ThreadSlot::Set(void* value) {
    if (m_key.load(std::memory_order_acquire) == 0 && !Make())
        return false;
    const auto index = static_cast<DWORD>(m_key.load(std::memory_order_acquire) - 1);
    auto* entry = static_cast<Entry*>(FlsGetValue(index));
    if (entry == nullptr) {
        if (value == nullptr)
            return true;
        entry = new (std::nothrow) Entry{m_cleanup, nullptr};
        if (entry == nullptr || !FlsSetValue(index, entry)) {
            delete entry;
            return false;
        }
    }
    entry->value = value;
    return true;
}

// FlsFree runs the callback for the values of every thread that still has one.
void ThreadSlot::EndAll() {
    const int count = std::min(g_slotCount.exchange(0), kMaxSlots);
    for (int i = 0; i < count; ++i) {
        ThreadSlot* slot = g_slots[i].exchange(nullptr);
        const unsigned long key = slot != nullptr ? slot->m_key.exchange(0) : 0;
        if (key != 0)
            FlsFree(static_cast<DWORD>(key - 1));
    }
}

}  // namespace TKV::platform
