#include <gtest/gtest.h>

#include "tests/support/wide_text.h"
#include "tkv/heap.h"
#include "tkv/string_functions.h"

using namespace TKV;

template <typename CharT>
class StrReplaceTest : public ::testing::Test {
  protected:
    // The replaced text, or "<null>" for a null result.
    static std::basic_string<CharT> Run(const CharT* text, const char* oldText,
                                        const CharT* newText) {
        const CharT* out = StrReplace(text, Text<CharT>(oldText).c_str(), newText);
        if (out == nullptr)
            return Text<CharT>("<null>");
        std::basic_string<CharT> result(out);
        StrFree(out);
        return result;
    }
};
TYPED_TEST_SUITE(StrReplaceTest, BothWidths);

TYPED_TEST(StrReplaceTest,
           ReplacesEveryOccurrenceLeftToRightGrowsWithoutLosingTextAndCountsCharacters) {
    using C = TypeParam;
    EXPECT_EQ(this->Run(Text<C>("aXbXc").c_str(), "X", Text<C>("--").c_str()), Text<C>("a--b--c"));
    EXPECT_EQ(this->Run(Text<C>("aaa").c_str(), "aa", Text<C>("b").c_str()), Text<C>("ba"));
    EXPECT_EQ(this->Run(Text<C>("aXbX").c_str(), "X", Text<C>("").c_str()), Text<C>("ab"));
    EXPECT_EQ(this->Run(Text<C>("ab").c_str(), "X", nullptr), Text<C>("<null>"));
    EXPECT_EQ(this->Run(Text<C>("ab").c_str(), "", Text<C>("y").c_str()), Text<C>("<null>"));
    EXPECT_EQ(this->Run(nullptr, "X", Text<C>("y").c_str()), Text<C>("<null>"));
    EXPECT_EQ(this->Run(Text<C>("").c_str(), "X", Text<C>("y").c_str()), Text<C>(""));
    auto text = Text<C>("a.b.c");
    EXPECT_EQ(StrReplace(&text[0], C('.'), C('/')), 2u);
    EXPECT_EQ(text, Text<C>("a/b/c"));
    EXPECT_EQ(StrReplace(&text[0], C('/'), C(0)), 2u);
    EXPECT_EQ(text[4], C('c'));
    EXPECT_EQ(StrReplace(static_cast<C*>(nullptr), C('a'), C('b')), 0u);
    std::basic_string<C> many, grown;
    const auto longer = std::basic_string<C>(700, C('-'));
    // 600 growth steps: enough to cross many reallocations, few enough that the quadratic
    // copying stays quick under AddressSanitizer's realloc.
    for (int i = 0; i < 600; ++i) {
        many += Text<C>("ab.");
        grown += Text<C>("ab") + longer;
    }
    EXPECT_EQ(this->Run(many.c_str(), ".", longer.c_str()), grown);
    EXPECT_EQ(this->Run(many.c_str(), ".", Text<C>("").c_str()).size(), 1200u);
}

template <typename CharT>
class StrCopyTest : public ::testing::Test {};
TYPED_TEST_SUITE(StrCopyTest, BothWidths);

TYPED_TEST(StrCopyTest, WritesWholeSourceUnlessAbsentAndSafeCopyCutsAtTheLimit) {
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
