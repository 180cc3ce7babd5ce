// Copying strings into a caller's buffer, unlimited or cut at a limit.
#include <cstring>

#include "foundation/string_traits.h"
#include "tkv/string_functions.h"

namespace TKV {
namespace {

using detail::IsAbsent;

template <typename CharT>
void Copy(CharT* dest, const CharT* src) {
    if (IsAbsent(dest) || IsAbsent(src))
        return;
    // Callers shift text within one buffer (StrCopy(s, s + 1)): memmove is defined for overlap.
    std::memmove(dest, src, (detail::Length(src) + 1) * sizeof(CharT));
}

template <typename CharT>
bool SafeCopy(CharT* dest, const CharT* src, int limit) {
    if (src == nullptr) {
        if (dest != nullptr)
            dest[0] = CharT(0);
        return false;
    }
    if (dest == nullptr)
        return false;
    if (limit <= 0) {
        dest[0] = CharT(0);
        return false;
    }
    if (src[0] == CharT(0)) {
        // The copy loop takes the NUL as its one character, then terminates after it.
        dest[0] = CharT(0);
        dest[1] = CharT(0);
        return true;
    }
    const size_t n = detail::LengthUpTo(src, static_cast<size_t>(limit));
    std::memcpy(dest, src, n * sizeof(CharT));
    dest[n] = CharT(0);
    return src[n] == CharT(0);
}

}  // namespace

void StrCopy(char* dest, const char* src) {
    Copy(dest, src);
}
void StrCopy(wchar_t* dest, const wchar_t* src) {
    Copy(dest, src);
}

bool StrSafeCopy(char* dest, const char* src, int limit) {
    return SafeCopy(dest, src, limit);
}
bool StrSafeCopy(wchar_t* dest, const wchar_t* src, int limit) {
    return SafeCopy(dest, src, limit);
}

}  // namespace TKV
