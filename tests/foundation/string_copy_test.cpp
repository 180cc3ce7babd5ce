#include <gtest/gtest.h>

#include "tests/support/wide_text.h"
#include "tkv/string_functions.h"

using namespace TKV;

template <typename CharT>
class StrCopyTest : public ::testing::Test {};
TYPED_TEST_SUITE(StrCopyTest, BothWidths);

TYPED_TEST(StrCopyTest, WritesWholeSourceUnlessAbsent) {
    using C = TypeParam;
    C dest[8] = {C('x'), C('y')};
    StrCopy(dest, static_cast<const C*>(nullptr));
    EXPECT_EQ(dest[0], C('x'));
    StrCopy(dest, Text<C>("").c_str());
    EXPECT_EQ(dest[0], C(0));
    StrCopy(dest, Text<C>("hello").c_str());
    EXPECT_EQ(std::basic_string<C>(dest), Text<C>("hello"));
    StrCopy(dest, dest + 1);  // overlapping both ways: shifts as a move would
    EXPECT_EQ(std::basic_string<C>(dest), Text<C>("ello"));
    StrCopy(dest + 2, dest);
    EXPECT_EQ(std::basic_string<C>(dest), Text<C>("elello"));
}

TYPED_TEST(StrCopyTest, SafeCopyCutsAtTheLimit) {
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
