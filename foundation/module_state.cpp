#include "foundation/module_state.h"

#include "foundation/tmp_string.h"

namespace TKV::detail {
namespace {

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
                ReleaseRings();
            break;
        default:
            break;  // nothing happens per thread
    }
    return TRUE;
}

}  // namespace TKV::detail
