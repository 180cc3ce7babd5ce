// A shared object has no entry point: its constructor and destructor stand for the process
// attach and detach. The destructor runs both when a program unloads the library (dlclose) and
// when the process exits; only in the first case may it free anything, since at exit agent
// threads can still be inside a library call (on Windows they are gone by then).
#include <semaphore.h>
#include <sys/mman.h>

#include "foundation/module_state.h"
#include "platform/format.h"
#include "platform/posix/kernel.h"

extern "C" int __cxa_atexit(void (*function)(void*), void* argument, void* module);

namespace {

// Posted by the C library's own exit handlers when exit begins. Registered with no module, so
// an unload does not run it, and with a C library function, which stays valid after an unload;
// the semaphore's page stays mapped for the process's life (each load costs one page).
sem_t* g_exitMark = nullptr;

bool ProcessExiting() {
    int posted = 0;
    // Without a mark, assume exit: freeing nothing is the safe side.
    return g_exitMark == nullptr || sem_getvalue(g_exitMark, &posted) != 0 || posted > 0;
}

__attribute__((constructor)) void OnModuleLoad() {
    void* page =
        mmap(nullptr, sizeof(sem_t), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    auto* mark = page != MAP_FAILED ? static_cast<sem_t*>(page) : nullptr;
    // sem_post's int result is ignored by the caller; the cast through void() says so.
    const auto post = reinterpret_cast<void (*)(void*)>(reinterpret_cast<void (*)()>(&sem_post));
    if (mark != nullptr && sem_init(mark, 0, 0) == 0 && __cxa_atexit(post, mark, nullptr) == 0) {
        g_exitMark = mark;
    }
    TKV::detail::ModuleEntry(TKV::detail::DLL_PROCESS_ATTACH, false);
}

__attribute__((destructor)) void OnModuleUnload() {
    const bool exiting = ProcessExiting();
    TKV::detail::ModuleEntry(TKV::detail::DLL_PROCESS_DETACH, exiting);
    if (!exiting) {
        TKV::platform::ReleaseFormatState();
        TKV::detail::ReleaseKernel();
    }
}

}  // namespace
