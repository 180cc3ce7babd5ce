#include "foundation/tmp_string.h"

#include <initializer_list>
#include <thread>

#include "platform/heap.h"
#include "tkv/tmp_string.h"

namespace TKV::detail {

TmpRing g_narrowRing;
TmpRing g_wideRing;

namespace {

constexpr size_t kCapacityBytes = sizeof(uint32_t);

class SlotGuard {
  public:
    explicit SlotGuard(TmpSlot& slot) : m_slot(slot) {
        while (m_slot.busy.exchange(true, std::memory_order_acquire))
            std::this_thread::yield();
    }
    ~SlotGuard() { m_slot.busy.store(false, std::memory_order_release); }
    SlotGuard(const SlotGuard&) = delete;
    SlotGuard& operator=(const SlotGuard&) = delete;

  private:
    TmpSlot& m_slot;
};

}  // namespace

int SelectSlot(TmpRing& ring) {
    // Above 256: the thread that drew 256 has not reset the cursor yet; draw again until the
    // reset shows. Whoever draws 256, first or on a later draw, resets it and takes slot 0.
    for (;;) {
        const int32_t v = ring.cursor.fetch_add(1, std::memory_order_acq_rel);
        if (v == kRingSlots) {
            ring.cursor.exchange(1, std::memory_order_acq_rel);
            return 0;
        }
        if (v >= 0 && v < kRingSlots)
            return v;
    }
}

void* EnsureTmpSlot(TmpRing& ring, int slot, unsigned int count, unsigned int width) {
    TmpSlot& s = ring.slots[slot];
    SlotGuard guard(s);
    const size_t bytes = static_cast<size_t>(count) * width + kCapacityBytes;
    if (s.block == nullptr) {
        auto* block = static_cast<uint32_t*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes));
        if (block == nullptr)
            return nullptr;
        block[0] = count;
        s.block = block;
    } else if (s.block[0] < count) {
        auto* block =
            static_cast<uint32_t*>(HeapReAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, s.block, bytes));
        if (block == nullptr)
            return nullptr;
        block[0] = count;
        s.block = block;
    }
    return s.block + 1;
}

uint32_t TmpSlotCapacity(const TmpRing& ring, int slot) {
    const uint32_t* block = ring.slots[slot].block;
    return block == nullptr ? 0 : block[0];
}

void ClearRings() {
    for (TmpRing* ring : {&g_narrowRing, &g_wideRing})
        for (TmpSlot& slot : ring->slots)
            slot.block = nullptr;
}

void ReleaseRing(TmpRing& ring) {
    for (TmpSlot& slot : ring.slots) {
        HeapFree(GetProcessHeap(), 0, slot.block);
        slot.block = nullptr;
    }
}

void ReleaseRings() {
    ReleaseRing(g_narrowRing);
    ReleaseRing(g_wideRing);
}

}  // namespace TKV::detail

namespace TKV {

unsigned int TKVGetTmpString(char*& s, unsigned int count) {
    char* slot = detail::GetTmpString<char>(count);
    if (slot == nullptr)
        return 0;
    s = slot;
    return 1;
}

unsigned int TKVGetTmpString(wchar_t*& s, unsigned int count) {
    wchar_t* slot = detail::GetTmpString<wchar_t>(count);
    if (slot == nullptr)
        return 0;
    s = slot;
    return 1;
}

}  // namespace TKV
