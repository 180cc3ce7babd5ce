// The library as a plug-in: loaded and unloaded at run time, and a process that exits while
// agent threads are still inside library calls.
#include <dlfcn.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include "tkv/diagnostics.h"
#include "tkv/memory.h"
#include "tkv/string_functions.h"

namespace {

template <typename F>
F Symbol(void* module, const char* name) {
    void* address = dlsym(module, name);
    EXPECT_NE(address, nullptr) << name;
    return reinterpret_cast<F>(address);
}

// A fresh copy of the built library, so that the loader maps it anew on every dlopen.
std::string LibraryCopy() {
    const std::string copy = testing::TempDir() + "tkvagent_copy.so";
    std::filesystem::copy_file(TKV_LIBRARY_FILE, copy,
                               std::filesystem::copy_options::overwrite_existing);
    return copy;
}

}  // namespace

// Every round uses the library's process-wide state (ring slots, the trace file, the hex line
// and its lock, the thread registry, the kernel's objects and a mutex owned by this thread, a
// code page through iconv, long wide formatting); the unload must leave nothing that keeps it
// mapped, and nothing allocated behind.
TEST(ModuleLoad, LoadsAtRunTimeAndUnloadsForReal) {
    const std::string copy = LibraryCopy();
    const std::wstring log =
        std::filesystem::path(testing::TempDir() + "module_load.log").wstring();
    const unsigned char bytes[] = {1, 2, 3};
    for (int round = 0; round < 4; ++round) {
        void* module = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(module, nullptr) << dlerror();
        auto tmp = Symbol<unsigned int (*)(wchar_t*&, unsigned int)>(
            module, "_ZN3TKV15TKVGetTmpStringERPwj");
        auto format =
            Symbol<const wchar_t* (*)(const wchar_t*, ...)>(module, "_ZN3TKV9StrFormatEPKwz");
        auto open = Symbol<bool (*)(const wchar_t*)>(module, "TKVOpenTraceLog");
        auto trace = Symbol<void (*)(const wchar_t*, ...)>(module, "TKVTrace");
        auto close = Symbol<void (*)()>(module, "TKVCloseTraceLog");
        auto enable = Symbol<void (*)(bool, int)>(module, "_ZN3TKV13EnableLoggingEbi");
        auto hex = Symbol<void (*)(const wchar_t*, const unsigned char*, unsigned long)>(
            module, "_ZN3TKV6LogHexEPKwPKhm");
        auto enroll = Symbol<void* (*)(unsigned int, void*)>(module, "_ZN3TKV14RegisterThreadEjPv");
        auto convert = Symbol<const wchar_t* (*)(const char*, unsigned int)>(
            module, "_ZN3TKV10StrConvertEPKcj");
        auto createMutex = Symbol<void* (*)(void*, int, const wchar_t*)>(module, "CreateMutexW");
        auto createEvent =
            Symbol<void* (*)(void*, int, int, const wchar_t*)>(module, "CreateEventW");
        wchar_t* text = nullptr;
        ASSERT_EQ(tmp(text, 100), 1u);
        const std::wstring wide(700, L'w');
        ASSERT_NE(format(L"%s%d", wide.c_str(), round), nullptr);
        ASSERT_TRUE(open(log.c_str()));
        enable(true, 0);
        trace(L"round %d", round);
        hex(L"bytes", bytes, sizeof bytes);
        close();
        enroll(77, nullptr);
        ASSERT_NE(convert("caf\xe9", 1252), nullptr);
        ASSERT_NE(createMutex(nullptr, 1, nullptr), nullptr);  // owned by this thread, left open
        ASSERT_NE(createEvent(nullptr, 1, 0, nullptr), nullptr);
        EXPECT_EQ(dlclose(module), 0);
        // Gone for real: nothing (such as a thread-local's destructor) keeps it mapped.
        EXPECT_EQ(dlopen(copy.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr);
    }
#if defined(__SANITIZE_ADDRESS__)
    EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0) << "the unloads left memory behind";
#endif
}
