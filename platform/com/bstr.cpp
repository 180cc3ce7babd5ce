// BSTR and VARIANT: a BSTR is a heap block with the text's length in front of the text.
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "platform/com.h"

namespace {

// The length header keeps the text aligned for wchar_t.
struct BstrHeader {
    size_t length;
};

}  // namespace

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
    void* block = malloc(sizeof(BstrHeader) + (static_cast<size_t>(length) + 1) * sizeof(OLECHAR));
    if (block == nullptr)
        return nullptr;
    static_cast<BstrHeader*>(block)->length = length;
    BSTR s = reinterpret_cast<BSTR>(static_cast<char*>(block) + sizeof(BstrHeader));
    if (text != nullptr)
        memcpy(s, text, length * sizeof(OLECHAR));
    else
        memset(s, 0, length * sizeof(OLECHAR));
    s[length] = 0;
    return s;
}

BSTR SysAllocString(const OLECHAR* text) {
    if (text == nullptr)
        return nullptr;
    return SysAllocStringLen(text, static_cast<UINT>(wcslen(text)));
}

void SysFreeString(BSTR text) {
    if (text != nullptr)
        free(reinterpret_cast<char*>(text) - sizeof(BstrHeader));
}

UINT SysStringLen(BSTR text) {
    if (text == nullptr)
        return 0;
    return static_cast<UINT>(
        reinterpret_cast<BstrHeader*>(reinterpret_cast<char*>(text) - sizeof(BstrHeader))->length);
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
