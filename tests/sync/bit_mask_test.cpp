#include <gtest/gtest.h>

#include "tkv/bit_mask.h"

using TKV::CBitMask;

namespace {

// The bits the blocks hold, seen from outside: after inverting a clear mask the set bits run to
// the end of the last block, and the first bit past it (read with growth) is clear.
unsigned int BitsInBlocks(CBitMask& clearMask) {
    ~clearMask;
    unsigned int bits = 0;
    while (clearMask.IsSet(bits)) {
        ++bits;
    }
    return bits;
}

}  // namespace

TEST(BitMaskGrowth, AccessPastTheLastBlockAddsRoomFor256MoreBitsAndTopNumbersDoNotWrap) {
    CBitMask fresh, read, written;
    EXPECT_EQ(BitsInBlocks(fresh), 64u);  // size 32 takes two blocks
    EXPECT_FALSE(read.IsSet(64));
    EXPECT_EQ(BitsInBlocks(read), 352u);  // size 320: 11 blocks
    written.Set(100, false);
    EXPECT_EQ(BitsInBlocks(written), 384u);  // size 356: 12 blocks

    CBitMask kept(0x80000001u);
    kept.Set(500, true);
    EXPECT_TRUE(kept.IsSet(0) && kept.IsSet(31) && kept.IsSet(500));
    EXPECT_TRUE(kept.IsClear(1) && kept.IsClear(499));
    CBitMask mask;
    if (!mask.Set(0xFFFFFFFFu, true)) {
        GTEST_SKIP() << "512 MiB of blocks not available";
    }
    EXPECT_TRUE(mask.IsSet(0xFFFFFFFFu) && mask.IsClear(0xFFFFFFFEu));
    EXPECT_TRUE(mask.Set(0xFFFFFEFFu, true) && mask.IsSet(0xFFFFFEFFu));
}

TEST(BitMaskValue, SetSizeCopiesInversionAndSharedBits) {
    CBitMask grown(0xF0F0F0F0u);
    grown.SetSize(64, true);  // bits 0-63 kept, 64-95 filled
    EXPECT_TRUE(grown.IsSet(4) && grown.IsClear(0) && grown.IsClear(40));
    EXPECT_TRUE(grown.IsSet(64) && grown.IsSet(95));

    CBitMask same(1);
    same.SetSize(32, true);  // same size: the fill replaces all 64 bits
    EXPECT_TRUE(!~same);
    same.SetSize(10, false);
    EXPECT_EQ(BitsInBlocks(same), 32u);
    CBitMask source;
    source.SetSize(100, false);
    source.Set(99, true);
    source.Set(127, true);
    CBitMask copy(source), assigned(7);
    assigned = source;
    const CBitMask& self = assigned;
    assigned = self;
    for (CBitMask* mask : {&copy, &assigned}) {
        EXPECT_TRUE(mask->IsSet(99) && mask->IsSet(127) && mask->IsClear(0));
        mask->Clear();
        EXPECT_EQ(BitsInBlocks(*mask), 128u);  // size 100: 4 blocks
    }
    CBitMask mask;
    EXPECT_TRUE(!mask);
    EXPECT_FALSE((~mask).IsEmpty());
    mask.Clear();
    EXPECT_TRUE(mask.IsEmpty());

    CBitMask a(6), b(4), c(1), wide;
    EXPECT_TRUE(a & b);
    EXPECT_FALSE(a & c);
    wide.Set(500, true);
    EXPECT_FALSE(a & wide);  // compares only the blocks both have
    wide.Set(2, true);
    EXPECT_TRUE(wide & a);
}
