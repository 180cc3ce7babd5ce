// URL unescaping needs nothing of the system, so every platform shares this one.
#include "platform/environment.h"

namespace {

int HexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') {
        return c - L'0';
    }
    if (c >= L'a' && c <= L'f') {
        return c - L'a' + 10;
    }
    if (c >= L'A' && c <= L'F') {
        return c - L'A' + 10;
    }
    return -1;
}

}  // namespace

HRESULT UrlUnescapeW(LPWSTR url, LPWSTR out, DWORD* size, DWORD flags) {
    if (url == nullptr || size == nullptr || flags != 0 || (out == nullptr && *size != 0)) {
        return E_INVALIDARG;
    }
    // First count, so that a short output buffer is left untouched.
    DWORD needed = 0;
    for (const wchar_t* p = url; *p != 0; ++needed) {
        const bool escape = p[0] == L'%' && HexValue(p[1]) >= 0 && HexValue(p[2]) >= 0;
        p += escape ? 3 : 1;
    }
    if (needed + 1 > *size) {
        *size = needed + 1;
        return E_POINTER;
    }
    wchar_t* o = out;
    for (const wchar_t* p = url; *p != 0; ++o) {
        if (p[0] == L'%' && HexValue(p[1]) >= 0 && HexValue(p[2]) >= 0) {
            *o = static_cast<wchar_t>(HexValue(p[1]) * 16 + HexValue(p[2]));
            p += 3;
        } else {
            *o = *p++;
        }
    }
    *o = 0;
    *size = needed;
    return S_OK;
}
