// The printf family as the library uses it. In a wide format the conversions have their Windows
// meaning: %s and %c take wide arguments, %S, %hs, %C and %hc narrow ones, %ls/%ws and %lc/%wc
// wide ones, and the size prefixes I64, I32 and I are understood. Narrow text met by either
// width (a narrow argument of a wide format, a wide argument of a narrow one) is in the ANSI
// code page, UTF-8, whatever locale the program has set. Internal to the library.
#ifndef TKV_PLATFORM_WIDE_FORMAT_H
#define TKV_PLATFORM_WIDE_FORMAT_H

#include <stdarg.h>
#include <stddef.h>

namespace TKV::platform {

// The number of characters the formatted text has (NUL not counted), or -1 when the format or
// an argument cannot be formatted.
int WideFormatLength(const wchar_t* format, va_list args);

// Formats into buffer of count characters (NUL included), cutting the text to fit. Returns the
// number of characters written without the NUL, or -1 when it did not fit or failed.
int WideFormat(wchar_t* buffer, size_t count, const wchar_t* format, va_list args);

// The narrow twins: the C library's own conversions.
int FormatLength(const char* format, va_list args);
int Format(char* buffer, size_t count, const char* format, va_list args);

}  // namespace TKV::platform

#endif  // TKV_PLATFORM_WIDE_FORMAT_H
