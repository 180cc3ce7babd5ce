// Wide text to UTF-8, for the places where this platform wants bytes: file names and the
// standard error stream.
#ifndef TKV_PLATFORM_POSIX_UTF8_H
#define TKV_PLATFORM_POSIX_UTF8_H

#include <string>

namespace TKV::detail {

// Characters with no UTF-8 form (surrogates, values above U+10FFFF) become U+FFFD.
std::string WideToUtf8(const wchar_t* text);

}  // namespace TKV::detail

#endif  // TKV_PLATFORM_POSIX_UTF8_H
