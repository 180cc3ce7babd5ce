#include <string>

#include <gtest/gtest.h>

#include "tkv/string_functions.h"

using namespace TKV;

// The conversion itself belongs to the code-page layer; here only what the wrapper adds.
TEST(StrConvertAndFormat,
     WholeStringsIntoTemporaryOnesEmptyNullOrUnknownGiveNullAndLengthsAreCapped) {
    EXPECT_EQ(StrConvert(L"", 0), nullptr);
    EXPECT_EQ(StrConvert("", 0), nullptr);
    EXPECT_EQ(StrConvert(static_cast<const wchar_t*>(nullptr), 0), nullptr);
    EXPECT_EQ(StrConvert(static_cast<const char*>(nullptr), 65001), nullptr);
    EXPECT_EQ(StrConvert(L"abc", 12345), nullptr);
    EXPECT_STREQ(StrConvert(L"abc", 0), "abc");
    EXPECT_STREQ(StrConvert("\xC3\xA9\xF0\x9F\x98\x80", 0), L"\u00e9\U0001F600");
    EXPECT_STREQ(StrConvert(L"caf\u00e9", 1252), "caf\xE9");
    EXPECT_STREQ(StrConvert("caf\xE9", 1252), L"caf\u00e9");
    EXPECT_STREQ(StrFormat("%d-%s", 5, "x"), "5-x");
    EXPECT_STREQ(StrFormat(L"%d-%s", 5, L"x"), L"5-x");
    EXPECT_EQ(StrFormat(""), nullptr);
    EXPECT_EQ(StrFormat(L""), nullptr);
    EXPECT_EQ(StrFormat("%s", ""), nullptr);
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
