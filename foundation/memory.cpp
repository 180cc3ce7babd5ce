// The library's heap functions and the two small string functions that allocate or copy.
#include <cstring>
#include <cwchar>

#include "foundation/string_traits.h"
#include "platform/heap.h"
#include "tkv/memory.h"

namespace TKV {
namespace {

template <typename CharT>
CharT* DupString(const CharT* s) {
    if (s == nullptr)
        return nullptr;
    const size_t n = detail::Length(s) + 1;
    auto* copy =
        static_cast<CharT*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, n * sizeof(CharT)));
    if (copy != nullptr)
        std::memcpy(copy, s, n * sizeof(CharT));
    return copy;
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

void* MemAlloc(unsigned int size) {
    if (size == 0)
        return nullptr;
    return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size);
}

void* MemRealloc(void* block, unsigned int size) {
    if (block == nullptr)
        return nullptr;
    return HeapReAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, block, size);
}

void MemFree(void* block) {
    if (block != nullptr)
        HeapFree(GetProcessHeap(), 0, block);
}

void StrFree(const char* s) {
    MemFree(const_cast<char*>(s));
}
void StrFree(const wchar_t* s) {
    MemFree(const_cast<wchar_t*>(s));
}

char* StrDupW(const char* s) {
    return DupString(s);
}
wchar_t* StrDupW(const wchar_t* s) {
    return DupString(s);
}

bool StrSafeCopy(char* dest, const char* src, int limit) {
    return SafeCopy(dest, src, limit);
}
bool StrSafeCopy(wchar_t* dest, const wchar_t* src, int limit) {
    return SafeCopy(dest, src, limit);
}

}  // namespace TKV
