#include <cstring>
#include <cwchar>

#include <gtest/gtest.h>

#include "platform/heap.h"
#include "tests/support/wide_text.h"
#include "tkv/heap.h"

using namespace TKV;

TEST(MemAlloc, ZeroFillsWhatItAddsAndRefusesZeroAndAbsurdSizes) {
    EXPECT_EQ(MemAlloc(0), nullptr);
    auto* block = static_cast<unsigned char*>(MemAlloc(64));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(block[i], 0);
    MemFree(block);
    MemFree(nullptr);
    block = static_cast<unsigned char*>(MemAlloc(16));
    EXPECT_EQ(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, static_cast<size_t>(-1) - 8), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(HeapReAlloc(GetProcessHeap(), 0, block, static_cast<size_t>(-1) - 8), nullptr);
    MemFree(block);
    EXPECT_EQ(MemRealloc(nullptr, 100), nullptr);
    block = static_cast<unsigned char*>(MemAlloc(100));
    std::memset(block, 0xAB, 100);
    block = static_cast<unsigned char*>(MemRealloc(block, 10));
    ASSERT_NE(block, nullptr);
    block = static_cast<unsigned char*>(MemRealloc(block, 5000));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block[9], 0xAB);
    for (int i = 10; i < 5000; ++i)
        ASSERT_EQ(block[i], 0) << i;
    MemFree(block);
}

template <typename CharT>
class CopyFunctions : public ::testing::Test {};
TYPED_TEST_SUITE(CopyFunctions, BothWidths);

TYPED_TEST(CopyFunctions, StrDupCopiesIntoAFreshBlock) {
    using C = TypeParam;
    EXPECT_EQ(StrDupW(static_cast<const C*>(nullptr)), nullptr);
    for (const char* text : {"", "abc"}) {
        const auto source = Text<C>(text);
        C* dup = StrDupW(source.c_str());
        ASSERT_NE(dup, nullptr);
        EXPECT_EQ(std::basic_string<C>(dup), source);
        EXPECT_NE(dup, source.c_str());
        StrFree(dup);
    }
}
