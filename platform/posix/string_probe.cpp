// There is no cheap, safe way to test readability of memory here, so the probes test for null
// only: valid and null pointers behave as on Windows.
#include "platform/system_text.h"

BOOL IsBadStringPtrA(LPCSTR s, uintptr_t) {
    return s == nullptr;
}

BOOL IsBadStringPtrW(LPCWSTR s, uintptr_t) {
    return s == nullptr;
}
