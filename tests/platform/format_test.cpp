#include <cstdarg>
#include <string>

#include <gtest/gtest.h>

#include "platform/format.h"

namespace {

// Measures, then formats into exactly that room; "<error>" when measuring fails.
template <typename C>
std::basic_string<C> Format(const C* format, ...) {
    va_list args, copy;
    va_start(args, format);
    va_copy(copy, args);
    const int n = TKV::platform::FormatLength(format, copy);
    va_end(copy);
    std::basic_string<C> out(n >= 0 ? static_cast<size_t>(n) + 1 : 0, C(0));
    if (n >= 0) {
        EXPECT_EQ(TKV::platform::Format(&out[0], out.size(), format, args), n);
        out.resize(static_cast<size_t>(n));
    } else {
        const char error[] = "<error>";
        out.assign(error, error + sizeof(error) - 1);
    }
    va_end(args);
    return out;
}

}  // namespace

TEST(WideFormat, StringAndCharacterConversionsFollowTheWideConvention) {
    EXPECT_EQ(Format(L"%s %ws %ls", L"a", L"b", L"c"), L"a b c");
    EXPECT_EQ(Format(L"%S %hs %-3hs|", "n", "h", "p"), L"n h p  |");
    EXPECT_EQ(Format(L"%c%C%hc%lc", L'w', 'n', 'h', L'l'), L"wnhl");
    EXPECT_EQ(Format(L"%.2s|%5s", L"abcdef", L"xy"), L"ab|   xy");
}

TEST(WideFormat, NumbersAndSizePrefixes) {
    EXPECT_EQ(
        Format(L"%I64u %I32d %Iu %lld %hhd %%", 1ULL << 33, -4, static_cast<size_t>(9), -1LL, 300),
        L"8589934592 -4 9 -1 44 %");
    EXPECT_EQ(Format(L"%*d|%-*.*f", 4, 7, 6, 1, 2.26), L"   7|2.3   ");
}

TEST(WideFormat, ManyArgumentsAndLongOutputAreMeasuredExactly) {
    const std::wstring chunk(300, L'z');
    const std::wstring out =
        Format(L"%s%s%s%s%s%s%s%s%d", chunk.c_str(), chunk.c_str(), chunk.c_str(), chunk.c_str(),
               chunk.c_str(), chunk.c_str(), chunk.c_str(), chunk.c_str(), 12345);
    EXPECT_EQ(out.size(), 8 * 300u + 5);
    EXPECT_EQ(out.substr(out.size() - 5), L"12345");
}

TEST(WideFormat, NarrowArgumentsAreUtf8WhateverTheLocale) {
    EXPECT_EQ(Format(L"%hs|%S", "caf\xC3\xA9", "\xF0\x9F\x98\x80"), L"caf\u00e9|\U0001F600");
}

TEST(NarrowFormat, WindowsConversionsAndSizePrefixes) {
    EXPECT_EQ(
        Format("%s|%S|%ls|%ws|%hs|%c|%C", "n", L"w", L"\U0001F600", L"x", "h", 'c', L'\u00e9'),
        "n|w|\xF0\x9F\x98\x80|x|h|c|\xC3\xA9");
    EXPECT_EQ(Format("%I64d|%I32u|%Iu", -(1LL << 40), 7u, static_cast<size_t>(3)),
              "-1099511627776|7|3");
}

TEST(WideFormat, UnformattableArgumentIsAnError) {
    EXPECT_EQ(Format(L"%hs", "\xFF\xFE"), L"<error>");  // not UTF-8
    EXPECT_EQ(Format(L"%"), L"<error>");
    const std::wstring longText(3000, L'x');  // past the first measuring buffer
    EXPECT_EQ(Format(L"%s%hs", longText.c_str(), "\xFF"), L"<error>");
}

TEST(Format, CountConversionIsRefusedAndWritesNothing) {
    int narrow = 7, wide = 7;
    EXPECT_EQ(Format("ab%n%d", &narrow, 1), "<error>");
    EXPECT_EQ(Format(L"ab%n%d", &wide, 1), L"<error>");
    EXPECT_EQ(narrow, 7);
    EXPECT_EQ(wide, 7);
}
