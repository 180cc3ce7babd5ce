// Environment variables, file attributes and URL unescaping, in the Windows calls the library
// makes. Internal to the library.
#ifndef TKV_PLATFORM_ENVIRONMENT_H
#define TKV_PLATFORM_ENVIRONMENT_H

#include "tkv/winapi.h"

#if defined(_WIN32)
#include <shlwapi.h>
#else

constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFUL;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;

// The variable's value and its length without the NUL when `size` characters hold it with its
// NUL; otherwise the size needed, NUL included, with the buffer untouched. 0 with
// ERROR_ENVVAR_NOT_FOUND for a missing variable (and for a null or empty name). The last error
// is left alone on success, as on Windows.
DWORD GetEnvironmentVariableW(LPCWSTR name, LPWSTR buffer, DWORD size);

// The path's attributes, or INVALID_FILE_ATTRIBUTES when it does not exist or cannot be reached.
DWORD GetFileAttributesW(LPCWSTR path);

// Every % followed by two hexadecimal digits becomes the character of that code; the rest is
// copied. *size is the output room in characters: S_OK with *size the characters written
// (without the NUL), or E_POINTER with *size the room needed (with the NUL). Flags: none known.
HRESULT UrlUnescapeW(LPWSTR url, LPWSTR out, DWORD* size, DWORD flags);

#endif  // !_WIN32

#endif  // TKV_PLATFORM_ENVIRONMENT_H
