// The line and result tables.
#include <new>

#include "tkv/buffer.h"
#include "tkv/heap.h"

namespace TKV {

// Entries come in blocks of one grow step, allocated with the slots they fill, so a table of a
// million lines costs ten thousand allocations rather than a million. The slot at each multiple
// of the step holds its block's start, which is how the destructor finds the blocks.
template <typename E>
CEntryTable<E>::CEntryTable(int step) : growStep(step > 0 ? step : 1) {}

template <typename E>
CEntryTable<E>::~CEntryTable() {
    for (int i = 0; i < capacity; i += growStep) {
        delete[] slots[i];
    }
    MemFree(slots);
}

template <typename E>
int CEntryTable<E>::Add(const E& entry) {
    if (count + 1 >= capacity) {
        const long long grown = static_cast<long long>(capacity) + growStep;
        const long long bytes = grown * static_cast<long long>(sizeof(E*));
        if (bytes > 0x7FFFFFFF) {
            return -1;
        }
        void* block = slots == nullptr ? MemAlloc(static_cast<unsigned int>(bytes))
                                       : MemRealloc(slots, static_cast<unsigned int>(bytes));
        if (block == nullptr) {
            return -1;
        }
        slots = static_cast<E**>(block);
        // MemRealloc zero-filled the new slots; a failed block leaves them null.
        if (E* entries = new (std::nothrow) E[growStep]()) {
            for (int i = 0; i < growStep; ++i) {
                slots[capacity + i] = &entries[i];
            }
        }
        capacity = static_cast<int>(grown);
    }
    if (E* slot = slots[count]) {
        *slot = entry;
    }
    return count++;
}

template <typename E>
E CEntryTable<E>::Get(int index) const {
    const E* entry = At(index);
    return entry != nullptr ? *entry : E{};
}

template <typename E>
E* CEntryTable<E>::At(int index) const {
    return index >= 0 && index < count ? slots[index] : nullptr;
}

template class CEntryTable<TLineEntry<char>>;
template class CEntryTable<TLineEntry<wchar_t>>;
template class CEntryTable<TResultEntry>;

}  // namespace TKV
