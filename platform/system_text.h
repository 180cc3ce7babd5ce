// System texts in the Windows calls the library makes: error messages (FormatMessage), string
// resources (FindResource, SizeofResource, LoadString) and the string pointer probes.
// Internal to the library.
#ifndef TKV_PLATFORM_SYSTEM_TEXT_H
#define TKV_PLATFORM_SYSTEM_TEXT_H

#include <stdarg.h>
#include <stdint.h>

#include "tkv/winapi.h"

// On Windows the system declares all of this.
#if !defined(_WIN32)

constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x00000200;
constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x00001000;
constexpr WORD LANG_NEUTRAL = 0x00;
constexpr WORD SUBLANG_DEFAULT = 0x01;
constexpr DWORD MAKELANGID(WORD primary, WORD sub) {
    return static_cast<DWORD>((static_cast<WORD>(sub) << 10) | primary);
}

// The system's sentence for an error code, "\r\n" included, written to buffer (size characters,
// NUL included). Returns the characters written, or 0 with ERROR_MR_MID_NOT_FOUND when there is
// no text for the code (ERROR_INSUFFICIENT_BUFFER when it does not fit).
DWORD FormatMessageA(DWORD flags, const void* source, DWORD messageId, DWORD languageId,
                     LPSTR buffer, DWORD size, va_list* arguments);
DWORD FormatMessageW(DWORD flags, const void* source, DWORD messageId, DWORD languageId,
                     LPWSTR buffer, DWORD size, va_list* arguments);

struct HRSRC__;
typedef HRSRC__* HRSRC;

// Integer resource names and types, as MAKEINTRESOURCEW makes them.
inline LPCWSTR MAKEINTRESOURCEW(WORD id) {
    return reinterpret_cast<LPCWSTR>(static_cast<uintptr_t>(id));
}
#define RT_STRING MAKEINTRESOURCEW(6)

// The string-table block named by an integer name (id / 16 + 1) of a module, or null with
// ERROR_RESOURCE_TYPE_NOT_FOUND / ERROR_RESOURCE_NAME_NOT_FOUND.
HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type);
// The block's size in bytes: its 16 strings, each with a one-character length prefix.
DWORD SizeofResource(HMODULE module, HRSRC resource);
// Copies string id of the module, cut to count - 1 characters, with a NUL; returns the
// characters copied, 0 when the string is missing or empty.
int LoadStringW(HINSTANCE module, UINT id, LPWSTR buffer, int count);

// Whether a string cannot be read. Only the null pointer counts as unreadable here.
BOOL IsBadStringPtrA(LPCSTR s, uintptr_t max);
BOOL IsBadStringPtrW(LPCWSTR s, uintptr_t max);

#endif  // !_WIN32

#endif  // TKV_PLATFORM_SYSTEM_TEXT_H
