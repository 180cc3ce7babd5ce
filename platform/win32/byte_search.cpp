// The Windows CRT has no memmem: the first byte is found with memchr, the rest compared.
#include "platform/byte_search.h"

#include <cstring>

namespace TKV::platform {

const char* FindBytes(const char* s, size_t n, const char* part, size_t m) {
    if (m > n)
        return nullptr;
    const char* const last = s + (n - m);  // the last place a match can start
    for (const char* p = s; p <= last;) {
        p = static_cast<const char*>(std::memchr(p, part[0], static_cast<size_t>(last - p) + 1));
        if (p == nullptr)
            return nullptr;
        if (std::memcmp(p + 1, part + 1, m - 1) == 0)
            return p;
        ++p;
    }
    return nullptr;
}

}  // namespace TKV::platform
