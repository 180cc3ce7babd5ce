// Character classes, number parsing, measuring and comparing.
#include <cctype>
#include <climits>
#include <cwctype>

#include "foundation/string_traits.h"
#include "platform/ascii_case.h"
#include "tkv/string_functions.h"

namespace TKV {
namespace {

using detail::FoldAZ;
using detail::Unit;

// The value a character orders by: the unsigned byte for narrow text, the wchar_t value for wide
// text (every character value is positive, so this is the code-point order), as the C library's
// wide comparisons use it.
template <typename CharT>
auto OrderOf(CharT c) {
    if constexpr (sizeof(CharT) == 1)
        return static_cast<unsigned int>(static_cast<unsigned char>(c));
    else
        return c;
}

constexpr size_t kNoLimit = static_cast<size_t>(-1);

bool InClassRange(uint32_t unit) {
    return unit >= 1 && unit <= 127;
}

unsigned int AlphaValue(char c) {
    return static_cast<unsigned int>(std::isalpha(Unit(c)));
}
unsigned int AlphaValue(wchar_t c) {
    return static_cast<unsigned int>(std::iswalpha(Unit(c)));
}
unsigned int DigitValue(char c) {
    return static_cast<unsigned int>(std::isdigit(Unit(c)));
}
unsigned int DigitValue(wchar_t c) {
    return static_cast<unsigned int>(std::iswdigit(Unit(c)));
}

template <typename CharT>
unsigned int Alpha(CharT c) {
    return InClassRange(Unit(c)) ? AlphaValue(c) : 0;
}

template <typename CharT>
unsigned int Numeric(CharT c) {
    return InClassRange(Unit(c)) ? DigitValue(c) : 0;
}

template <typename CharT>
unsigned int AlphaNum(CharT c) {
    return (Alpha(c) != 0 || Numeric(c) != 0) ? 1 : 0;
}

template <typename CharT>
int ToInt(const CharT* s) {
    if (s == nullptr)
        return 0;
    bool negative = false;
    if (*s == CharT('-')) {
        negative = true;
        ++s;
    } else if (*s == CharT('+')) {
        ++s;
    }
    unsigned int value = 0;  // unsigned, so overflow wraps as 32-bit arithmetic does
    for (; Numeric(*s) != 0; ++s)
        value = value * 10 + static_cast<unsigned int>(*s - CharT('0'));
    if (negative)
        value = 0u - value;
    return static_cast<int>(value);
}

template <typename CharT>
const CharT* End(const CharT* s) {
    if (detail::IsAbsent(s) || *s == CharT(0))
        return nullptr;
    return s + detail::Length(s);
}

template <typename CharT>
unsigned int LengthOf(const CharT* s) {
    return detail::IsAbsent(s) ? 0 : static_cast<unsigned int>(detail::Length(s));
}

// -1, 0 or +1 for the null rules; 2 when both are present and must be compared.
template <typename CharT>
int CompareNulls(const CharT* a, const CharT* b) {
    if (a == nullptr)
        return b == nullptr ? 0 : -1;
    if (b == nullptr)
        return 1;
    return 2;
}

// A-Z folded comparison over at most n characters; -1, 0 or +1.
template <typename CharT>
int CompareFolded(const CharT* a, const CharT* b, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        const auto x = FoldAZ(OrderOf(a[i])), y = FoldAZ(OrderOf(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
        if (x == 0)
            return 0;
    }
    return 0;
}

int Sign(int v) {
    return (v > 0) - (v < 0);
}

// Exact comparisons are the C library's vectorised ones; so is the narrow folded one (pinned to
// the "C" locale). The C library's wide folded comparison calls the locale per character and
// folds beyond A-Z in other locales, so wide text takes the loop above.
int CompareFull(const char* a, const char* b, bool exact) {
    return exact ? Sign(std::strcmp(a, b)) : platform::CompareNoCaseA(a, b);
}
int CompareFull(const wchar_t* a, const wchar_t* b, bool exact) {
    return exact ? Sign(std::wcscmp(a, b)) : CompareFolded(a, b, kNoLimit);
}
int CompareCounted(const char* a, const char* b, size_t n, bool exact) {
    return exact ? std::strncmp(a, b, n) : platform::CompareNoCaseNA(a, b, n);
}
int CompareCounted(const wchar_t* a, const wchar_t* b, size_t n, bool exact) {
    return exact ? std::wcsncmp(a, b, n) : CompareFolded(a, b, n);
}

template <typename CharT>
int Compare(const CharT* a, const CharT* b, bool exact) {
    const int nulls = CompareNulls(a, b);
    return nulls != 2 ? nulls : CompareFull(a, b, exact);
}

template <typename CharT>
int CompareN(const CharT* a, const CharT* b, unsigned int count, bool exact) {
    const int nulls = CompareNulls(a, b);
    if (nulls != 2)
        return nulls;
    return count == 0 ? 0 : CompareCounted(a, b, count, exact);
}

template <typename CharT>
bool Equal(const CharT* a, const CharT* b, bool exact) {
    const int nulls = CompareNulls(a, b);
    if (nulls != 2)
        return nulls == 0;
    return exact ? detail::SameString(a, b) : CompareFull(a, b, false) == 0;
}

}  // namespace

unsigned int IsAlpha(char c) {
    return Alpha(c);
}
unsigned int IsAlpha(wchar_t c) {
    return Alpha(c);
}
unsigned int IsAlphaNum(char c) {
    return AlphaNum(c);
}
unsigned int IsAlphaNum(wchar_t c) {
    return AlphaNum(c);
}
unsigned int IsNumeric(char c) {
    return Numeric(c);
}
unsigned int IsNumeric(wchar_t c) {
    return Numeric(c);
}

int StrToIntA(const char* s) {
    return ToInt(s);
}
int StrToIntW(const wchar_t* s) {
    return ToInt(s);
}

const char* EndOfString(const char* s) {
    return End(s);
}
const wchar_t* EndOfString(const wchar_t* s) {
    return End(s);
}

unsigned int StrLength(const char* s) {
    return LengthOf(s);
}
unsigned int StrLength(const wchar_t* s) {
    return LengthOf(s);
}

int StrCompare(const char* a, const char* b, bool exact) {
    return Compare(a, b, exact);
}
int StrCompare(const wchar_t* a, const wchar_t* b, bool exact) {
    return Compare(a, b, exact);
}

int StrCompareN(const char* a, const char* b, unsigned int count, bool exact) {
    return CompareN(a, b, count, exact);
}
int StrCompareN(const wchar_t* a, const wchar_t* b, unsigned int count, bool exact) {
    return CompareN(a, b, count, exact);
}

bool StrEqual(const char* a, const char* b, bool exact) {
    return Equal(a, b, exact);
}
bool StrEqual(const wchar_t* a, const wchar_t* b, bool exact) {
    return Equal(a, b, exact);
}

}  // namespace TKV
