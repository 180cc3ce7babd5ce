// The library's heap functions and the heap copy of a string.
#include <cstring>
#include <cwchar>

#include "foundation/string_traits.h"
#include "platform/heap.h"
#include "tkv/heap.h"

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

}  // namespace TKV
