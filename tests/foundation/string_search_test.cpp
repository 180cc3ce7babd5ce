#include <gtest/gtest.h>

#include "tests/support/wide_text.h"
#include "tkv/string_functions.h"

using namespace TKV;

template <typename CharT>
class StrSearchTest : public ::testing::Test {};
TYPED_TEST_SUITE(StrSearchTest, BothWidths);

TYPED_TEST(StrSearchTest, FindsOnlyInsideTheWindow) {
    using C = TypeParam;
    const auto text = Text<C>("abcdef"), cd = Text<C>("cd");
    const C* t = text.c_str();
    EXPECT_EQ(StrSearch(t, cd.c_str(), 4), t + 2);
    EXPECT_EQ(StrSearch(t, cd.c_str(), 3), nullptr);
    EXPECT_EQ(StrSearch(t, cd.c_str(), 0), t + 2);
    EXPECT_EQ(StrSearch(t, cd.c_str(), 100), t + 2);
    EXPECT_EQ(StrSearch(t, C('d'), 3), nullptr);
    EXPECT_EQ(StrSearch(t, C('d'), 4), t + 3);
    EXPECT_EQ(StrSearch(t, Text<C>("abcdefg").c_str(), 0), nullptr);
}

TYPED_TEST(StrSearchTest, FindHandlesEmptyAndNullArguments) {
    using C = TypeParam;
    const auto abc = Text<C>("abc"), empty = Text<C>("");
    const C* null = nullptr;
    EXPECT_EQ(StrFind(abc.c_str(), empty.c_str()), abc.c_str() + 3);
    EXPECT_EQ(StrFind(abc.c_str(), null), abc.c_str() + 3);
    EXPECT_EQ(StrFind(empty.c_str(), abc.c_str()), nullptr);
    EXPECT_EQ(StrFind(null, abc.c_str()), nullptr);
    EXPECT_EQ(StrFind(abc.c_str(), C(0)), nullptr);
    EXPECT_EQ(StrFind(abc.c_str(), C('c')), abc.c_str() + 2);
    EXPECT_EQ(StrFind(abc.c_str(), Text<C>("bc").c_str()), abc.c_str() + 1);
}

TYPED_TEST(StrSearchTest, RevFindLooksBackFromFrom) {
    using C = TypeParam;
    const auto text = Text<C>("abcabc"), bc = Text<C>("bc");
    const C* t = text.c_str();
    EXPECT_EQ(StrRevFind(t, t + 5, bc.c_str()), t + 4);
    EXPECT_EQ(StrRevFind(t, t + 3, bc.c_str()), t + 1);
    EXPECT_EQ(StrRevFind(t, t + 0, bc.c_str()), nullptr);
    EXPECT_EQ(StrRevFind(t + 2, t + 1, bc.c_str()), nullptr);
    EXPECT_EQ(StrRevFind(t, t + 2, Text<C>("").c_str()), t + 6);
    EXPECT_EQ(StrRevFind(t, static_cast<const C*>(nullptr), bc.c_str()), nullptr);
    EXPECT_EQ(StrRevFind(t, t + 5, C('a')), t + 3);
    EXPECT_EQ(StrRevFind(t, t + 2, C('a')), t);
    EXPECT_EQ(StrRevFind(t + 1, t + 2, C('a')), nullptr);
}
