// The Windows-named types, constants and kernel services that the library's interface is written
// in (HANDLE, DWORD, WaitForSingleObject ...): the system's own on Windows, the library's
// implementation of them (tkv/posix/winapi.h) elsewhere.
#ifndef TKV_WINAPI_H
#define TKV_WINAPI_H

#if defined(_WIN32)
// Windows Sockets 2 must come before windows.h, which would otherwise pull in the first version.
#include <winsock2.h>

#include <windows.h>
#else
#include "tkv/posix/fileapi.h"
#include "tkv/posix/named_objects.h"
#include "tkv/posix/winapi.h"
// Further Windows names, declared in terms of the ones above.
#include "tkv/posix/fileapi.h"
#endif

#endif  // TKV_WINAPI_H
