// The library's heap: blocks that agents and the library hand each other, and heap copies of
// strings. Every block is released with MemFree (a string copy with StrFree).
#ifndef TKV_HEAP_H
#define TKV_HEAP_H

#include "tkv/export.h"

namespace TKV {

// A zero-filled heap block of size bytes; null for 0 bytes or when memory runs out.
TKV_API void* MemAlloc(unsigned int size);
// Resizes a block; bytes added at the end are zero. Null for a null block (nothing allocated)
// or when memory runs out, the old block then staying valid.
TKV_API void* MemRealloc(void* block, unsigned int size);
// Releases a block of MemAlloc/MemRealloc/StrDupW; null is ignored.
TKV_API void MemFree(void* block);
TKV_API void StrFree(const char* s);
TKV_API void StrFree(const wchar_t* s);

// A heap copy of s that the caller releases with StrFree; null for null.
TKV_API char* StrDupW(const char* s);
TKV_API wchar_t* StrDupW(const wchar_t* s);

}  // namespace TKV

#endif  // TKV_HEAP_H
