#include <string>

#include <gtest/gtest.h>

#include "tkv/string_functions.h"

using namespace TKV;

TEST(StrConvert, EmptyOrNullInputGivesNull) {
    EXPECT_EQ(StrConvert(L"", 0), nullptr);
    EXPECT_EQ(StrConvert("", 0), nullptr);
    EXPECT_EQ(StrConvert(static_cast<const wchar_t*>(nullptr), 0), nullptr);
    EXPECT_EQ(StrConvert(static_cast<const char*>(nullptr), 65001), nullptr);
}

TEST(StrConvert, AnsiAndUtf8AreUtf8) {
    EXPECT_STREQ(StrConvert(L"abc", 0), "abc");
    EXPECT_STREQ(StrConvert(L"\u00e9\u4e2d\U0001F600", 65001),
                 "\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80");
    EXPECT_STREQ(StrConvert("\xC3\xA9\xF0\x9F\x98\x80", 0), L"\u00e9\U0001F600");
}

TEST(StrConvert, OtherCodePagesAndUnknownOnes) {
    EXPECT_STREQ(StrConvert(L"caf\u00e9", 1252), "caf\xE9");
    EXPECT_STREQ(StrConvert("caf\xE9", 1252), L"caf\u00e9");
    EXPECT_STREQ(StrConvert(L"\u4e2d", 1252), "?");
    EXPECT_EQ(StrConvert(L"abc", 12345), nullptr);
}

TEST(StrConvert, MalformedInputBecomesReplacementCharacters) {
    EXPECT_STREQ(StrConvert("a\xFF"
                            "b\xE4\xB8",
                            65001),
                 L"a\uFFFDb\uFFFD");
    EXPECT_STREQ(StrConvert("\xED\xA0\x80", 65001), L"\uFFFD\uFFFD\uFFFD");  // encoded surrogate
    const wchar_t lone[] = {L'x', static_cast<wchar_t>(0xD800), L'y',
                            static_cast<wchar_t>(0x110000), 0};
    EXPECT_STREQ(StrConvert(lone, 65001), "x\xEF\xBF\xBDy\xEF\xBF\xBD");
}

TEST(StrFormat, FormatsIntoATemporaryString) {
    EXPECT_STREQ(StrFormat("%d-%s", 5, "x"), "5-x");
    EXPECT_STREQ(StrFormat(L"%d-%s", 5, L"x"), L"5-x");
    EXPECT_EQ(StrFormat(""), nullptr);
    EXPECT_EQ(StrFormat(L""), nullptr);
    EXPECT_EQ(StrFormat("%s", ""), nullptr);
}

TEST(StrFormat, WideFormatTakesWindowsConversions) {
    EXPECT_STREQ(StrFormat(L"[%s|%S|%hs|%ls|%c|%C]", L"w", "n", "h", L"l", L'c', 'C'),
                 L"[w|n|h|l|c|C]");
    EXPECT_STREQ(StrFormat(L"%I64d %5.2f %%", 1LL << 40, 3.14159), L"1099511627776  3.14 %");
    EXPECT_STREQ(StrFormat(L"%s", L"\U0001F600\u00e9"), L"\U0001F600\u00e9");
}

TEST(StrFormat, NarrowFormatWritesWideArgumentsAsUtf8) {
    EXPECT_STREQ(StrFormat("%ls!", L"\u00e9\U0001F600"), "\xC3\xA9\xF0\x9F\x98\x80!");
}

TEST(StrFormat, LongResultsAreMeasuredExactlyAndCapped) {
    const std::wstring long1(5000, L'q');
    const wchar_t* out = StrFormat(L"<%s>", long1.c_str());
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(std::wstring(out), L"<" + long1 + L">");
    const std::string big(511999, 'b');
    EXPECT_NE(StrFormat("%s", big.c_str()), nullptr);
    EXPECT_EQ(StrFormat("%sb", big.c_str()), nullptr);  // 512000 characters plus the NUL
    const std::wstring wbig(512000, L'b');
    EXPECT_EQ(StrFormat(L"%s", wbig.c_str()), nullptr);
}
