// Windows-named file calls over this platform's files: handles from CreateFileW name an entry of
// the same table as events, mutexes and threads, so the one CloseHandle closes all of them.
#ifndef TKV_POSIX_FILEAPI_H
#define TKV_POSIX_FILEAPI_H

#include <stddef.h>

#include "tkv/export.h"
#include "tkv/posix/winapi.h"

constexpr DWORD GENERIC_READ = 0x80000000UL;
constexpr DWORD GENERIC_WRITE = 0x40000000UL;
constexpr DWORD FILE_SHARE_READ = 0x1;
constexpr DWORD FILE_SHARE_WRITE = 0x2;
constexpr DWORD FILE_SHARE_DELETE = 0x4;
constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFFUL;
constexpr DWORD ERROR_FILE_EXISTS = 80;
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<ptrdiff_t>(-1)))

extern "C" {

// Opens or creates a file; INVALID_HANDLE_VALUE with the last error set on failure. Sharing
// modes, security attributes, flags and the template handle are accepted and not enforced.
TKV_API HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD shareMode,
                           LPSECURITY_ATTRIBUTES attributes, DWORD disposition, DWORD flags,
                           HANDLE templateFile);
// Reads up to toRead bytes from the file position (fewer only at the end of the file). The
// overlapped argument must be null.
TKV_API BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, DWORD* read, void* overlapped);
// The file's size: low 32 bits returned, high 32 bits stored when high is not null;
// INVALID_FILE_SIZE with ERROR_INVALID_HANDLE for a handle that is no open file.
TKV_API DWORD GetFileSize(HANDLE file, DWORD* high);

}  // extern "C"

#endif  // TKV_POSIX_FILEAPI_H
