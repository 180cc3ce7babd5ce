// What the module does when the process loads and unloads it.
#ifndef TKV_FOUNDATION_MODULE_STATE_H
#define TKV_FOUNDATION_MODULE_STATE_H

#include "platform/module_entry.h"
#include "tkv/winapi.h"

namespace TKV::detail {

// The module's entry point, registered with the platform, which calls it with the process
// attach when the module is loaded and with the process detach when it is unloaded or the
// process exits. processExit says which: at exit other threads may still be inside the library,
// so nothing is freed (what is left stays reachable); an unload frees the ring slots, and the
// platform then deletes the objects registered for unload. Always TRUE.
BOOL ModuleEntry(DWORD reason, bool processExit);

}  // namespace TKV::detail

#endif  // TKV_FOUNDATION_MODULE_STATE_H
