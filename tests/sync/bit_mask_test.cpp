#include <gtest/gtest.h>

#include "tkv/bit_mask.h"

using TKV::CBitMask;

TEST(BitMaskGrowth, ReadingOrWritingPastTheEndGrowsWithHeadroom) {
    CBitMask mask;
    for (unsigned int bit = 0; bit < 64; ++bit) {
        EXPECT_TRUE(mask.IsClear(bit));
    }
    mask.Set(63, true);
    EXPECT_FALSE(mask.IsSet(64));  // grows to 320 bits: bits up to 351 usable
    EXPECT_TRUE(mask.IsSet(63));
    mask.Set(351, true);
    EXPECT_TRUE(mask.IsSet(351));

    CBitMask high;
    EXPECT_TRUE(high.Set(100, true));
    EXPECT_TRUE(high.IsSet(100));
    EXPECT_TRUE(high.IsClear(99));
    for (unsigned int bit = 356; bit < 384; ++bit) {  // size 356: 12 blocks
        EXPECT_TRUE(high.IsClear(bit));
    }
}

TEST(BitMaskGrowth, BitNumbersNearTheTopDoNotWrap) {
    CBitMask mask;
    const unsigned int top = 0xFFFFFFFFu;
    if (!mask.Set(top, true)) {
        GTEST_SKIP() << "512 MiB of blocks not available";
    }
    EXPECT_TRUE(mask.IsSet(top));
    EXPECT_TRUE(mask.IsClear(top - 1));
    EXPECT_TRUE(mask.Set(top - 300, true));
    EXPECT_TRUE(mask.IsSet(top - 300));
}

TEST(BitMaskValue, ConstructionCopyAndSetSizeFill) {
    CBitMask five(5);
    EXPECT_TRUE(five.IsSet(0));
    EXPECT_TRUE(five.IsClear(1));
    EXPECT_TRUE(five.IsSet(2));
    EXPECT_TRUE(five.IsClear(32));

    CBitMask grown(0xF0F0F0F0u);
    grown.SetSize(64, true);  // grows: bits 0-63 kept, 64-95 filled
    EXPECT_TRUE(grown.IsSet(4));
    EXPECT_TRUE(grown.IsClear(0));
    EXPECT_TRUE(grown.IsClear(40));
    EXPECT_TRUE(grown.IsSet(64));
    EXPECT_TRUE(grown.IsSet(95));

    CBitMask same(1);
    same.SetSize(32, true);  // same size: the fill replaces every bit
    for (unsigned int bit = 0; bit < 64; ++bit) {
        EXPECT_TRUE(same.IsSet(bit));
    }
    same.SetSize(10, false);
    EXPECT_TRUE(same.IsEmpty());

    CBitMask source;
    source.SetSize(100, false);
    source.Set(99, true);
    source.Set(127, true);
    CBitMask copy(source);
    EXPECT_TRUE(copy.IsSet(99));
    EXPECT_TRUE(copy.IsSet(127));
    CBitMask assigned(7);
    assigned = source;
    const CBitMask& self = assigned;
    assigned = self;
    EXPECT_TRUE(assigned.IsClear(0));
    EXPECT_TRUE(assigned.IsSet(127));
}

TEST(BitMaskValue, InvertClearEmptyAndShared) {
    CBitMask mask;
    EXPECT_TRUE(!mask);
    ~mask;
    EXPECT_FALSE(mask.IsEmpty());
    EXPECT_TRUE(mask.IsSet(63));
    mask.Clear();
    EXPECT_TRUE(mask.IsEmpty());

    CBitMask a(6), b(4), c(1);
    EXPECT_TRUE(a & b);
    EXPECT_FALSE(a & c);
    CBitMask wide;
    wide.Set(500, true);
    EXPECT_FALSE(a & wide);  // compares only the blocks both have
    wide.Set(2, true);
    EXPECT_TRUE(wide & a);
}
