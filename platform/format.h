// The printf family with the Windows meaning of its conversions, in both widths. The string and
// character conversions follow the format's width: %s and %c take arguments of the format's
// width, %S and %C of the other width, %hs/%hc narrow ones and %ls/%ws/%lc/%wc wide ones. The
// size prefixes I64, I32 and I are understood. Narrow text met by a wide format, or wide text by
// a narrow one, is in the ANSI code page (UTF-8) whatever locale the program has set.
// Internal to the library.
#ifndef TKV_PLATFORM_FORMAT_H
#define TKV_PLATFORM_FORMAT_H

#include <stdarg.h>
#include <stddef.h>

namespace TKV::platform {

// The number of characters the formatted text has (NUL not counted), or -1 when the format or
// an argument cannot be formatted.
int FormatLength(const char* format, va_list args);
int FormatLength(const wchar_t* format, va_list args);

// Formats into buffer of count characters (NUL included). Returns the number of characters
// written without the NUL, or -1 when the text did not fit or could not be formatted.
int Format(char* buffer, size_t count, const char* format, va_list args);
int Format(wchar_t* buffer, size_t count, const wchar_t* format, va_list args);

}  // namespace TKV::platform

#endif  // TKV_PLATFORM_FORMAT_H
