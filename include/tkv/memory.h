// The library's heap functions, the rings of temporary strings, system error and resource texts,
// and the two small string functions that allocate or copy.
//
// A temporary string belongs to its ring: the caller never frees it, and it stays valid until
// 256 further requests of the same width have been made by any thread.
#ifndef TKV_MEMORY_H
#define TKV_MEMORY_H

#include "tkv/export.h"
#include "tkv/winapi.h"

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

// Points s at the next temporary string of the ring with room for count characters (NUL
// included), empty; returns 1. Returns 0, s untouched, for count 0 or above 512000.
TKV_API unsigned int TKVGetTmpString(char*& s, unsigned int count);
TKV_API unsigned int TKVGetTmpString(wchar_t*& s, unsigned int count);

// The system's text for a Windows error code (0: the thread's last error), line break included,
// in a temporary string; an empty string when the system has no text for it.
TKV_API const char* TKVGetErrorMessageA(unsigned long code);
TKV_API const wchar_t* TKVGetErrorMessageW(unsigned long code);

// String id of the module's string table in a temporary string, or null when it is missing.
TKV_API const wchar_t* TKVLoadResourceStringW(HINSTANCE module, unsigned int id);

// A heap copy of s that the caller releases with StrFree; null for null.
TKV_API char* StrDupW(const char* s);
TKV_API wchar_t* StrDupW(const wchar_t* s);

// Copies at most limit characters of src and a NUL (dest needs limit + 1 characters). True when
// the whole of src fitted; false when it was cut, src is null or limit is 0 or less.
TKV_API bool StrSafeCopy(char* dest, const char* src, int limit);
TKV_API bool StrSafeCopy(wchar_t* dest, const wchar_t* src, int limit);

}  // namespace TKV

#endif  // TKV_MEMORY_H
