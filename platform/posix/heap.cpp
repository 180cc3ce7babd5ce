// The process heap over malloc. Every block carries a small header with its requested size, so a
// zero-filling reallocation knows exactly which bytes are new (malloc_usable_size cannot tell
// bytes a shrink left behind from bytes that were never handed out).
#include "platform/heap.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Sixteen bytes keep the caller's storage as aligned as malloc's own.
struct alignas(16) BlockHeader {
    size_t size;
};
constexpr size_t kHeader = sizeof(BlockHeader);

// Any non-null value would do: there is one heap.
int g_heapTag;

BlockHeader* HeaderOf(const void* block) {
    return reinterpret_cast<BlockHeader*>(const_cast<char*>(static_cast<const char*>(block)) -
                                          kHeader);
}

void* StorageOf(BlockHeader* header) {
    return reinterpret_cast<char*>(header) + kHeader;
}

}  // namespace

HANDLE GetProcessHeap() {
    return &g_heapTag;
}

LPVOID HeapAlloc(HANDLE, DWORD flags, size_t size) {
    if (size > SIZE_MAX - kHeader) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    void* raw =
        (flags & HEAP_ZERO_MEMORY) ? std::calloc(1, kHeader + size) : std::malloc(kHeader + size);
    if (raw == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto* header = static_cast<BlockHeader*>(raw);
    header->size = size;
    return StorageOf(header);
}

LPVOID HeapReAlloc(HANDLE heap, DWORD flags, LPVOID block, size_t size) {
    if (block == nullptr)
        return HeapAlloc(heap, flags, size);
    if (size > SIZE_MAX - kHeader) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    BlockHeader* header = HeaderOf(block);
    const size_t oldSize = header->size;
    void* raw = std::realloc(header, kHeader + size);
    if (raw == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    header = static_cast<BlockHeader*>(raw);
    header->size = size;
    char* storage = static_cast<char*>(StorageOf(header));
    if ((flags & HEAP_ZERO_MEMORY) && size > oldSize)
        std::memset(storage + oldSize, 0, size - oldSize);
    return storage;
}

BOOL HeapFree(HANDLE, DWORD, LPVOID block) {
    if (block != nullptr)
        std::free(HeaderOf(block));
    return TRUE;
}
