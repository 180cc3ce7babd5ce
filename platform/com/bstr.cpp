// BSTR and VARIANT: a BSTR is a heap block with the text's length in front of the text.
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "platform/com/dom_impl.h"
#include "platform/thread_slot.h"

namespace {

// The header keeps the text aligned for wchar_t. The room lets a reallocation to a text that
// fits reuse the block.
struct BstrHeader {
    UINT room;  // characters, the terminator's not counted
    UINT length;
};

BstrHeader* HeaderOf(BSTR text) {
    return reinterpret_cast<BstrHeader*>(reinterpret_cast<char*>(text) - sizeof(BstrHeader));
}

BSTR Fill(BSTR s, const OLECHAR* text, UINT length) {
    HeaderOf(s)->length = length;
    if (text != nullptr)
        memmove(s, text, length * sizeof(OLECHAR));
    else
        memset(s, 0, length * sizeof(OLECHAR));
    s[length] = 0;
    return s;
}

// Blocks of short texts that were freed, kept per thread for the next BSTR of their size: the
// document model makes, and its callers free, several per node a walk visits, and the heap's
// own way costs more than the text. A short text gets the room of its size class. Address
// sanitizer builds keep nothing, so that a BSTR used after its release is still caught.
#if defined(__has_feature)
#define TKV_ADDRESS_SANITIZER __has_feature(address_sanitizer)
#else
#define TKV_ADDRESS_SANITIZER 0
#endif
#if defined(__SANITIZE_ADDRESS__) || TKV_ADDRESS_SANITIZER
constexpr int kCachedClasses = 0;
#else
constexpr int kCachedClasses = 3;  // rooms of 15, 31 and 63 characters
#endif
constexpr int kCachedPerClass = 32;

// Plain data, so that no destructor runs for it at thread end (one would keep the library
// loaded); the thread slot below gives its blocks back.
struct BstrCache {
    BstrHeader* head[3];  // linked through their first word
    int count[3];
    bool registered;  // with the slot, whose clean-up runs at thread end or unload
    bool closed;      // the clean-up ran: the thread's later frees go to the heap
};
thread_local BstrCache t_cache;

void EmptyCache(void*) {
    for (int c = 0; c < kCachedClasses; ++c) {
        while (BstrHeader* block = t_cache.head[c]) {
            t_cache.head[c] = *reinterpret_cast<BstrHeader**>(block);
            free(block);
        }
        t_cache.count[c] = 0;
    }
    t_cache.closed = true;
}

TKV::platform::ThreadSlot g_cacheSlot(EmptyCache);

// The class whose room is at least length characters, or -1.
int ClassFor(UINT length) {
    for (int c = 0; c < kCachedClasses; ++c)
        if (length < (16u << c))
            return c;
    return -1;
}

UINT RoomOf(int c) {
    return (16u << c) - 1;
}

}  // namespace

namespace TKV::platform::detail {

BSTR NewBstr(UINT length) {
    const int c = ClassFor(length);
    const UINT room = c >= 0 ? RoomOf(c) : length;
    BstrHeader* header = c >= 0 ? t_cache.head[c] : nullptr;
    if (header != nullptr) {
        t_cache.head[c] = *reinterpret_cast<BstrHeader**>(header);
        --t_cache.count[c];
    } else {
        header = static_cast<BstrHeader*>(
            malloc(sizeof(BstrHeader) + (static_cast<size_t>(room) + 1) * sizeof(OLECHAR)));
        if (header == nullptr)
            return nullptr;
    }
    header->room = room;
    header->length = length;
    BSTR s = reinterpret_cast<BSTR>(header + 1);
    s[length] = 0;
    return s;
}

}  // namespace TKV::platform::detail

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
    BSTR s = TKV::platform::detail::NewBstr(length);
    return s != nullptr ? Fill(s, text, length) : nullptr;
}

INT SysReAllocStringLen(BSTR* text, const OLECHAR* source, UINT length) {
    if (text == nullptr)
        return FALSE;
    if (*text != nullptr && HeaderOf(*text)->room >= length) {
        Fill(*text, source, length);
        return TRUE;
    }
    BSTR s = SysAllocStringLen(source, length);
    if (s == nullptr)
        return FALSE;
    SysFreeString(*text);
    *text = s;
    return TRUE;
}

BSTR SysAllocString(const OLECHAR* text) {
    if (text == nullptr)
        return nullptr;
    return SysAllocStringLen(text, static_cast<UINT>(wcslen(text)));
}

void SysFreeString(BSTR text) {
    if (text == nullptr)
        return;
    BstrHeader* header = HeaderOf(text);
    const int c = ClassFor(header->room);
    if (c >= 0 && header->room == RoomOf(c) && t_cache.count[c] < kCachedPerClass &&
        !t_cache.closed) {
        if (!t_cache.registered)
            t_cache.registered = g_cacheSlot.Set(&t_cache);
        if (t_cache.registered) {
            *reinterpret_cast<BstrHeader**>(header) = t_cache.head[c];
            t_cache.head[c] = header;
            ++t_cache.count[c];
            return;
        }
    }
    free(header);
}

UINT SysStringLen(BSTR text) {
    if (text == nullptr)
        return 0;
    return HeaderOf(text)->length;
}

void VariantInit(VARIANTARG* value) {
    if (value == nullptr)
        return;
    memset(value, 0, sizeof(*value));
    value->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANTARG* value) {
    if (value == nullptr)
        return E_INVALIDARG;
    if (value->vt == VT_BSTR)
        SysFreeString(value->bstrVal);
    VariantInit(value);
    return S_OK;
}
