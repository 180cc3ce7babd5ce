// Searching for a text or a character, forwards and backwards.
#include "foundation/string_traits.h"
#include "tkv/string_functions.h"

namespace TKV {
namespace {

using detail::IsAbsent;

// The window of a limited search: the first limit characters, or the whole text when limit is
// 0 or beyond its end. Measured without reading past the window.
template <typename CharT>
size_t WindowOf(const CharT* text, unsigned int limit) {
    return detail::LengthUpTo(text, limit);
}

template <typename CharT>
const CharT* SearchPart(const CharT* text, const CharT* part, unsigned int limit) {
    if (IsAbsent(text) || *text == CharT(0))
        return nullptr;
    if (IsAbsent(part) || *part == CharT(0))
        return text + detail::Length(text);
    if (limit == 0)
        return detail::FindPart(text, part);
    const size_t window = WindowOf(text, limit);
    const size_t m = detail::Length(part);
    if (m > window)
        return nullptr;
    // Candidates by their first character, then the rest compared in place: every candidate
    // lies wholly inside the window.
    const CharT* p = text;
    const CharT* last = text + (window - m);
    while (p <= last) {
        p = detail::FindIn(p, part[0], static_cast<size_t>(last - p) + 1);
        if (p == nullptr)
            return nullptr;
        if (detail::SameChars(p + 1, part + 1, m - 1))
            return p;
        ++p;
    }
    return nullptr;
}

template <typename CharT>
const CharT* SearchChar(const CharT* text, CharT c, unsigned int limit) {
    if (IsAbsent(text) || *text == CharT(0) || c == CharT(0))
        return nullptr;  // the NUL is never inside the window
    if (limit == 0)
        return detail::FindChar(text, c);
    return detail::FindIn(text, c, WindowOf(text, limit));
}

template <typename CharT>
const CharT* RevFindPart(const CharT* start, const CharT* from, const CharT* part) {
    if (start == nullptr || from == nullptr)
        return nullptr;
    if (IsAbsent(part) || *part == CharT(0)) {
        if (IsAbsent(from) || *from == CharT(0))
            return nullptr;
        return from + detail::Length(from);
    }
    if (from < start)
        return nullptr;
    const size_t m = detail::Length(part);
    for (const CharT* p = from;; --p) {
        if (*p == part[0] && detail::StartsWith(p, part, m))
            return p;
        if (p == start)
            return nullptr;
    }
}

template <typename CharT>
const CharT* RevFindChar(const CharT* start, const CharT* from, CharT c) {
    if (start == nullptr || from == nullptr || from < start)
        return nullptr;
    for (const CharT* p = from;; --p) {
        if (*p == c)
            return p;
        if (p == start)
            return nullptr;
    }
}

}  // namespace

const char* StrFind(const char* text, const char* part) {
    return SearchPart(text, part, 0);
}
const wchar_t* StrFind(const wchar_t* text, const wchar_t* part) {
    return SearchPart(text, part, 0);
}
const char* StrFind(const char* text, char c) {
    return SearchChar(text, c, 0);
}
const wchar_t* StrFind(const wchar_t* text, wchar_t c) {
    return SearchChar(text, c, 0);
}

const char* StrSearch(const char* text, const char* part, unsigned int limit) {
    return SearchPart(text, part, limit);
}
const wchar_t* StrSearch(const wchar_t* text, const wchar_t* part, unsigned int limit) {
    return SearchPart(text, part, limit);
}
const char* StrSearch(const char* text, char c, unsigned int limit) {
    return SearchChar(text, c, limit);
}
const wchar_t* StrSearch(const wchar_t* text, wchar_t c, unsigned int limit) {
    return SearchChar(text, c, limit);
}

const char* StrRevFind(const char* start, const char* from, const char* part) {
    return RevFindPart(start, from, part);
}
const wchar_t* StrRevFind(const wchar_t* start, const wchar_t* from, const wchar_t* part) {
    return RevFindPart(start, from, part);
}
const char* StrRevFind(const char* start, const char* from, char c) {
    return RevFindChar(start, from, c);
}
const wchar_t* StrRevFind(const wchar_t* start, const wchar_t* from, wchar_t c) {
    return RevFindChar(start, from, c);
}

}  // namespace TKV
