// The C library's fast primitives under one name for both widths, so each string function is
// written once as a template.
#ifndef TKV_FOUNDATION_STRING_TRAITS_H
#define TKV_FOUNDATION_STRING_TRAITS_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cwchar>

#include "platform/system_text.h"

namespace TKV::detail {

inline size_t Length(const char* s) {
    return std::strlen(s);
}
inline size_t Length(const wchar_t* s) {
    return std::wcslen(s);
}

// min(length of s, max) without reading beyond the NUL or the first max characters.
inline size_t LengthUpTo(const char* s, size_t max) {
    const void* nul = std::memchr(s, 0, max);
    return nul == nullptr ? max : static_cast<size_t>(static_cast<const char*>(nul) - s);
}
inline size_t LengthUpTo(const wchar_t* s, size_t max) {
    const wchar_t* nul = std::wmemchr(s, L'\0', max);
    return nul == nullptr ? max : static_cast<size_t>(nul - s);
}

// The first c among the n characters at s, or null.
inline const char* FindIn(const char* s, char c, size_t n) {
    return static_cast<const char*>(std::memchr(s, c, n));
}
inline const wchar_t* FindIn(const wchar_t* s, wchar_t c, size_t n) {
    return std::wmemchr(s, c, n);
}

// Whether the n characters at a and b are the same.
inline bool SameChars(const char* a, const char* b, size_t n) {
    return std::memcmp(a, b, n) == 0;
}
inline bool SameChars(const wchar_t* a, const wchar_t* b, size_t n) {
    return std::wmemcmp(a, b, n) == 0;
}

// The first c in s (c not NUL), or null.
inline const char* FindChar(const char* s, char c) {
    return std::strchr(s, c);
}
inline const wchar_t* FindChar(const wchar_t* s, wchar_t c) {
    return std::wcschr(s, c);
}

// The first occurrence of the non-empty part in s, or null.
inline const char* FindPart(const char* s, const char* part) {
    return std::strstr(s, part);
}
inline const wchar_t* FindPart(const wchar_t* s, const wchar_t* part) {
    return std::wcsstr(s, part);
}

// Whether s starts with the n characters of part (s may be shorter: it ends at its NUL).
inline bool StartsWith(const char* s, const char* part, size_t n) {
    return std::strncmp(s, part, n) == 0;
}
inline bool StartsWith(const wchar_t* s, const wchar_t* part, size_t n) {
    return std::wcsncmp(s, part, n) == 0;
}

// Whether the NUL-terminated strings a and b are equal (no order needed, so signs do not matter).
inline bool SameString(const char* a, const char* b) {
    return std::strcmp(a, b) == 0;
}
inline bool SameString(const wchar_t* a, const wchar_t* b) {
    return std::wcscmp(a, b) == 0;
}

// The read probe over one character: null (or unreadable) counts as absent.
inline bool IsAbsent(const char* s) {
    return IsBadStringPtrA(s, 1) != FALSE;
}
inline bool IsAbsent(const wchar_t* s) {
    return IsBadStringPtrW(s, 1) != FALSE;
}

// A-Z to a-z and nothing else: the library's case-insensitive comparisons fold this way in
// every locale, as the C library does in its default one.
template <typename T>
T FoldAZ(T u) {
    return (u >= T('A') && u <= T('Z')) ? static_cast<T>(u + ('a' - 'A')) : u;
}

// A character as the unsigned code unit the comparisons order by.
inline uint32_t Unit(char c) {
    return static_cast<unsigned char>(c);
}
inline uint32_t Unit(wchar_t c) {
    return static_cast<uint32_t>(c);
}

}  // namespace TKV::detail

#endif  // TKV_FOUNDATION_STRING_TRAITS_H
