// The C library's substring search over counted bytes (NULs included). Internal to the library.
#ifndef TKV_PLATFORM_BYTE_SEARCH_H
#define TKV_PLATFORM_BYTE_SEARCH_H

#include <cstddef>

namespace TKV::platform {

// The first occurrence of the m bytes at part among the n bytes at s, or null; m > 0.
const char* FindBytes(const char* s, size_t n, const char* part, size_t m);

}  // namespace TKV::platform

#endif  // TKV_PLATFORM_BYTE_SEARCH_H
