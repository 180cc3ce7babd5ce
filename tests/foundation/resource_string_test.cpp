// Registered string tables; on Windows modules carry their own, from the resource compiler.
#include <string>

#include <gtest/gtest.h>

#include "tkv/resource_strings.h"
#include "tkv/system_text.h"

using namespace TKV;

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
