#include "foundation/module_state.h"

#include <atomic>

#include "foundation/tmp_string.h"

namespace TKV::detail {
namespace {

constexpr int kMaxUnloadActions = 8;

// Plain data, zero when the module is loaded, so it works at any point of load and unload.
std::atomic<UnloadAction> g_unloadActions[kMaxUnloadActions];
std::atomic<int> g_unloadActionCount;  // slots claimed in g_unloadActions

// Registered during static initialisation; the platform replays an attach that came before.
[[maybe_unused]] const bool g_entryRegistered = (platform::SetModuleEntryHook(&ModuleEntry), true);

}  // namespace

BOOL ModuleEntry(DWORD reason, bool processExit) {
    switch (reason) {
        case DLL_PROCESS_ATTACH:
            ClearRings();
            break;
        case DLL_PROCESS_DETACH:
            if (!processExit)
                ReleaseModuleState();
            break;
        default:
            break;  // nothing happens per thread
    }
    return TRUE;
}

bool RegisterUnloadAction(UnloadAction action) {
    const int index = g_unloadActionCount.fetch_add(1);
    if (index >= kMaxUnloadActions) {
        g_unloadActionCount.fetch_sub(1);
        return false;
    }
    g_unloadActions[index].store(action, std::memory_order_release);
    return true;
}

void ReleaseModuleState() {
    ReleaseRings();
    const int count = g_unloadActionCount.load();
    for (int i = 0; i < count && i < kMaxUnloadActions; ++i) {
        UnloadAction action = g_unloadActions[i].load(std::memory_order_acquire);
        if (action != nullptr)
            action();
    }
}

}  // namespace TKV::detail
