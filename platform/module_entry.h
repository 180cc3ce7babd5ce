// The module's entry: the platform calls one hook when the process loads the library (process
// attach) and when it unloads it (process detach). Internal to the library.
#ifndef TKV_PLATFORM_MODULE_ENTRY_H
#define TKV_PLATFORM_MODULE_ENTRY_H

#include "tkv/winapi.h"

#if !defined(_WIN32)
constexpr DWORD DLL_PROCESS_DETACH = 0;
constexpr DWORD DLL_PROCESS_ATTACH = 1;
constexpr DWORD DLL_THREAD_ATTACH = 2;
constexpr DWORD DLL_THREAD_DETACH = 3;
#endif

namespace TKV::platform {

// Called with a DLL_... reason; processExit tells a detach at the process's exit (other threads
// may still run) from an unload. Its result is the entry's result.
using ModuleEntryHook = BOOL (*)(DWORD reason, bool processExit);

// Makes hook the module's entry. The process attach may come before the hook is registered (the
// order of static initialisation decides): the hook then receives it at registration. On an
// unload the platform calls the hook first, then runs the unload actions (platform/unload.h)
// and frees its own process-wide state.
void SetModuleEntryHook(ModuleEntryHook hook);

}  // namespace TKV::platform

#endif  // TKV_PLATFORM_MODULE_ENTRY_H
