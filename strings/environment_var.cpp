// GetEnvironmentVar fills a String, so it sits with String above the foundation.
#include <memory>

#include "platform/environment.h"
#include "tkv/environment.h"
#include "tkv/heap.h"

namespace TKV {
namespace {

constexpr DWORD kFirstTry = 1024;

struct HeapFree {
    void operator()(wchar_t* p) const { MemFree(p); }
};
using HeapText = std::unique_ptr<wchar_t, HeapFree>;

HeapText NewText(DWORD characters) {
    const unsigned long long bytes = static_cast<unsigned long long>(characters) * sizeof(wchar_t);
    return HeapText(bytes > 0xFFFFFFFFull
                        ? nullptr
                        : static_cast<wchar_t*>(MemAlloc(static_cast<unsigned int>(bytes))));
}

}  // namespace

bool GetEnvironmentVar(const wchar_t* name, String& value) {
    // A missing variable is told only by the last error, so an earlier failure must not linger.
    SetLastError(ERROR_SUCCESS);
    HeapText buffer = NewText(kFirstTry);
    if (buffer == nullptr) {
        return false;
    }
    const DWORD needed = GetEnvironmentVariableW(name, buffer.get(), kFirstTry);
    if (needed > kFirstTry) {
        buffer = NewText(needed + 1);
        if (buffer == nullptr || GetEnvironmentVariableW(name, buffer.get(), needed) > needed) {
            return false;
        }
    }
    if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) {
        return false;
    }
    value.Assign(buffer.get());
    return true;
}

}  // namespace TKV
