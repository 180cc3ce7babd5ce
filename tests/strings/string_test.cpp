#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "tkv/string.h"

using TKV::String;

namespace {

constexpr unsigned int npos = 0xFFFFFFFFu;

// The widest code unit: beyond 16 bits where wchar_t has 32.
const wchar_t kWide = static_cast<wchar_t>(sizeof(wchar_t) > 2 ? 0x1F600 : 0xFFFD);
const std::wstring kReplacement{L'x', kWide};

// Short texts over a small alphabet (one unit of the widest), so that searches hit often.
std::wstring RandomText(std::mt19937& rng, size_t maxLength) {
    static const wchar_t alphabet[] = {L'a', L'b', L'c', L' ', L'\x00C4', kWide};
    std::uniform_int_distribution<size_t> length(0, maxLength), pick(0, 5);
    std::wstring s(length(rng), L'a');
    for (wchar_t& c : s) {
        c = alphabet[pick(rng)];
    }
    return s;
}

unsigned int Pos(size_t p) {
    return p == std::wstring::npos ? npos : static_cast<unsigned int>(p);
}

}  // namespace

// Where the semantics coincide with std::wstring, random texts must give the same answers.
TEST(StringProperty, AgreesWithStdWstring) {
    std::mt19937 rng(20);
    for (int round = 0; round < 3000; ++round) {
        const std::wstring text = RandomText(rng, 40), part = RandomText(rng, 3);
        String s(text.c_str());
        ASSERT_EQ(s.GetLength(), text.size());
        const unsigned int n = static_cast<unsigned int>(text.size());
        for (unsigned int start = 0; start < n; ++start) {
            if (!part.empty()) {
                ASSERT_EQ(s.Find(part.c_str(), start), Pos(text.find(part, start)));
                ASSERT_EQ(s.RFind(part.c_str(), start), Pos(text.rfind(part, n - start)));
            }
            ASSERT_EQ(s.Find(L'b', start), Pos(text.find(L'b', start)));
            ASSERT_EQ(s.RFind(L'b', start), Pos(text.rfind(L'b', n - start)));
            const unsigned int count = static_cast<unsigned int>(rng() % (n - start + 1));
            ASSERT_EQ(s.SubStr(start, count), text.substr(start, count).c_str());
        }
        ASSERT_EQ(s.CountOf(L'a'), std::count(text.begin(), text.end(), L'a'));
        String other(part.c_str());
        ASSERT_EQ(s < other, text < part);
        ASSERT_EQ(s == other, text == part);

        if (!part.empty()) {
            std::wstring expected;
            for (size_t i = 0; i < text.size();) {
                const bool hit = text.compare(i, part.size(), part) == 0;
                expected += hit ? kReplacement : text.substr(i, 1);
                i += hit ? part.size() : 1;
            }
            String replaced(text.c_str());
            ASSERT_EQ(replaced.Replace(part.c_str(), kReplacement.c_str()), expected.size());
            ASSERT_EQ(replaced, expected.c_str());
        }
        const size_t first = text.find_first_not_of(L" a"), last = text.find_last_not_of(L" a");
        const std::wstring trimmed =
            first == std::wstring::npos ? L"" : text.substr(first, last - first + 1);
        ASSERT_EQ(s.Trim(L" a"), text.size() - trimmed.size());
        ASSERT_EQ(s, trimmed.c_str());
    }
}

