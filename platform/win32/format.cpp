// The CRT's own formatters already give the conversions their Windows meanings (%s of the
// format's width, %S of the other, I64/I32/I). Two things are added: %n is refused, as no
// format may write through an argument, and a text that fills the buffer exactly (the CRT then
// writes no NUL) counts as not fitting.
#include "platform/format.h"

#include <cstdio>
#include <cwchar>

namespace TKV::platform {
namespace {

template <typename CharT>
bool IsSizeOrFlag(CharT c) {
    return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == ' ' || c == '#' || c == '.' ||
           c == '*' || c == 'h' || c == 'l' || c == 'w' || c == 'L' || c == 'I' || c == 'j' ||
           c == 'z' || c == 't';
}

// True when a conversion of the format is %n.
template <typename CharT>
bool WritesThroughArgument(const CharT* format) {
    for (const CharT* p = format; *p != CharT(0); ++p) {
        if (*p != '%')
            continue;
        ++p;
        while (IsSizeOrFlag(*p))
            ++p;
        if (*p == 'n')
            return true;
        if (*p == CharT(0))
            return false;
    }
    return false;
}

// measure: the CRT's counting formatter of the format's width.
template <typename CharT, typename Measure>
int LengthOf(const CharT* format, va_list args, Measure measure) {
    if (format == nullptr || WritesThroughArgument(format))
        return -1;
    return measure(format, args);
}

// print: the CRT's bounded formatter of the format's width.
template <typename CharT, typename Print>
int FormatInto(CharT* buffer, size_t count, const CharT* format, va_list args, Print print) {
    if (format == nullptr || buffer == nullptr || count == 0 || WritesThroughArgument(format))
        return -1;
    const int n = print(buffer, count, format, args);
    if (n < 0 || static_cast<size_t>(n) >= count) {
        buffer[count - 1] = CharT(0);
        return -1;
    }
    return n;
}

}  // namespace

int FormatLength(const char* format, va_list args) {
    return LengthOf(format, args, _vscprintf);
}
int FormatLength(const wchar_t* format, va_list args) {
    return LengthOf(format, args, _vscwprintf);
}
int Format(char* buffer, size_t count, const char* format, va_list args) {
    return FormatInto(buffer, count, format, args, _vsnprintf);
}
int Format(wchar_t* buffer, size_t count, const wchar_t* format, va_list args) {
    return FormatInto(buffer, count, format, args, _vsnwprintf);
}

}  // namespace TKV::platform
