// Wide text to UTF-8, for the places where this platform wants bytes: file names and the
// standard error stream.
#ifndef TKV_PLATFORM_POSIX_UTF8_H
#define TKV_PLATFORM_POSIX_UTF8_H

#include <string>

namespace TKV::platform::detail {

// Through the library's code-page conversion (UTF-8 code page).
std::string WideToUtf8(const wchar_t* text);

}  // namespace TKV::platform::detail

#endif  // TKV_PLATFORM_POSIX_UTF8_H
