// CBuffer::Search: a Horspool search that records each hit's line.
//
// The windows examined and the hits found are those of the plain Horspool loop over the query's
// skip table; what changes is the work around them. Line ends are counted only when a hit needs
// its line, not at every window; case is folded with one subtraction per character instead of a
// call; and where no stop callback watches the windows, an exact narrow search lets the C
// library's vectorised memmem find each next hit, which is the hit the loop would find.
#include <algorithm>
#include <climits>

#include "foundation/string_traits.h"
#include "platform/byte_search.h"
#include "tkv/buffer.h"
#include "tkv/winapi.h"

namespace TKV {
namespace {

constexpr unsigned long kIgnoreCase = 1;
constexpr unsigned long kWholeWords = 2;

// Occurrences of d among the n characters at s. The fixed-size inner loop lets the compiler
// compare a block at a time.
template <typename T>
size_t CountOf(const T* s, size_t n, T d) {
    constexpr size_t kBlock = 64;
    size_t total = 0, i = 0;
    for (; i + kBlock <= n; i += kBlock) {
        unsigned int block = 0;
        for (size_t j = 0; j < kBlock; ++j) {
            block += s[i + j] == d ? 1u : 0u;
        }
        total += block;
    }
    for (; i < n; ++i) {
        total += s[i] == d ? 1u : 0u;
    }
    return total;
}

// Decides which matches count and records them with their line.
template <typename T>
class HitRecorder {
  public:
    HitRecorder(const T* text, int n, int m, T delimiter, bool wholeWords,
                CEntryTable<TResultEntry>& results)
        : m_text(text),
          m_n(n),
          m_m(m),
          m_delimiter(delimiter),
          m_wholeWords(wholeWords),
          m_results(results) {}

    void Match(int w) {
        if (m_wholeWords && ((w > 0 && !CBuffer<T>::IsWordDelimeter(m_text[w - 1])) ||
                             (w + m_m < m_n && !CBuffer<T>::IsWordDelimeter(m_text[w + m_m])))) {
            return;
        }
        CountLinesUpTo(w);
        m_results.Add(TResultEntry{m_line, m_lineStart});
        ++m_hits;
    }
    unsigned long Hits() const { return m_hits; }

  private:
    void CountLinesUpTo(int w) {
        const size_t ends =
            CountOf(m_text + m_counted, static_cast<size_t>(w - m_counted), m_delimiter);
        if (ends > 0) {
            m_line += static_cast<int>(ends);
            int last = w - 1;
            while (m_text[last] != m_delimiter) {
                --last;
            }
            m_lineStart = last + 1;
        }
        m_counted = w;
    }

    const T* const m_text;
    const int m_n, m_m;
    const T m_delimiter;
    const bool m_wholeWords;
    CEntryTable<TResultEntry>& m_results;
    int m_counted = 0, m_line = 1, m_lineStart = 0;
    unsigned long m_hits = 0;
};

// The skip of a window whose last character is c. Narrow text looks it up in a 256-entry copy
// made once per search.
class NarrowShift {
  public:
    explicit NarrowShift(const CSearchQuery<char>& query) {
        for (int b = 0; b < 256; ++b) {
            m_shift[b] = query.GetShift(CSearchQuery<char>::ToBase(static_cast<char>(b)));
        }
    }
    int operator()(char c) const { return m_shift[static_cast<unsigned char>(c)]; }

  private:
    int m_shift[256];
};

class WideShift {
  public:
    explicit WideShift(const CSearchQuery<wchar_t>& query) : m_query(query) {}
    int operator()(wchar_t c) const { return m_query.GetShift(CSearchQuery<wchar_t>::ToBase(c)); }

