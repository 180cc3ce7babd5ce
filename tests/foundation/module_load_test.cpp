// The library as a plug-in's dependency: loaded and unloaded at run time.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "host.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

// Every round the plug-in uses the library's process-wide state (ring slots, the trace file, the
// hex line and its lock, the thread registry, kernel objects and a mutex owned by this thread,
// a code page through iconv, long wide formatting, XML documents with long texts); unloading the
// plug-in must unload the library too, leaving nothing that keeps it mapped, nothing allocated.
TEST(ModuleLoad, LoadsAtRunTimeAndUnloadsForReal) {
    const std::wstring log =
        std::filesystem::path(testing::TempDir() + "module_load.log").wstring();
    for (int round = 0; round < 4; ++round) {
        void* plugin = TKV::test::LoadModule(TKV_PLUGIN_FILE);
        ASSERT_NE(plugin, nullptr);
        auto exercise = reinterpret_cast<int (*)(const wchar_t*, int)>(
            TKV::test::ModuleSymbol(plugin, "ExerciseLibrary"));
        ASSERT_NE(exercise, nullptr);
        EXPECT_EQ(exercise(log.c_str(), round), 0);
        EXPECT_TRUE(TKV::test::UnloadModule(plugin));
        // Gone for real: nothing (such as a thread-local's destructor) keeps it mapped.
        EXPECT_FALSE(TKV::test::IsModuleLoaded(TKV_LIBRARY_FILE)) << "round " << round;
    }
#if defined(__SANITIZE_ADDRESS__)
    EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0) << "the unloads left memory behind";
#endif
}
