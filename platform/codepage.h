// Code-page conversion in the Windows calls the library makes. Internal to the library.
// The ANSI code page (CP_ACP) is UTF-8 here; wchar_t holds UTF-32.
#ifndef TKV_PLATFORM_CODEPAGE_H
#define TKV_PLATFORM_CODEPAGE_H

#include "tkv/winapi.h"

// On Windows the system declares all of this.
#if !defined(_WIN32)

constexpr UINT CP_ACP = 0;
constexpr UINT CP_OEMCP = 1;
constexpr UINT CP_MACCP = 2;
constexpr UINT CP_THREAD_ACP = 3;
constexpr UINT CP_UTF7 = 65000;
constexpr UINT CP_UTF8 = 65001;

constexpr DWORD MB_ERR_INVALID_CHARS = 0x00000008;
constexpr DWORD WC_ERR_INVALID_CHARS = 0x00000080;

// Converts srcBytes bytes (-1: up to and including the NUL) of text in codePage to wide
// characters. With dstCount 0 returns the count needed; otherwise the count written, or 0 with
// the thread's last error set (ERROR_INSUFFICIENT_BUFFER, ERROR_INVALID_PARAMETER, ...).
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR src, int srcBytes, LPWSTR dst,
                        int dstCount);

// The reverse direction; the same counting rules. Characters the code page cannot hold become
// defaultChar (or '?'), and *usedDefaultChar reports it where the code page allows both.
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR src, int srcCount, LPSTR dst,
                        int dstBytes, LPCSTR defaultChar, BOOL* usedDefaultChar);

#endif  // !_WIN32

#endif  // TKV_PLATFORM_CODEPAGE_H
