#include <gtest/gtest.h>

#include "tests/support/wide_text.h"
#include "tkv/string_functions.h"

using namespace TKV;

template <typename CharT>
class StringNumbers : public ::testing::Test {
  protected:
    static int ToInt(const char* s) {
        if constexpr (sizeof(CharT) == 1)
            return StrToIntA(s);
        else
            return StrToIntW(Text<wchar_t>(s).c_str());
    }
};
TYPED_TEST_SUITE(StringNumbers, BothWidths);

TYPED_TEST(StringNumbers, ParsesSignAndDigitsOnly) {
    EXPECT_EQ(this->ToInt("-42abc"), -42);
    EXPECT_EQ(this->ToInt("+7"), 7);
    EXPECT_EQ(this->ToInt(" 5"), 0);
    EXPECT_EQ(this->ToInt("--5"), 0);
    EXPECT_EQ(this->ToInt(""), 0);
    EXPECT_EQ(this->ToInt("4294967297"), 1);  // wraps in 32 bits
    EXPECT_EQ(StrToIntA(nullptr), 0);
    EXPECT_EQ(StrToIntW(nullptr), 0);
}

template <typename CharT>
class StringCompare : public ::testing::Test {};
TYPED_TEST_SUITE(StringCompare, BothWidths);

TYPED_TEST(StringCompare, NullSortsFirstCountedCompareStopsAfterCountAndLengthsAndEnds) {
    using C = TypeParam;
    const C* null = nullptr;
    const auto empty = Text<C>("");
    for (bool exact : {true, false}) {
        EXPECT_EQ(StrCompare(null, null, exact), 0);
        EXPECT_EQ(StrCompare(null, empty.c_str(), exact), -1);
        EXPECT_EQ(StrCompare(empty.c_str(), null, exact), 1);
        EXPECT_EQ(StrCompareN(null, empty.c_str(), 0, exact), -1);
        EXPECT_EQ(StrCompareN(empty.c_str(), null, 0, exact), 1);
        EXPECT_TRUE(StrEqual(null, null, exact));
        EXPECT_FALSE(StrEqual(empty.c_str(), null, exact));
        EXPECT_FALSE(StrEqual(null, empty.c_str(), exact));
    }
    const auto a = Text<C>("abcX"), b = Text<C>("ABcY");
    EXPECT_EQ(StrCompareN(a.c_str(), b.c_str(), 3, false), 0);
    EXPECT_NE(StrCompareN(a.c_str(), b.c_str(), 3, true), 0);
    EXPECT_LT(StrCompareN(a.c_str(), b.c_str(), 4, false), 0);
    EXPECT_EQ(StrCompareN(a.c_str(), b.c_str(), 0, true), 0);
    const auto abc = Text<C>("abc");
    EXPECT_EQ(StrLength(abc.c_str()), 3u);
    EXPECT_EQ(StrLength(static_cast<const C*>(nullptr)), 0u);
    EXPECT_EQ(EndOfString(abc.c_str()), abc.c_str() + 3);
    EXPECT_EQ(EndOfString(empty.c_str()), nullptr);
    EXPECT_EQ(EndOfString(static_cast<const C*>(nullptr)), nullptr);
}

