// A shared object has no entry point: its constructor and destructor stand for the process
// attach and detach. The destructor runs both when a program unloads the library (dlclose) and
// when the process exits; only in the first case may it free anything, since at exit agent
// threads can still be inside a library call (on Windows they are gone by then).
#include "platform/module_entry.h"

#include <atomic>

namespace TKV::platform {
namespace {

// Plain data, zero when the module is loaded, so it works at any point of load and unload.
std::atomic<ModuleEntryHook> g_hook;
std::atomic<bool> g_attached;

__attribute__((constructor)) void OnModuleLoad() {
    g_attached.store(true);
    if (ModuleEntryHook hook = g_hook.load())
        hook(DLL_PROCESS_ATTACH, false);
}

// Without a way to tell an unload from an exit that sanitizers also survive, the detach is
// taken as the exit's: nothing is freed (all of it stays reachable), as threads may still run.
__attribute__((destructor)) void OnModuleUnload() {
    if (ModuleEntryHook hook = g_hook.load())
        hook(DLL_PROCESS_DETACH, true);
}

}  // namespace

void SetModuleEntryHook(ModuleEntryHook hook) {
    g_hook.store(hook);
    if (g_attached.load())
        hook(DLL_PROCESS_ATTACH, false);
}

}  // namespace TKV::platform
