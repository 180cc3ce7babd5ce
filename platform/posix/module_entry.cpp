// A shared object has no entry point: its constructor and destructor stand for the process
// attach and detach. The destructor runs both when a program unloads the library (dlclose) and
// when the process exits. Only when no other thread runs may it free anything: at exit agent
// threads can still be inside a library call (on Windows they are gone by then), and no
// interface tells an exit from an unload, so a detach with other threads alive is taken as the
// exit's and frees nothing.
#include "platform/module_entry.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "platform/posix/kernel.h"
#include "platform/unload.h"

namespace TKV::platform {
namespace {

// Plain data, zero when the module is loaded, so it works at any point of load and unload.
std::atomic<ModuleEntryHook> g_hook;
std::atomic<bool> g_attached;

// Whether the process has a thread besides the caller (unknown counts as yes). Reads the
// thread count the kernel keeps, without allocating: this runs during unload and exit.
bool OtherThreadsRun() {
    const int fd = ::open("/proc/self/stat", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return true;
    char text[1024];
    const ssize_t n = ::read(fd, text, sizeof(text) - 1);
    ::close(fd);
    if (n <= 0)
        return true;
    text[n] = 0;
    // The command name, in parentheses, may hold spaces: fields are counted after its end.
    const char* field = std::strrchr(text, ')');
    if (field == nullptr)
        return true;
    // Field 20, num_threads, is the 18th after the name.
    for (int i = 0; i < 18 && field != nullptr; ++i)
        field = std::strchr(field + 1, ' ');
    return field == nullptr || std::strtol(field + 1, nullptr, 10) != 1;
}

__attribute__((constructor)) void OnModuleLoad() {
    g_attached.store(true);
    if (ModuleEntryHook hook = g_hook.load())
        hook(DLL_PROCESS_ATTACH, false);
}

__attribute__((destructor)) void OnModuleUnload() {
    const bool processExit = OtherThreadsRun();
    if (ModuleEntryHook hook = g_hook.load())
        hook(DLL_PROCESS_DETACH, processExit);
    if (processExit)
        return;
    RunUnloadActions();
    detail::ReleaseKernel();
}

}  // namespace

void SetModuleEntryHook(ModuleEntryHook hook) {
    g_hook.store(hook);
    if (g_attached.load())
        hook(DLL_PROCESS_ATTACH, false);
}

}  // namespace TKV::platform
