// CBuffer::Search: a Horspool search that records each hit's line.
//
// The hits found are those of the plain Horspool loop over the query's skip table, and with a
// stop callback so are the windows it is asked before; what changes is the work around them.
// Line ends are counted between hits, not at every window; case is folded by arithmetic, not by
// a call per comparison; and where no callback watches the windows, faster finders of the same
// hits take over (see Unwatched).
#include <algorithm>
#include <climits>
#include <type_traits>

#include "foundation/string_traits.h"
#include "platform/byte_search.h"
#include "tkv/buffer.h"
#include "tkv/winapi.h"

namespace TKV {
namespace {

constexpr unsigned long kIgnoreCase = 1;
constexpr unsigned long kWholeWords = 2;

// Occurrences of d among the n characters at s. Counting into lanes of one character's width,
// 255 rounds at most so a narrow lane cannot overflow, lets the compiler compare and add a whole
// vector of characters per step.
template <typename T>
size_t CountOf(const T* s, size_t n, T d) {
    using Lane = std::conditional_t<sizeof(T) == 1, unsigned char, unsigned int>;
    constexpr size_t kLanes = 64;
    size_t total = 0, i = 0;
    while (i + kLanes <= n) {
        Lane lanes[kLanes] = {};
        for (int round = 0; round < 255 && i + kLanes <= n; ++round, i += kLanes) {
            for (size_t j = 0; j < kLanes; ++j) {
                lanes[j] = static_cast<Lane>(lanes[j] + (s[i + j] == d ? 1 : 0));
            }
        }
        for (size_t j = 0; j < kLanes; ++j) {
            total += lanes[j];
        }
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

    // Brings the line count up to position w (not below the last position counted).
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

  private:
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

// Whether a[i] and b[i] agree for every i in [from, to).
template <bool kFold, typename T>
bool Agree(const T* a, const T* b, int from, int to) {
    for (int i = from; i < to; ++i) {
        if (Key<kFold>(a[i]) != Key<kFold>(b[i])) {
            return false;
        }
    }
    return true;
}

// The window at w: 0 when it holds the term, else how far the Horspool loop moves it. The
// window's last character is compared first, then the rest from the left.
template <bool kFold, typename T, typename Shift>
inline int Examine(const T* t, int w, const T* p, int m, const Shift& shift) {
    const T c = t[w + m - 1];
    if (Key<kFold>(c) == Key<kFold>(p[m - 1]) && Agree<kFold>(t + w, p, 0, m - 1)) {
        return 0;
    }
    return shift(c);
}

// The Horspool loop, asking the callback before each window.
template <bool kFold, bool kWatched, typename T, typename Shift>
void Horspool(const T* t, int n, const T* p, int m, const Shift& shift, bool (*stop)(void*),
              void* stopArg, HitRecorder<T>& hits) {
    for (int w = 0; w <= n - m;) {
        if (kWatched && stop(stopArg)) {
            return;
        }
        const int step = Examine<kFold>(t, w, p, m, shift);
        if (step == 0) {
            hits.Match(w);
            w += m;
        } else {
            w += step;
        }
    }
}

// Where nobody watches the windows, only the hits matter. Every hit of the Horspool loop is the
// first match at or after its window whenever its shifts never pass over a match, which holds
// for exact search and for the case-folded table of a query set to ignore case; any finder of
// the leftmost match then finds the same hits. The text is taken in blocks that stay in cache
// while the finder and then the line count run over them.
constexpr int kBlock = 1 << 16;
constexpr int kLongTerm = 32;

template <typename T, typename Find>
void Unwatched(int n, int m, Find find, HitRecorder<T>& hits) {
    int w = 0;
    while (w <= n - m) {
        const int limit = std::min(n - m, w + kBlock);  // the block's last window start
        for (int hit; w <= limit && (hit = find(w, limit)) >= 0; w = hit + m) {
            hits.Match(hit);
        }
        w = std::max(w, limit + 1);
        hits.CountLinesUpTo(std::min(w, n));
    }
}

// The leftmost match starting in [w, limit], or -1: memmem for exact narrow text.
struct MemmemFinder {
    const char* t;
    const char* p;
    int m;
    int operator()(int w, int limit) const {
        const char* hit = platform::FindBytes(t + w, static_cast<size_t>(limit - w + m), p,
                                              static_cast<size_t>(m));
        return hit == nullptr ? -1 : static_cast<int>(hit - t);
    }
};

// The Horspool loop itself, for wide text and for long folded terms, whose shifts are long.
template <bool kFold, typename T, typename Shift>
struct HorspoolFinder {
    const T* t;
    const T* p;
    int m;
    const Shift& shift;
    int operator()(int w, int limit) const {
        for (int step; w <= limit; w += step) {
            if ((step = Examine<kFold>(t, w, p, m, shift)) == 0) {
                return w;
            }
        }
        return -1;
    }
};

// Short terms: a block of candidates whose first and last characters fit, tested with plain
// operations the compiler runs many at a time, then checked in full. Folded, a lower-case letter
// also matches with bit 5 clear and any other character only itself.
template <bool kFold, typename T>
class FirstLastFinder {
  public:
    FirstLastFinder(const T* t, const T* p, int m)
        : m_t(reinterpret_cast<const U*>(t)),
          m_p(p),
          m_m(m),
          m_first(static_cast<U>(Key<kFold>(p[0]))),
          m_last(static_cast<U>(Key<kFold>(p[m - 1]))),
          m_firstBit(LetterBit(m_first)),
          m_lastBit(LetterBit(m_last)) {}

    int operator()(int w, int limit) const {
        constexpr int kLanes = 64;
        const U* last = m_t + m_m - 1;
        for (; w + kLanes <= limit + 1; w += kLanes) {
            unsigned char any = 0;
            for (int j = 0; j < kLanes; ++j) {
                const U x = m_t[w + j] | m_firstBit, y = last[w + j] | m_lastBit;
                any |= static_cast<unsigned char>((x == m_first) & (y == m_last));
            }
            if (any != 0) {
                const int found = OneByOne(w, w + kLanes - 1);
                if (found >= 0) {
                    return found;
                }
            }
        }
        return OneByOne(w, limit);
    }

  private:
    using U = std::make_unsigned_t<T>;
    static U LetterBit(U c) { return kFold && c >= 'a' && c <= 'z' ? 0x20 : 0; }

    int OneByOne(int w, int limit) const {
        const U* last = m_t + m_m - 1;
        for (; w <= limit; ++w) {
            if ((m_t[w] | m_firstBit) == m_first && (last[w] | m_lastBit) == m_last && Rest(w)) {
                return w;
            }
        }
        return -1;
    }
    bool Rest(int w) const {
        return Agree<kFold>(reinterpret_cast<const T*>(m_t) + w, m_p, 1, m_m - 1);
    }

    const U* m_t;
    const T* m_p;
    int m_m;
    U m_first, m_last, m_firstBit, m_lastBit;
};

// Whether the table never shifts a folded search past a match: every character that equals
// term character j ignoring case moves the window at most m - 1 - j.
template <typename T, typename Shift>
bool FoldedShiftsSafe(const T* p, int m, const Shift& shift) {
    for (int j = 0; j + 1 < m; ++j) {
        const T c = p[j];
        const T other = c >= 'a' && c <= 'z'   ? static_cast<T>(c - 32)
                        : c >= 'A' && c <= 'Z' ? static_cast<T>(c + 32)
                                               : c;
        if (shift(c) > m - 1 - j || shift(other) > m - 1 - j) {
            return false;
        }
    }
    return true;
}

// A long term moves the Horspool window far on most characters; a short one barely does.
template <bool kFold, typename T, typename Shift>
void UnwatchedFinder(const T* t, int n, const T* p, int m, const Shift& shift,
                     HitRecorder<T>& hits) {
    if (m >= kLongTerm) {
        Unwatched(n, m, HorspoolFinder<kFold, T, Shift>{t, p, m, shift}, hits);
    } else {
        Unwatched(n, m, FirstLastFinder<kFold, T>(t, p, m), hits);
    }
}

// Search with nobody watching; false when only the Horspool loop itself gives the hits (a
// folded search whose table was not built for folding).
template <typename T, typename Shift>
bool SearchUnwatched(const T* t, int n, const T* p, int m, bool fold, const Shift& shift,
                     HitRecorder<T>& hits) {
    if (fold) {
        if (!FoldedShiftsSafe(p, m, shift)) {
            return false;
        }
        UnwatchedFinder<true>(t, n, p, m, shift, hits);
    } else if constexpr (sizeof(T) == 1) {
        Unwatched(n, m, MemmemFinder{t, p, m}, hits);
    } else {
        UnwatchedFinder<false>(t, n, p, m, shift, hits);
    }
    return true;
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
    const bool fold = (flags & kIgnoreCase) != 0;
    if (stop != nullptr) {
        if (fold) {
            Horspool<true, true>(text, count, p, m, shift, stop, stopArg, hits);
        } else {
            Horspool<false, true>(text, count, p, m, shift, stop, stopArg, hits);
        }
    } else if (!SearchUnwatched(text, count, p, m, fold, shift, hits)) {
        Horspool<true, false>(text, count, p, m, shift, stop, stopArg, hits);
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
