// File existence, URL unescaping and the event test: thin wrappers over platform services.
#include "tkv/environment.h"

#include <cwchar>

#include "platform/environment.h"
#include "tkv/tmp_string.h"

namespace TKV {

bool FileExists(const wchar_t* path) {
    return path != nullptr && *path != 0 && GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

const wchar_t* TKVUrlUnescape(const wchar_t* url) {
    if (url == nullptr || *url == 0) {
        return nullptr;
    }
    const size_t length = std::wcslen(url);
    if (length >= 0xFFFFFFFFu) {
        return nullptr;
    }
    DWORD size = static_cast<DWORD>(length) + 1;
    wchar_t* out = nullptr;
    if (TKVGetTmpString(out, static_cast<unsigned int>(size)) == 0) {
        return nullptr;
    }
    // The call reads its input only; the cast meets its Windows shape.
    wchar_t* in = const_cast<wchar_t*>(url);
    if (UrlUnescapeW(in, out, &size, 0) == E_POINTER && size != 0) {
        // Unescaping never lengthens a text, so this one more try is only a safeguard.
        ++size;
        if (TKVGetTmpString(out, static_cast<unsigned int>(size)) == 0) {
            return nullptr;
        }
        UrlUnescapeW(in, out, &size, 0);
    }
    return out;
}

bool IsEventSignalled(void* handle) {
    return handle != nullptr && WaitForSingleObject(handle, 0) != WAIT_TIMEOUT;
}

}  // namespace TKV
