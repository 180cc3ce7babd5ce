// The process heap, in the Windows calls the library makes on it. Internal to the library.
#ifndef TKV_PLATFORM_HEAP_H
#define TKV_PLATFORM_HEAP_H

#include <stddef.h>

#include "tkv/winapi.h"

// On Windows the system declares all of this.
#if !defined(_WIN32)

constexpr DWORD HEAP_ZERO_MEMORY = 0x00000008;

// The one heap of the process; every heap call takes it.
HANDLE GetProcessHeap();
// A block of size bytes (zero-filled with HEAP_ZERO_MEMORY), or null when memory runs out.
LPVOID HeapAlloc(HANDLE heap, DWORD flags, size_t size);
// Resizes a block; with HEAP_ZERO_MEMORY the bytes added at the end are zero. Null on failure,
// the old block then stays valid.
LPVOID HeapReAlloc(HANDLE heap, DWORD flags, LPVOID block, size_t size);
// Releases a block; a null block is accepted and ignored.
BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID block);

#endif  // !_WIN32

#endif  // TKV_PLATFORM_HEAP_H
