#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/codepage.h"

namespace {

std::string ToNarrow(UINT cp, const std::wstring& w, DWORD flags = 0) {
    const int n = WideCharToMultiByte(cp, flags, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    if (n > 0) {
        EXPECT_EQ(WideCharToMultiByte(cp, flags, w.data(), static_cast<int>(w.size()), &out[0], n,
                                      nullptr, nullptr),
                  n);
    }
    return out;
}

std::wstring ToWide(UINT cp, const std::string& s, DWORD flags = 0) {
    const int n = MultiByteToWideChar(cp, flags, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    if (n > 0) {
        EXPECT_EQ(MultiByteToWideChar(cp, flags, s.data(), static_cast<int>(s.size()), &out[0], n),
                  n);
    }
    return out;
}

}  // namespace

TEST(CodePage, Utf8RoundTripsEveryPlane) {
    std::wstring all;
    for (char32_t c = 1; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF)
            continue;
        if (c > 0xFFFF && sizeof(wchar_t) == 2) {  // UTF-16 where wchar_t has 16 bits
            all.push_back(static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10)));
            all.push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
        } else {
            all.push_back(static_cast<wchar_t>(c));
        }
    }
    const std::string utf8 = ToNarrow(CP_UTF8, all);
    EXPECT_EQ(utf8.size(), 127u + 1920u * 2 + (0xFFFFu - 0x7FFu - 2048u) * 3 + 0x100000u * 4);
    EXPECT_EQ(ToWide(CP_UTF8, utf8), all);
    EXPECT_EQ(ToWide(CP_ACP, utf8), all);
}

TEST(CodePage, WholeStringCountsIncludeTheNul) {
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "ab\xC3\xA9", -1, nullptr, 0), 4);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"\U0001F600", -1, nullptr, 0, nullptr, nullptr), 5);
    wchar_t small[2];
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, small, 2), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

TEST(CodePage, BadArgumentsAreRefused) {
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, nullptr, -1, nullptr, 0), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "a", 0, nullptr, 0), 0);
    EXPECT_EQ(MultiByteToWideChar(4242, 0, "a", -1, nullptr, 0), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"a", -1, nullptr, 0, "?", nullptr), 0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0x1000, "a", -1, nullptr, 0), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_FLAGS);
}

TEST(CodePage, MalformedUtf8ReplacesEachMaximalBadSequence) {
    EXPECT_EQ(ToWide(CP_UTF8, "\xC0\xAF"), L"\uFFFD\uFFFD");                      // overlong
    EXPECT_EQ(ToWide(CP_UTF8, "\xF4\x90\x80\x80"), L"\uFFFD\uFFFD\uFFFD\uFFFD");  // > U+10FFFF
    EXPECT_EQ(ToWide(CP_UTF8, "\xE4\xB8x"), L"\uFFFDx");                          // cut short
    EXPECT_EQ(ToWide(CP_UTF8, "\xF0\x9F\x98"), L"\uFFFD");                        // cut at the end
    EXPECT_EQ(ToWide(CP_UTF8, "\xED\xA0\x80"), L"\uFFFD\uFFFD\uFFFD");  // encoded surrogate
    EXPECT_EQ(ToWide(CP_UTF8, "a\xFF!"), L"a\uFFFD!");                  // never valid
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "\xFF", 1, nullptr, 0), 0);
    EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
}

TEST(CodePage, SurrogatePairsJoinAndLoneOnesAreReplaced) {
    const std::wstring pair = {static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)};
    EXPECT_EQ(ToNarrow(CP_UTF8, pair), "\xF0\x9F\x98\x80");
    const std::wstring lone = {static_cast<wchar_t>(0xDE00), static_cast<wchar_t>(-5),
                               static_cast<wchar_t>(0xD800), L'y', static_cast<wchar_t>(0x110000)};
    EXPECT_EQ(ToNarrow(CP_UTF8, lone), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDy\xEF\xBF\xBD");
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, lone.data(), 2, nullptr, 0,
                                  nullptr, nullptr),
              0);
}

TEST(CodePage, IconvCodePagesRoundTripAndReplace) {
    std::string bytes;
    for (int b = 0x20; b < 0x80; ++b)
        bytes.push_back(static_cast<char>(b));
    bytes += "\xE9\xFC\x80";  // e acute, u umlaut, euro sign
    const std::wstring wide = ToWide(1252, bytes);
    EXPECT_EQ(wide.substr(wide.size() - 3), L"\u00e9\u00fc\u20ac");
    EXPECT_EQ(ToNarrow(1252, wide), bytes);
    EXPECT_EQ(ToNarrow(1252, L"a\u4e2db\U0001F600"), "a?b?");
    BOOL used = FALSE;
    char out[8];
    EXPECT_EQ(WideCharToMultiByte(28591, 0, L"\u4e2d", 1, out, 8, "#", &used), 1);
    EXPECT_EQ(out[0], '#');
    EXPECT_TRUE(used);
    EXPECT_EQ(ToWide(932, "\x82\xA0"), L"\u3042");  // hiragana a, multi-byte code page
}
