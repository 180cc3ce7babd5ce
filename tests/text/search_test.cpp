#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/temp_file.h"
#include "tests/support/wide_text.h"
#include "tkv/buffer.h"
#include "tkv/winapi.h"

using TKV::CBuffer;
using TKV::CSearchQuery;

namespace {

bool NeverStop(void* calls) {
    ++*static_cast<int*>(calls);
    return false;
}
bool StopAtOnce(void*) {
    return true;
}

using Hits = std::vector<std::pair<int, int>>;  // line number, line start

template <typename T>
Hits Recorded(const CBuffer<T>& b) {
    Hits out;
    for (int i = 0; i < b.GetResultCount(); ++i) {
        int line = 0;
        const T* start = b.GetResult(i, line);
        out.emplace_back(line, static_cast<int>(start - b.GetBuffer()));
    }
    return out;
}

// The plain definition: leftmost matches that do not overlap, a dropped whole-word match
// hiding what overlaps it, lines counted from the text's start.
template <typename T>
Hits Reference(const std::basic_string<T>& t, const std::basic_string<T>& p, bool ignoreCase,
               bool wholeWords, T delimiter) {
    auto fold = [&](T c) { return ignoreCase && c >= 'A' && c <= 'Z' ? T(c + 32) : c; };
    auto word = [&](size_t i) { return !CBuffer<T>::IsWordDelimeter(t[i]); };
    Hits out;
    for (size_t w = 0; w + p.size() <= t.size();) {
        size_t i = 0;
        while (i < p.size() && fold(t[w + i]) == fold(p[i])) {
            ++i;
        }
        if (i < p.size()) {
            ++w;
            continue;
        }
        if (!wholeWords ||
            !((w > 0 && word(w - 1)) || (w + p.size() < t.size() && word(w + p.size())))) {
            const size_t before = t.rfind(delimiter, w == 0 ? 0 : w - 1);
            const bool found = w > 0 && before != std::basic_string<T>::npos;
            int line = 1;
            for (size_t k = 0; k < w; ++k) {
                line += t[k] == delimiter;
            }
            out.emplace_back(line, found ? static_cast<int>(before + 1) : 0);
        }
        w += p.size();
    }
    return out;
}

}  // namespace

template <typename T>
class SearchTest : public ::testing::Test {
  protected:
    using Str = std::basic_string<T>;
    static Str S(const char* ascii) { return Text<T>(ascii); }
    unsigned long Find(const char* text, const char* term, unsigned long flags) {
        buffer = S(text).c_str();
        query.SetTerm(S(term).c_str(), 0, (flags & 1) != 0);
        return buffer.Search(flags, query);
    }
    CBuffer<T> buffer;
    CSearchQuery<T> query;
};
TYPED_TEST_SUITE(SearchTest, BothWidths);

TYPED_TEST(SearchTest, RecordsTheLinesOfLoadedText) {
    TempFile file("one\ntwo\nthree two");
    std::FILE* f = file.Open();
    this->buffer.Load(f);
    std::fclose(f);
    this->query.SetTerm(this->S("two").c_str(), 0, false);
    ASSERT_EQ(this->buffer.Search(0, this->query), 2u);
    int line = 0;
    EXPECT_EQ(this->S("two"), this->buffer.GetResult(0, line));
    EXPECT_EQ(line, 2);
    EXPECT_EQ(this->S("three two"), this->buffer.GetResult(1, line));
    EXPECT_EQ(line, 3);
    EXPECT_EQ(this->buffer.GetResultLength(1), 9);
    EXPECT_EQ(this->buffer.GetResult(-1, line), this->buffer.GetBuffer());
    EXPECT_EQ(line, 0);
    // An empty term leaves the hits of the last search in place.
    this->query.SetTerm(nullptr, 0, false);
    EXPECT_EQ(this->buffer.Search(0, this->query), 0u);
    EXPECT_EQ(this->buffer.GetResultCount(), 2);
    // A callback that says stop at once ends the search with no hits.
    this->query.SetTerm(this->S("two").c_str(), 0, false);
    EXPECT_EQ(this->buffer.Search(this->buffer.GetBuffer(), this->buffer.GetLength(), 0,
                                  this->query, &StopAtOnce, nullptr, 0),
              0u);
    EXPECT_EQ(this->buffer.GetResultCount(), 0);
}

