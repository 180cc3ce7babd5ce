#include "platform/byte_search.h"

#include <string.h>

namespace TKV::platform {

const char* FindBytes(const char* s, size_t n, const char* part, size_t m) {
    return static_cast<const char*>(memmem(s, n, part, m));
}

}  // namespace TKV::platform
