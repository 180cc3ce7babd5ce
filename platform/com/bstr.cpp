// BSTR and VARIANT: a BSTR is a heap block with the text's length in front of the text.
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "platform/com/dom_impl.h"

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

}  // namespace

namespace TKV::platform::detail {

BSTR NewBstr(UINT length) {
    void* block = malloc(sizeof(BstrHeader) + (static_cast<size_t>(length) + 1) * sizeof(OLECHAR));
    if (block == nullptr)
        return nullptr;
    auto* header = static_cast<BstrHeader*>(block);
    header->room = length;
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
    if (text != nullptr)
        free(HeaderOf(text));
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
