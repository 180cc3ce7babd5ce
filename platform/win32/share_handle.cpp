#include "platform/share_handle.h"

namespace TKV::platform {

HANDLE ShareHandle(HANDLE handle) {
    HANDLE copy = nullptr;
    if (handle == nullptr || !DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(),
                                              &copy, 0, FALSE, DUPLICATE_SAME_ACCESS))
        return nullptr;
    return copy;
}

}  // namespace TKV::platform
