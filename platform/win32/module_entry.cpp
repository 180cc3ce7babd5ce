// The DLL's entry point. Windows tells the two process detaches apart: lpReserved is non-null
// when the process exits (the other threads were ended wherever they stood, possibly holding
// the library's locks, so nothing is freed) and null on FreeLibrary, when everything the
// library owns is released.
#include "platform/module_entry.h"

#include <atomic>

#include "platform/unload.h"

namespace TKV::platform {
namespace {

// Plain data, zero when the module is loaded, so it works at any point of load and unload.
std::atomic<ModuleEntryHook> g_hook;
std::atomic<bool> g_attached;

// When the library's objects are linked into a program instead of a DLL, the system never
// calls DllMain: the program's own start is the attach.
bool LinkedIntoProgram() {
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCWSTR>(&g_hook), &self))
        return false;
    return self == GetModuleHandleW(nullptr);
}

}  // namespace

void SetModuleEntryHook(ModuleEntryHook hook) {
    g_hook.store(hook);
    if (g_attached.load() || LinkedIntoProgram())
        hook(DLL_PROCESS_ATTACH, false);
}

}  // namespace TKV::platform

// The CRT's DLL start runs the static constructors (which register the hook) before calling
// this, and the static destructors after the detach.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    using namespace TKV::platform;
    if (reason == DLL_PROCESS_ATTACH)
        g_attached.store(true);
    if (reason != DLL_PROCESS_ATTACH && reason != DLL_PROCESS_DETACH)
        return TRUE;
    const bool processExit = reason == DLL_PROCESS_DETACH && reserved != nullptr;
    ModuleEntryHook hook = g_hook.load();
    const BOOL result = hook != nullptr ? hook(reason, processExit) : TRUE;
    if (reason == DLL_PROCESS_DETACH && !processExit)
        RunUnloadActions();
    return result;
}