TEST(StringRules, SearchEditAndReplaceWhereStdDiffers) {
    const String abc(L"abc"), empty;
    EXPECT_EQ(abc.Find(L"", 0), 3u);
    EXPECT_EQ(abc.Find(nullptr, 1), 3u);
    EXPECT_EQ(abc.Find(L"c", 3), npos);
    EXPECT_EQ(abc.Find(L"c", npos), npos);
    EXPECT_EQ(empty.Find(L"", 0), npos);
    EXPECT_EQ(abc.Find(L'\0', 0), npos);

    const String abcb(L"abcb");
    EXPECT_EQ(abcb.RFind(L"b", 4), npos);
    EXPECT_EQ(abcb.RFind(L'b', npos), npos);
    EXPECT_EQ(abcb.RFind(L"", 1), 4u);
    EXPECT_EQ(abcb.RFind(L"", 0), npos);
    EXPECT_EQ(abcb.RFind(L"abcbx", 0), npos);

    EXPECT_FALSE(abc.Beginswith(L""));
    EXPECT_FALSE(empty.Beginswith(L"a"));
    EXPECT_TRUE(abc.Beginswith(L"ab"));
    EXPECT_TRUE(String(L"a").Contains(L""));
    EXPECT_FALSE(empty.Contains(nullptr));
    EXPECT_EQ(abc.SubStr(1, npos), L"bc");
    EXPECT_TRUE(abc.SubStr(1, 5).IsEmpty());
    EXPECT_TRUE(abc.SubStr(3, 1).IsEmpty());
    EXPECT_TRUE(abc.SubStr(npos, npos).IsEmpty());

    String padded(L"  ab ");
    EXPECT_EQ(padded.Trim(L" "), 3u);
    EXPECT_EQ(padded, L"ab");
    EXPECT_EQ(padded.Trim(nullptr), 0u);
    String blank(L"   ");
    EXPECT_EQ(blank.Trim(L" "), 3u);
    EXPECT_TRUE(blank.IsEmpty());

    const String csv(L"a,,b");
    int pos = 0;
    EXPECT_EQ(csv.Tokenize(L",", pos), L"a");
    EXPECT_EQ(pos, 2);
    EXPECT_TRUE(csv.Tokenize(L',', pos).IsEmpty());
    EXPECT_EQ(pos, 3);
    EXPECT_EQ(csv.Tokenize(L",", pos), L"b");
    EXPECT_EQ(pos, -1);
    EXPECT_TRUE(csv.Tokenize(L",", pos).IsEmpty());
    EXPECT_EQ(pos, -1);

    const String trailing(L"a,");
    pos = 0;
    EXPECT_EQ(trailing.Tokenize(L",", pos), L"a");
    EXPECT_TRUE(trailing.Tokenize(L",", pos).IsEmpty());
    EXPECT_EQ(pos, 2);
    pos = 0;
    EXPECT_EQ(trailing.Tokenize(nullptr, pos), L"a,");
    EXPECT_EQ(pos, -1);
    String t(L"axbx");
    t.Replace(L"x", L"");
    EXPECT_EQ(t, L"ab");
    String u(L"abc");
    EXPECT_EQ(u.Replace(L"b", nullptr), 3u);
    EXPECT_EQ(u.Replace(L"", L"x"), 3u);
    EXPECT_EQ(u.Replace(L"q", L"x"), 3u);
    EXPECT_EQ(u, L"abc");
    String v(L"aXa");
    EXPECT_EQ(v.Replace(L'a', L'b'), 2u);
    EXPECT_EQ(v, L"bXb");
    // A NUL as the new character ends the text, yet every old character is replaced and counted.
    EXPECT_EQ(v.Replace(L'b', L'\0'), 2u);
    EXPECT_TRUE(v.IsEmpty());
    EXPECT_EQ(v.GetBuffer()[2], L'\0');
    // The replacement text is never searched again, and the result outgrows the start size.
    String w(std::wstring(300, L'a').c_str());
    EXPECT_EQ(w.Replace(L"a", L"aa"), 600u);
    EXPECT_EQ(w.Find(L"b", 0), npos);
}

TEST(StringValue, AssignmentGrowthAccessAndOrder) {
    String s;
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_EQ(s.GetAt(0), 0);
    s = std::wstring(200, L'x').c_str();
    // Assigning counts the old length too: room for 200 + 100 characters, which agents may fill.
    s = std::wstring(100, L'y').c_str();
    wchar_t* raw = s;
    std::fill(raw, raw + 300, L'z');
    raw[300] = 0;
    EXPECT_EQ(s.GetLength(), 300u);

    String t(L"abc");
    t.SetSize(100);
    EXPECT_EQ(t, L"abc");
    t.SetSize(300);
    EXPECT_TRUE(t.IsEmpty());

    String a(L"a"), b(L"b");
    String& sum = a + b;
    EXPECT_EQ(&sum, &a);
    EXPECT_EQ(a, L"ab");
    a += a;  // appending itself is safe even though growth moves the buffer
    EXPECT_EQ(a, L"abab");
    a = a.GetBuffer() + 1;
    EXPECT_EQ(a, L"bab");
    a.SetAt(1, L'X');
    a.SetAt(3, L'Y');
    EXPECT_EQ(a, L"bXb");
    EXPECT_EQ(a[1], L'X');
    EXPECT_EQ(a[npos], 0);

    EXPECT_LT(String(L"a").Compare(String(L"B"), false), 0);
    EXPECT_GT(String(L"a").Compare(String(L"B"), true), 0);
    EXPECT_TRUE(String(L"ab") > L"a");
    EXPECT_TRUE(String(L"") != nullptr);
    EXPECT_TRUE(String(L"aB").Equal(L"Ab", false));

    String upper(
        L"\x00C4"
        L"BC");
    upper.MakeLower();
    EXPECT_EQ(upper,
              L"\x00C4"
              L"bc");
    EXPECT_TRUE(String(L'\0').IsEmpty());
    EXPECT_EQ(String(L'q'), L"q");
}
