// The thread's last error lives in thread-local storage, as on Windows each thread has its own.
#include "tkv/winapi.h"

namespace {
thread_local DWORD t_lastError = ERROR_SUCCESS;
}  // namespace

extern "C" {

DWORD GetLastError() {
    return t_lastError;
}

void SetLastError(DWORD error) {
    t_lastError = error;
}

}  // extern "C"
