// The CRT's case-insensitive comparisons follow its locale; folding A-Z by hand keeps the
// result the same whatever locale the program sets.
#include "platform/ascii_case.h"

namespace TKV::platform {
namespace {

inline int Fold(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 'A' && u <= 'Z' ? u + ('a' - 'A') : u;
}

}  // namespace

int CompareNoCaseNA(const char* a, const char* b, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const int x = Fold(a[i]);
        const int y = Fold(b[i]);
        if (x != y || x == 0)
            return x - y;
    }
    return 0;
}

int CompareNoCaseA(const char* a, const char* b) {
    return CompareNoCaseNA(a, b, static_cast<size_t>(-1));
}

}  // namespace TKV::platform
