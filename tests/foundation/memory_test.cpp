#include <cstring>
#include <cwchar>

#include <gtest/gtest.h>

#include "platform/heap.h"
#include "tkv/memory.h"
#include "tkv/resource_strings.h"
#include "wide_text.h"

using namespace TKV;

TEST(MemAlloc, ZeroFillsAndRefusesZeroBytes) {
    EXPECT_EQ(MemAlloc(0), nullptr);
    auto* block = static_cast<unsigned char*>(MemAlloc(64));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(block[i], 0);
    MemFree(block);
    MemFree(nullptr);
}

TEST(MemRealloc, BytesAddedAfterAShrinkAreZeroAndANullBlockAllocatesNothing) {
    EXPECT_EQ(MemRealloc(nullptr, 100), nullptr);
    auto* block = static_cast<unsigned char*>(MemAlloc(100));
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

TEST(MemAlloc, RefusedRequestGivesNullAndLeavesOldBlock) {
    void* block = MemAlloc(16);
    EXPECT_EQ(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, static_cast<size_t>(-1) - 8), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(HeapReAlloc(GetProcessHeap(), 0, block, static_cast<size_t>(-1) - 8), nullptr);
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

TYPED_TEST(CopyFunctions, StrSafeCopyCutsAtTheLimit) {
    using C = TypeParam;
    C dest[8];
    EXPECT_TRUE(StrSafeCopy(dest, Text<C>("abc").c_str(), 3));
    EXPECT_EQ(std::basic_string<C>(dest), Text<C>("abc"));
    EXPECT_FALSE(StrSafeCopy(dest, Text<C>("abcd").c_str(), 3));
    EXPECT_EQ(std::basic_string<C>(dest), Text<C>("abc"));
    EXPECT_FALSE(StrSafeCopy(dest, Text<C>("abcd").c_str(), 0));
    EXPECT_EQ(dest[0], C(0));
    dest[0] = C('x');
    EXPECT_FALSE(StrSafeCopy(dest, static_cast<const C*>(nullptr), 5));
    EXPECT_EQ(dest[0], C(0));
    EXPECT_FALSE(StrSafeCopy(static_cast<C*>(nullptr), Text<C>("a").c_str(), 5));
    dest[0] = dest[1] = C('x');
    EXPECT_TRUE(StrSafeCopy(dest, Text<C>("").c_str(), 5));
    EXPECT_EQ(dest[0], C(0));
    EXPECT_EQ(dest[1], C(0));
}

TEST(ErrorMessage, GivesTheSystemSentenceWithItsLineBreakOrEmptyWhenUnknown) {
    EXPECT_STREQ(TKVGetErrorMessageA(ERROR_ACCESS_DENIED), "Access is denied.\r\n");
    EXPECT_STREQ(TKVGetErrorMessageW(10061),
                 L"No connection could be made because the target machine actively refused "
                 L"it.\r\n");
    SetLastError(ERROR_FILE_NOT_FOUND);  // code zero means the thread's last error
    EXPECT_STREQ(TKVGetErrorMessageW(0), L"The system cannot find the file specified.\r\n");
    const char* unknown = TKVGetErrorMessageA(0x7654321);
    ASSERT_NE(unknown, nullptr);
    EXPECT_STREQ(unknown, "");
}

TEST(ResourceString, ReadsRegisteredStringsOnly) {
    auto* module = reinterpret_cast<HINSTANCE>(0x1000);
    ASSERT_TRUE(TKVSetResourceString(module, 17, L"seventeen"));
    ASSERT_TRUE(TKVSetResourceString(module, 40, L"\U0001F600 wide"));
    EXPECT_STREQ(TKVLoadResourceStringW(module, 17), L"seventeen");
    EXPECT_STREQ(TKVLoadResourceStringW(module, 40), L"\U0001F600 wide");
    EXPECT_EQ(TKVLoadResourceStringW(module, 18), nullptr);   // same block, missing string
    EXPECT_EQ(TKVLoadResourceStringW(module, 100), nullptr);  // no such block
    EXPECT_EQ(TKVLoadResourceStringW(nullptr, 17), nullptr);  // no such module
    EXPECT_FALSE(TKVSetResourceString(module, 0x10000, L"x"));
    TKVClearResourceStrings(module);
    EXPECT_EQ(TKVLoadResourceStringW(module, 17), nullptr);
}

TEST(ResourceString, TooLargeForATemporaryStringGivesNull) {
    auto* module = reinterpret_cast<HINSTANCE>(0x2000);
    const std::wstring huge(300000, L'h');  // a block of over 1.2 MB
    ASSERT_TRUE(TKVSetResourceString(module, 1, huge.c_str()));
    EXPECT_EQ(TKVLoadResourceStringW(module, 1), nullptr);
    TKVClearResourceStrings(module);
}
