// String resources on Windows: the module's own string table (resource_strings.rc, compiled into
// this program).
#include <gtest/gtest.h>

#include "tkv/system_text.h"

using namespace TKV;

TEST(ResourceString, ReadsTheModulesStringTable) {
    HINSTANCE module = GetModuleHandleW(nullptr);
    EXPECT_STREQ(TKVLoadResourceStringW(module, 17), L"seventeen");
    EXPECT_STREQ(TKVLoadResourceStringW(module, 40), L"\U0001F600 wide");
    EXPECT_EQ(TKVLoadResourceStringW(module, 18), nullptr);       // same block, missing string
    EXPECT_EQ(TKVLoadResourceStringW(module, 100), nullptr);      // no such block
    EXPECT_EQ(TKVLoadResourceStringW(module, 0x10011), nullptr);  // not 17: ids are 16-bit
}