  private:
    const CSearchQuery<wchar_t>& m_query;
};

inline NarrowShift ShiftOf(const CSearchQuery<char>& query) {
    return NarrowShift(query);
}
inline WideShift ShiftOf(const CSearchQuery<wchar_t>& query) {
    return WideShift(query);
}

template <bool kFold, typename T>
inline T Key(T c) {
    return kFold ? detail::FoldAZ(c) : c;
}

// The Horspool loop: the last character of the window first, then the rest from the left.
template <bool kFold, bool kWatched, typename T, typename Shift>
void Horspool(const T* t, int n, const T* p, int m, const Shift& shift, bool (*stop)(void*),
              void* stopArg, HitRecorder<T>& hits) {
    const T last = Key<kFold>(p[m - 1]);
    int w = 0;
    while (w <= n - m) {
        if (kWatched && stop(stopArg)) {
            return;
        }
        const T c = t[w + m - 1];
        if (Key<kFold>(c) == last) {
            int i = 0;
            while (i < m - 1 && Key<kFold>(t[w + i]) == Key<kFold>(p[i])) {
                ++i;
            }
            if (i == m - 1) {
                hits.Match(w);
                w += m;
                continue;
            }
        }
        w += shift(c);
    }
}

// Every hit the Horspool loop finds is the first match at or after its window (its shifts
// never pass over a match), so the C library's search finds the same hits.
void ExactUnwatched(const char* t, int n, const char* p, int m, const CSearchQuery<char>&,
                    HitRecorder<char>& hits) {
    int w = 0;
    while (w <= n - m) {
        const char* hit =
            platform::FindBytes(t + w, static_cast<size_t>(n - w), p, static_cast<size_t>(m));
        if (hit == nullptr) {
            return;
        }
        w = static_cast<int>(hit - t);
        hits.Match(w);
        w += m;
    }
}

void ExactUnwatched(const wchar_t* t, int n, const wchar_t* p, int m,
                    const CSearchQuery<wchar_t>& query, HitRecorder<wchar_t>& hits) {
    Horspool<false, false>(t, n, p, m, WideShift(query), nullptr, nullptr, hits);
}

}  // namespace

template <typename T>
unsigned long CBuffer<T>::Search(unsigned long flags, CSearchQuery<T>& query) {
    if (buffer == nullptr || length < 1) {
        return 0;
    }
    return Search(buffer, length, flags, query, nullptr, nullptr, T(0));
}

template <typename T>
unsigned long CBuffer<T>::Search(const T* text, int count, unsigned long flags,
                                 CSearchQuery<T>& query, bool (*stop)(void*), void* stopArg,
                                 T delimiter) {
    const int m = query.GetTermLength();
    if (text == nullptr || count <= 0 || m == 0) {
        return 0;
    }
    if (results == nullptr) {
        results = new CEntryTable<TResultEntry>(1000);
    } else {
        results->Reset();
    }
    if (m > count) {
        return 0;
    }
    HitRecorder<T> hits(text, count, m, delimiter, (flags & kWholeWords) != 0, *results);
    const T* p = query.GetTerm();
    const auto shift = ShiftOf(query);
    if ((flags & kIgnoreCase) != 0) {
        if (stop != nullptr) {
            Horspool<true, true>(text, count, p, m, shift, stop, stopArg, hits);
        } else {
            Horspool<true, false>(text, count, p, m, shift, stop, stopArg, hits);
        }
    } else if (stop != nullptr) {
        Horspool<false, true>(text, count, p, m, shift, stop, stopArg, hits);
    } else {
        ExactUnwatched(text, count, p, m, query, hits);
    }
    return hits.Hits();
}

template <typename T>
unsigned long CBuffer<T>::Search(void* file, unsigned long flags, CSearchQuery<T>& query,
                                 bool (*stop)(void*), void* stopArg) {
    DWORD high = 0;
    const DWORD low = GetFileSize(file, &high);
    if (low == INVALID_FILE_SIZE) {
        return 0;
    }
    const unsigned long long bytes = (static_cast<unsigned long long>(high) << 32) | low;
    // Wide text widens each two-byte unit to one character in place.
    const unsigned long long units = sizeof(T) == 1 ? bytes : bytes / 2;
    const unsigned long long needed = std::max(bytes, units * sizeof(T));
    if (needed > static_cast<unsigned long long>(INT_MAX - 16)) {
        return 0;
    }
    Realloc(static_cast<int>(needed));
    if (buffer == nullptr || static_cast<unsigned long long>(size) < needed) {
        return 0;
    }
    DWORD read = 0;
    if (!ReadFile(file, buffer, static_cast<DWORD>(bytes), &read, nullptr)) {
        buffer[length] = 0;
        return 0;
    }
    if (read < static_cast<DWORD>(query.GetTermLength())) {
        buffer[length] = 0;  // the read may have covered the old terminator
        return 0;
    }
    if (sizeof(T) == 1) {
        length = static_cast<int>(read);
    } else {
        length = static_cast<int>(read / 2);
        const auto* raw = reinterpret_cast<const unsigned char*>(buffer);
        // From the end, so no unit is overwritten before it is widened.
        for (int i = length - 1; i >= 0; --i) {
            buffer[i] = static_cast<T>(raw[2 * i] | (raw[2 * i + 1] << 8));
        }
    }
    buffer[length] = 0;
    return Search(buffer, length, flags, query, stop, stopArg, T('\n'));
}

template unsigned long CBuffer<char>::Search(unsigned long, CSearchQuery<char>&);
template unsigned long CBuffer<wchar_t>::Search(unsigned long, CSearchQuery<wchar_t>&);
template unsigned long CBuffer<char>::Search(void*, unsigned long, CSearchQuery<char>&,
                                             bool (*)(void*), void*);
template unsigned long CBuffer<wchar_t>::Search(void*, unsigned long, CSearchQuery<wchar_t>&,
                                                bool (*)(void*), void*);
template unsigned long CBuffer<char>::Search(const char*, int, unsigned long, CSearchQuery<char>&,
                                             bool (*)(void*), void*, char);
template unsigned long CBuffer<wchar_t>::Search(const wchar_t*, int, unsigned long,
                                                CSearchQuery<wchar_t>&, bool (*)(void*), void*,
                                                wchar_t);

}  // namespace TKV
