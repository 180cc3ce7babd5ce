// What the tests ask of the system they run on, here on POSIX; win32/host.h answers the same
// questions on Windows. The build puts the folder of the platform on the include path.
#ifndef TKV_TESTS_SUPPORT_HOST_H
#define TKV_TESTS_SUPPORT_HOST_H

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>

#include <cstdlib>

#include "platform/com.h"
#include "tkv/winsock.h"

namespace TKV::test {

// Closed handle values are never handed out again, so a wait on one fails.
constexpr bool kClosedHandlesStayInvalid = true;

inline void SetVariable(const char* name, const char* utf8Value) {
    ::setenv(name, utf8Value, 1);
}
inline void UnsetVariable(const char* name) {
    ::unsetenv(name);
}

// Open descriptors of the process, to show that sockets are neither leaked nor closed twice.
inline int CountOpenDescriptors() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir) != nullptr) {
            ++count;
        }
        closedir(dir);
    }
    return count;
}

inline bool IsInheritedByChildren(SOCKET s) {
    return (fcntl(static_cast<int>(s), F_GETFD) & FD_CLOEXEC) == 0;
}

// The apartment count of the calling thread (0 when COM is not initialised on it).
inline int ComApartmentCount() {
    return TKV::platform::ComApartmentCount();
}

// Takes a document class away, to see the fallback; RestoreComClasses puts all back.
inline bool HideComClass(const wchar_t* progId) {
    return TKV::platform::UnregisterComClass(progId);
}
inline void RestoreComClasses() {
    TKV::platform::ResetComClasses();
}

// Loading a module at run time, through the dynamic loader.
inline void* LoadModule(const char* path) {
    return dlopen(path, RTLD_NOW | RTLD_LOCAL);
}
inline void* ModuleSymbol(void* module, const char* name) {
    return dlsym(module, name);
}
inline bool UnloadModule(void* module) {
    return dlclose(module) == 0;
}
// Whether the module is mapped in the process still; never loads it.
inline bool IsModuleLoaded(const char* path) {
    void* module = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
    return module != nullptr && dlclose(module) == 0;
}

}  // namespace TKV::test

// The library's own system texts: Windows' words exactly.
#define EXPECT_SYSTEM_TEXT(text, windowsWords) EXPECT_STREQ(text, windowsWords)

#define TKV_TEST_EXPORT extern "C" __attribute__((visibility("default")))

#endif  // TKV_TESTS_SUPPORT_HOST_H
