// The C library's vectorised case-insensitive comparison, pinned to the "C" locale so that only
// A-Z fold even when the program has switched its locale.
#include "platform/ascii_case.h"

#include <locale.h>
#include <strings.h>

namespace TKV::platform {
namespace {

locale_t CLocale() {
    // Created once and kept for the life of the process; the "C" locale cannot fail to load.
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return c;
}

}  // namespace

int CompareNoCaseA(const char* a, const char* b) {
    return strcasecmp_l(a, b, CLocale());
}

int CompareNoCaseNA(const char* a, const char* b, size_t count) {
    return strncasecmp_l(a, b, count, CLocale());
}

}  // namespace TKV::platform