TYPED_TEST(StringCompare, FoldsAndClassifiesOnlyAsciiAndOrdersUnsignedUnitsAndPrefixesFirst) {
    using C = TypeParam;
    EXPECT_EQ(StrCompare(Text<C>("abc").c_str(), Text<C>("ABC").c_str(), false), 0);
    EXPECT_EQ(StrCompare(Text<C>("abc").c_str(), Text<C>("ABC").c_str(), true), 1);
    EXPECT_TRUE(StrEqual(Text<C>("Hello").c_str(), Text<C>("hello").c_str(), false));
    EXPECT_FALSE(StrEqual(Text<C>("Hello").c_str(), Text<C>("hello").c_str(), true));
    // Folding is to lower case: '_' (0x5F) sorts before 'a' although after 'A'.
    EXPECT_LT(StrCompare(Text<C>("_").c_str(), Text<C>("A").c_str(), false), 0);
    std::basic_string<C> upper(1, static_cast<C>(0xC9)), lower(1, static_cast<C>(0xE9));
    EXPECT_FALSE(StrEqual(upper.c_str(), lower.c_str(), false));
    std::basic_string<C> high(1, static_cast<C>(0xE9));
    EXPECT_EQ(StrCompare(Text<C>("z").c_str(), high.c_str(), true), -1);
    EXPECT_EQ(StrCompare(Text<C>("ab").c_str(), Text<C>("abc").c_str(), true), -1);
    EXPECT_GT(StrCompare(Text<C>("abc").c_str(), Text<C>("ab").c_str(), false), 0);
    EXPECT_NE(IsAlpha(C('q')), 0u);
    EXPECT_EQ(IsAlpha(C('7')), 0u);
    EXPECT_EQ(IsAlphaNum(C('7')), 1u);
    EXPECT_EQ(IsAlphaNum(C('Z')), 1u);
    EXPECT_EQ(IsAlphaNum(C('_')), 0u);
    EXPECT_NE(IsNumeric(C('0')), 0u);
    EXPECT_EQ(IsNumeric(C(0)), 0u);
    EXPECT_EQ(IsAlpha(static_cast<C>(0xE9)), 0u);
    EXPECT_EQ(IsAlphaNum(static_cast<C>(-23)), 0u);
}

TEST(StringCompare, WideUnitsKeepTheirFullValue) {
    const wchar_t big[] = {static_cast<wchar_t>(0x10000), 0};
    const wchar_t small[] = {static_cast<wchar_t>(0xFFFF), 0};
    EXPECT_EQ(StrCompare(big, small, true), 1);
    EXPECT_FALSE(StrEqual(big, L"\u0000", false));
    const wchar_t folded[] = {static_cast<wchar_t>(0x10041), 0};  // 'A' + 0x10000
    EXPECT_FALSE(StrEqual(folded, L"a", false));
    EXPECT_EQ(IsAlpha(folded[0]), 0u) << "classes are not truncated to 16 bits either";
    EXPECT_EQ(IsNumeric(static_cast<wchar_t>(0x20035)), 0u);
}

template <typename CharT>
class StrSearchTest : public ::testing::Test {};
TYPED_TEST_SUITE(StrSearchTest, BothWidths);

TYPED_TEST(StrSearchTest, FindsInsideTheWindowOrBackFromAStartAndHandlesEmptyAndNull) {
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
    const auto abc = Text<C>("abc"), empty = Text<C>("");
    const C* null = nullptr;
    EXPECT_EQ(StrFind(abc.c_str(), empty.c_str()), abc.c_str() + 3);
    EXPECT_EQ(StrFind(abc.c_str(), null), abc.c_str() + 3);
    EXPECT_EQ(StrFind(empty.c_str(), abc.c_str()), nullptr);
    EXPECT_EQ(StrFind(null, abc.c_str()), nullptr);
    EXPECT_EQ(StrFind(abc.c_str(), C(0)), nullptr);
    EXPECT_EQ(StrFind(abc.c_str(), C('c')), abc.c_str() + 2);
    EXPECT_EQ(StrFind(abc.c_str(), Text<C>("bc").c_str()), abc.c_str() + 1);
    const auto twice = Text<C>("abcabc"), bc = Text<C>("bc");
    const C* w = twice.c_str();  // the reverse search looks back from a position
    EXPECT_EQ(StrRevFind(w, w + 5, bc.c_str()), w + 4);
    EXPECT_EQ(StrRevFind(w, w + 3, bc.c_str()), w + 1);
    EXPECT_EQ(StrRevFind(w, w + 0, bc.c_str()), nullptr);
    EXPECT_EQ(StrRevFind(w + 2, w + 1, bc.c_str()), nullptr);
    EXPECT_EQ(StrRevFind(w, w + 2, Text<C>("").c_str()), w + 6);
    EXPECT_EQ(StrRevFind(w, static_cast<const C*>(nullptr), bc.c_str()), nullptr);
    EXPECT_EQ(StrRevFind(w, w + 5, C('a')), w + 3);
    EXPECT_EQ(StrRevFind(w, w + 2, C('a')), w);
    EXPECT_EQ(StrRevFind(w + 1, w + 2, C('a')), nullptr);
}
