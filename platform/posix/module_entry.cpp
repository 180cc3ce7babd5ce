// A shared object has no entry point: its constructor and destructor stand for the process
// attach and detach. The destructor runs after the library's static objects are destroyed
// (exit runs the C++ destructors before the objects' fini functions).
#include "foundation/module_state.h"

namespace {

__attribute__((constructor)) void OnModuleLoad() {
    TKV::detail::ModuleEntry(TKV::detail::DLL_PROCESS_ATTACH);
}

__attribute__((destructor)) void OnModuleUnload() {
    TKV::detail::ModuleEntry(TKV::detail::DLL_PROCESS_DETACH);
}

}  // namespace
