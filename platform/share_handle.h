// A second handle to the object behind a handle (DuplicateHandle on Windows), so that one owner
// closing its copy does not close the other's. Internal to the library.
#ifndef TKV_PLATFORM_SHARE_HANDLE_H
#define TKV_PLATFORM_SHARE_HANDLE_H

#include "tkv/winapi.h"

namespace TKV::platform {

// A new handle to handle's object, or null when handle is not open (or the table is full).
HANDLE ShareHandle(HANDLE handle);

}  // namespace TKV::platform

#endif  // TKV_PLATFORM_SHARE_HANDLE_H
