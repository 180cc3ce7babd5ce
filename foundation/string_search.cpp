// Copying, searching and in-place character replacement.
#include "foundation/string_traits.h"
#include "tkv/string_functions.h"

namespace TKV {
namespace {

using detail::IsAbsent;

template <typename CharT>
void Copy(CharT* dest, const CharT* src) {
    if (IsAbsent(dest) || IsAbsent(src))
        return;
    // Callers shift text within one buffer (StrCopy(s, s + 1)): memmove is defined for overlap.
    std::memmove(dest, src, (detail::Length(src) + 1) * sizeof(CharT));
}

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

template <typename CharT>
unsigned int ReplaceChar(CharT* text, CharT oldChar, CharT newChar) {
    if (IsAbsent(text) || *text == CharT(0))
        return 0;
    // Measured first: a NUL written as the new character must not end the scan.
    const size_t n = detail::Length(text);
    unsigned int count = 0;
    for (size_t i = 0; i < n; ++i) {
        if (text[i] == oldChar) {
            text[i] = newChar;
            ++count;
        }
    }
    return count;
}

}  // namespace

void StrCopy(char* dest, const char* src) {
    Copy(dest, src);
}
void StrCopy(wchar_t* dest, const wchar_t* src) {
    Copy(dest, src);
}

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

unsigned int StrReplace(char* text, char oldChar, char newChar) {
    return ReplaceChar(text, oldChar, newChar);
}
unsigned int StrReplace(wchar_t* text, wchar_t oldChar, wchar_t newChar) {
    return ReplaceChar(text, oldChar, newChar);
}

}  // namespace TKV
