// The two rings of temporary strings, one per character width. Each ring hands out its 256
// slots in cyclic order, with no lock on the ring: the cursor moves by atomic add and exchange.
#ifndef TKV_FOUNDATION_TMP_STRING_H
#define TKV_FOUNDATION_TMP_STRING_H

#include <atomic>
#include <cstdint>

namespace TKV::detail {

constexpr int kRingSlots = 256;
constexpr unsigned int kMaxTmpChars = 512000;

// One slot: a heap block laid out as a 32-bit capacity (in characters) and the storage.
struct TmpSlot {
    // Set while a request resizes the block. Two requests meet on one slot only when 256 others
    // overtook the first (a broken contract); the bit keeps the heap consistent even then.
    std::atomic<bool> busy;
    uint32_t* block;  // guarded by busy; null until the first request lands here
};

struct TmpRing {
    std::atomic<int32_t> cursor;  // the next slot; changed only by atomic add and exchange
    TmpSlot slots[kRingSlots];
};

// Both rings are plain data, all zero when the module is loaded.
extern TmpRing g_narrowRing;
extern TmpRing g_wideRing;

template <typename CharT>
TmpRing& RingOf() {
    return sizeof(CharT) == 1 ? g_narrowRing : g_wideRing;
}

// The next slot index of the ring in cyclic order 0..255.
int SelectSlot(TmpRing& ring);

// Gives the slot storage for at least count characters of width bytes (growing, never
// shrinking, the block) and returns it, or null when the heap refuses (the slot stays as it was).
void* EnsureTmpSlot(TmpRing& ring, int slot, unsigned int count, unsigned int width);

// The capacity in characters of a slot's block, 0 when it has none.
uint32_t TmpSlotCapacity(const TmpRing& ring, int slot);

// A temporary string of the ring of CharT, as TKVGetTmpString hands it out.
template <typename CharT>
CharT* GetTmpString(unsigned int count) {
    if (count == 0 || count > kMaxTmpChars)
        return nullptr;
    TmpRing& ring = RingOf<CharT>();
    auto* s = static_cast<CharT*>(EnsureTmpSlot(ring, SelectSlot(ring), count, sizeof(CharT)));
    if (s != nullptr)
        s[0] = CharT(0);
    return s;
}

// At load: every slot pointer null. At unload: every slot block freed.
void ClearRings();
void ReleaseRings();
// Frees every slot block of one ring.
void ReleaseRing(TmpRing& ring);

}  // namespace TKV::detail

#endif  // TKV_FOUNDATION_TMP_STRING_H
