// What the module does when the process loads and unloads it, and the actions other parts of
// the library hang on the unload.
#ifndef TKV_FOUNDATION_MODULE_STATE_H
#define TKV_FOUNDATION_MODULE_STATE_H

#include "tkv/winapi.h"

namespace TKV::detail {

constexpr DWORD DLL_PROCESS_DETACH = 0;
constexpr DWORD DLL_PROCESS_ATTACH = 1;
constexpr DWORD DLL_THREAD_ATTACH = 2;
constexpr DWORD DLL_THREAD_DETACH = 3;

// The module's entry point; the platform calls it with the process attach when the module is
// loaded and with the process detach when it is unloaded. Always TRUE.
BOOL ModuleEntry(DWORD reason);

// An action for ReleaseModuleState, such as closing the trace log.
using UnloadAction = void (*)();

// Adds an action that ReleaseModuleState runs after freeing the ring slots, in the order of
// registration. At most 8 actions; false when the table is full. Safe from any thread. The
// actions run after the library's static objects are destroyed: they may touch plain
// process-wide data only (a FILE*, a flag), no object with a destructor.
bool RegisterUnloadAction(UnloadAction action);

// Frees every ring slot, then runs the unload actions. Run once, at process detach.
void ReleaseModuleState();

}  // namespace TKV::detail

#endif  // TKV_FOUNDATION_MODULE_STATE_H
