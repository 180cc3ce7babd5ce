// The Windows-named types, constants and kernel services that the library's interface is written
// in, where the system has none: the library carries its own implementation of them (threads,
// events, mutexes, waits, the thread's last error), so agents can use the handles the library
// gives them (a registered thread's handle, a notify event) in their own waits.
// Agents include tkv/winapi.h, which picks this header or the system's.
#ifndef TKV_POSIX_WINAPI_H
#define TKV_POSIX_WINAPI_H

#include <stddef.h>

#include "tkv/export.h"

typedef unsigned long DWORD;
typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef unsigned int UINT;
typedef int LONG;
typedef void* HANDLE;
typedef void* LPVOID;
typedef wchar_t WCHAR;
typedef const wchar_t* LPCWSTR;
typedef wchar_t* LPWSTR;
typedef const char* LPCSTR;
typedef char* LPSTR;
// A COM result: 32 bits, negative for failures, as agents test it with FAILED/SUCCEEDED.
typedef LONG HRESULT;
typedef size_t SIZE_T;

// Accepted for the shape of the calls; security descriptors mean nothing here.
typedef struct _SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

struct HINSTANCE__;
typedef HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// The calling convention of Windows callbacks; this platform has only one.
#define WINAPI

// Thread entry point, as CreateThread takes it.
typedef DWORD(WINAPI* LPTHREAD_START_ROUTINE)(LPVOID);

// COM results, as the interface reports them.
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)
#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005UL);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003UL);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057UL);

// Waits and threads.
constexpr DWORD INFINITE = 0xFFFFFFFFUL;
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_ABANDONED_0 = 0x80;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFUL;
constexpr DWORD MAXIMUM_WAIT_OBJECTS = 64;
constexpr DWORD STILL_ACTIVE = 259;
constexpr DWORD CREATE_SUSPENDED = 0x4;
constexpr DWORD SYNCHRONIZE = 0x00100000UL;
constexpr DWORD EVENT_MODIFY_STATE = 0x0002;
constexpr DWORD EVENT_ALL_ACCESS = 0x001F0003UL;
constexpr DWORD MUTEX_ALL_ACCESS = 0x001F0001UL;

// Error numbers in the Windows numbering, as GetLastError reports them.
constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_TOO_MANY_OPEN_FILES = 4;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_OUTOFMEMORY = 14;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;
constexpr DWORD ERROR_ENVVAR_NOT_FOUND = 203;
constexpr DWORD ERROR_NOT_OWNER = 288;
constexpr DWORD ERROR_TOO_MANY_POSTS = 298;
constexpr DWORD ERROR_MR_MID_NOT_FOUND = 317;
constexpr DWORD ERROR_INVALID_FLAGS = 1004;
constexpr DWORD ERROR_NO_UNICODE_TRANSLATION = 1113;
constexpr DWORD ERROR_RESOURCE_TYPE_NOT_FOUND = 1813;
constexpr DWORD ERROR_RESOURCE_NAME_NOT_FOUND = 1814;

extern "C" {

// The calling thread's last error.
TKV_API DWORD GetLastError();
TKV_API void SetLastError(DWORD error);

// Kernel objects: events, mutexes and threads, named by handles from one process-wide table.
// A handle is never 0 and its value is not reused soon after it is closed; an object lives
// while a handle, a running wait or (for a thread) the running thread still needs it.

// Closes a handle; FALSE with ERROR_INVALID_HANDLE for a null, unknown or closed one.
TKV_API BOOL CloseHandle(HANDLE handle);

// Events. A second create of the same name opens the same event (ERROR_ALREADY_EXISTS);
// manualReset false makes an event that releases one waiter and resets itself.
TKV_API HANDLE CreateEventW(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState,
                            LPCWSTR name);
// A new handle to the event created under `name`; null with ERROR_FILE_NOT_FOUND if none.
TKV_API HANDLE OpenEventW(DWORD access, BOOL inheritHandle, LPCWSTR name);
TKV_API BOOL SetEvent(HANDLE event);
TKV_API BOOL ResetEvent(HANDLE event);

// Mutexes: owned by one thread, recursive for it, released only by it (ERROR_NOT_OWNER).
// A mutex whose owner ends is handed on as abandoned (WAIT_ABANDONED_0 + i).
TKV_API HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCWSTR name);
TKV_API HANDLE OpenMutexW(DWORD access, BOOL inheritHandle, LPCWSTR name);
TKV_API BOOL ReleaseMutex(HANDLE mutex);

// Threads. The thread's handle is signalled when its entry function returns; its exit code
// reads STILL_ACTIVE until then. CREATE_SUSPENDED holds it until ResumeThread.
TKV_API HANDLE CreateThread(LPSECURITY_ATTRIBUTES attributes, SIZE_T stackSize,
                            LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD creationFlags,
                            DWORD* threadId);
// The previous suspend count, or (DWORD)-1 for an invalid handle.
TKV_API DWORD ResumeThread(HANDLE thread);
TKV_API BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode);
// The id of the thread behind a thread handle, or 0.
TKV_API DWORD GetThreadId(HANDLE thread);
// The calling thread's id: unique in the process and never 0.
TKV_API DWORD GetCurrentThreadId();
TKV_API void Sleep(DWORD milliseconds);

// Waits. Wait-any returns WAIT_OBJECT_0 + the lowest signalled index; wait-all takes every
// object in one step or none. WAIT_TIMEOUT when the time-out (milliseconds or INFINITE)
// passes; WAIT_FAILED with ERROR_INVALID_HANDLE or ERROR_INVALID_PARAMETER (count 0 or above
// MAXIMUM_WAIT_OBJECTS) at once.
TKV_API DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
TKV_API DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll,
                                     DWORD milliseconds);

}  // extern "C"

#endif  // TKV_POSIX_WINAPI_H
