// A shared object has no entry point: its constructor and destructor stand for the process
// attach and detach. The destructor runs both when a program unloads the library (dlclose) and
// when the process exits; only in the first case may it free anything, since at exit agent
// threads can still be inside a library call (on Windows they are gone by then).
#include "foundation/module_state.h"

namespace {

__attribute__((constructor)) void OnModuleLoad() {
    TKV::detail::ModuleEntry(TKV::detail::DLL_PROCESS_ATTACH, false);
}

// Without a way to tell an unload from an exit that sanitizers also survive, the detach is
// taken as the exit's: nothing is freed (all of it stays reachable), as threads may still run.
__attribute__((destructor)) void OnModuleUnload() {
    TKV::detail::ModuleEntry(TKV::detail::DLL_PROCESS_DETACH, true);
}

}  // namespace
