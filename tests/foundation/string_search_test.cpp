#include <gtest/gtest.h>

#include "tkv/memory.h"
#include "tkv/string_functions.h"
#include "wide_text.h"

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

TYPED_TEST(StrSearchTest, CopyWritesWholeSourceUnlessAbsent) {
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

TYPED_TEST(StrReplaceTest, ReplacesEveryOccurrenceLeftToRight) {
    using C = TypeParam;
    EXPECT_EQ(this->Run(Text<C>("aXbXc").c_str(), "X", Text<C>("--").c_str()), Text<C>("a--b--c"));
    EXPECT_EQ(this->Run(Text<C>("aaa").c_str(), "aa", Text<C>("b").c_str()), Text<C>("ba"));
    EXPECT_EQ(this->Run(Text<C>("aXbX").c_str(), "X", Text<C>("").c_str()), Text<C>("ab"));
    EXPECT_EQ(this->Run(Text<C>("ab").c_str(), "X", nullptr), Text<C>("<null>"));
    EXPECT_EQ(this->Run(Text<C>("ab").c_str(), "", Text<C>("y").c_str()), Text<C>("<null>"));
    EXPECT_EQ(this->Run(nullptr, "X", Text<C>("y").c_str()), Text<C>("<null>"));
    EXPECT_EQ(this->Run(Text<C>("").c_str(), "X", Text<C>("y").c_str()), Text<C>(""));
}

TYPED_TEST(StrReplaceTest, GrowsAcrossManyStepsWithoutLosingText) {
    using C = TypeParam;
    std::basic_string<C> text, expected;
    const auto longer = std::basic_string<C>(700, C('-'));
    for (int i = 0; i < 3000; ++i) {
        text += Text<C>("ab.");
        expected += Text<C>("ab") + longer;
    }
    EXPECT_EQ(this->Run(text.c_str(), ".", longer.c_str()), expected);
    EXPECT_EQ(this->Run(text.c_str(), ".", Text<C>("").c_str()).size(), 6000u);
}

TYPED_TEST(StrReplaceTest, CharacterFormCountsAndScansToTheOldEnd) {
    using C = TypeParam;
    auto text = Text<C>("a.b.c");
    EXPECT_EQ(StrReplace(&text[0], C('.'), C('/')), 2u);
    EXPECT_EQ(text, Text<C>("a/b/c"));
    EXPECT_EQ(StrReplace(&text[0], C('/'), C(0)), 2u);
    EXPECT_EQ(text[4], C('c'));
    EXPECT_EQ(StrReplace(static_cast<C*>(nullptr), C('a'), C('b')), 0u);
}