TYPED_TEST(SearchTest, AgreesWithThePlainDefinitionOnRandomText) {
    std::mt19937 random(18);
    const char alphabet[] = "abAB_ \n";
    for (int round = 0; round < 400; ++round) {
        typename TestFixture::Str text, term;
        const int n = 1 + static_cast<int>(random() % 300);
        for (int i = 0; i < n; ++i) {
            text += TypeParam(alphabet[random() % 7]);
        }
        for (int i = 1 + static_cast<int>(random() % 4); i > 0; --i) {
            term += TypeParam("abAB"[random() % 4]);
        }
        const unsigned long flags = round % 4;
        const bool ignoreCase = (flags & 1) != 0, wholeWords = (flags & 2) != 0;
        this->query.SetTerm(term.c_str(), 0, ignoreCase);
        const TypeParam delimiter = round % 8 < 4 ? TypeParam('\n') : TypeParam(' ');
        const Hits expected = Reference(text, term, ignoreCase, wholeWords, delimiter);
        int calls = 0;
        for (auto stop : {static_cast<bool (*)(void*)>(nullptr), &NeverStop}) {
            this->buffer = text.c_str();
            EXPECT_EQ(this->buffer.Search(this->buffer.GetBuffer(), n, flags, this->query, stop,
                                          &calls, delimiter),
                      expected.size());
            EXPECT_EQ(Recorded(this->buffer), expected) << round;
        }
        EXPECT_EQ(calls > 0, static_cast<int>(term.size()) <= n);
    }
}

TYPED_TEST(SearchTest, AgreesOnLongTextsAndTerms) {
    std::mt19937 random(5);
    typename TestFixture::Str text;
    for (int i = 0; i < 300000; ++i) {
        text += TypeParam("abAB \n"[random() % 6]);
    }
    const auto term = text.substr(1000, 40);
    for (int k = 1; k < 12; ++k) {
        std::copy(term.begin(), term.end(), text.begin() + k * 25000 + k);
    }
    this->buffer = text.c_str();
    for (unsigned long flags = 0; flags < 4; ++flags) {
        this->query.SetTerm(term.c_str(), 0, (flags & 1) != 0);
        const Hits expected =
            Reference(text, term, (flags & 1) != 0, (flags & 2) != 0, TypeParam('\n'));
        this->buffer.Search(this->buffer.GetBuffer(), this->buffer.GetLength(), flags, this->query,
                            nullptr, nullptr, TypeParam('\n'));
        EXPECT_EQ(Recorded(this->buffer), expected) << flags;
    }
}

TYPED_TEST(SearchTest, ReadsAFileHandle) {
    // Narrow buffers take the bytes; wide ones UTF-16LE units, the byte-order mark among them.
    const bool wide = sizeof(TypeParam) > 1;
    std::string bytes;
    const std::string text = "x\r\nfind me\nno\nfind";
    if (wide) {
        bytes = "\xFF\xFE";
        for (char c : text) {
            bytes += c;
            bytes += '\0';
        }
        bytes += 'z';  // an odd last byte is dropped
    } else {
        bytes = text;
    }
    TempFile file(bytes);
    HANDLE h = CreateFileW(file.WidePath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    this->query.SetTerm(this->S("find").c_str(), 0, false);
    int calls = 0;
    ASSERT_EQ(this->buffer.Search(h, 0, this->query, &NeverStop, &calls), 2u);
    EXPECT_EQ(this->buffer.GetLength(), static_cast<int>(text.size()) + (wide ? 1 : 0));
    EXPECT_EQ(this->buffer.GetBuffer()[0], wide ? TypeParam(0xFEFF) : TypeParam('x'));
    int line = 0;
    EXPECT_EQ(this->S("find me"), typename TestFixture::Str(this->buffer.GetResult(0, line),
                                                            this->buffer.GetResultLength(0)));
    EXPECT_EQ(line, 2);
    EXPECT_EQ(this->S("find"), this->buffer.GetResult(1, line));
    EXPECT_EQ(line, 4);
    // The handle's position is at the end now: nothing more to read, the hits stay.
    EXPECT_EQ(this->buffer.Search(h, 0, this->query, nullptr, nullptr), 0u);
    EXPECT_EQ(this->buffer.GetResultCount(), 2);
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_EQ(this->buffer.Search(h, 0, this->query, nullptr, nullptr), 0u);
    // A missing file and a missing folder on its way are told apart, as Windows does.
    for (const auto& [missing, error] :
         {std::pair{file.WidePath() + L".none", ERROR_FILE_NOT_FOUND},
          std::pair{file.WidePath() + L".none/x", ERROR_PATH_NOT_FOUND}}) {
        EXPECT_EQ(CreateFileW(missing.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr),
                  INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(error));
    }
}
