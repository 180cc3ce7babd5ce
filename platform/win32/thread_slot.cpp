// Thread slots on fiber-local storage, whose callback runs at thread end (and, when the slot is
// freed, for every thread's value). The callback takes only the value, so the value stored is
// an entry that carries the slot's clean-up with it.
#include <windows.h>

#include <new>

#include "platform/thread_slot.h"

namespace TKV::platform::detail {
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

DWORD IndexOf(unsigned long key) {
    return static_cast<DWORD>(key - 1);
}

}  // namespace

unsigned long NewSystemSlot(ThreadSlot::Cleanup) {
    const DWORD index = FlsAlloc(&EndEntry);
    return index == FLS_OUT_OF_INDEXES ? 0 : index + 1ul;
}

void DeleteSystemSlot(unsigned long key, ThreadSlot::Cleanup) {
    FlsFree(IndexOf(key));
}

void* SystemSlotValue(unsigned long key) {
    auto* entry = static_cast<Entry*>(FlsGetValue(IndexOf(key)));
    return entry != nullptr ? entry->value : nullptr;
}

bool SetSystemSlotValue(unsigned long key, void* value, ThreadSlot::Cleanup cleanup) {
    auto* entry = static_cast<Entry*>(FlsGetValue(IndexOf(key)));
    if (entry == nullptr) {
        if (value == nullptr)
            return true;
        entry = new (std::nothrow) Entry{cleanup, nullptr};
        if (entry == nullptr || !FlsSetValue(IndexOf(key), entry)) {
            delete entry;
            return false;
        }
    }
    entry->value = value;
    return true;
}

}  // namespace TKV::platform::detail
