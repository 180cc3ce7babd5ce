#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#include "foundation/module_state.h"
#include "foundation/tmp_string.h"
#include "platform/unload.h"
#include "tkv/diagnostics.h"
#include "tkv/memory.h"
#include "tkv/string_functions.h"

using namespace TKV::detail;

namespace {
// The actions also run at the real unload of the test program, any number of times.
int g_order[2];
int g_calls;
void Record(int which) {
    if (g_calls < 2)
        g_order[g_calls] = which;
    ++g_calls;
}
void First() {
    Record(1);
}
void Second() {
    Record(2);
}
}  // namespace

TEST(ModuleState, UnloadFreesEverySlotAndRunsUnloadActionsInOrder) {
    char* narrow = nullptr;
    wchar_t* wide = nullptr;
    ASSERT_EQ(TKV::TKVGetTmpString(narrow, 64), 1u);
    ASSERT_EQ(TKV::TKVGetTmpString(wide, 64), 1u);
    ASSERT_TRUE(TKV::platform::RegisterUnloadAction(&First));
    ASSERT_TRUE(TKV::platform::RegisterUnloadAction(&Second));
    EXPECT_EQ(ModuleEntry(DLL_THREAD_ATTACH, false), TRUE);
    EXPECT_EQ(g_calls, 0);
    EXPECT_EQ(ModuleEntry(DLL_PROCESS_DETACH, true), TRUE);  // exit: nothing freed
    EXPECT_EQ(g_calls, 0);
    EXPECT_NE(TmpSlotCapacity(g_narrowRing, 0) + TmpSlotCapacity(g_narrowRing, 255), 0u);
    EXPECT_EQ(ModuleEntry(DLL_PROCESS_DETACH, false), TRUE);
    TKV::platform::RunUnloadActions();  // what the platform does after the hook on an unload
    EXPECT_EQ(g_calls, 2);
    EXPECT_EQ(g_order[0], 1);
    EXPECT_EQ(g_order[1], 2);
    for (int i = 0; i < kRingSlots; ++i) {
        ASSERT_EQ(TmpSlotCapacity(g_narrowRing, i), 0u);
        ASSERT_EQ(TmpSlotCapacity(g_wideRing, i), 0u);
    }
}

// At exit nothing a running thread may use is freed or destroyed: the threads below keep
// tracing, dumping and formatting while main returns through exit.
TEST(ModuleLoadDeathTest, ExitWhileThreadsRunInTheLibraryEndsCleanly) {
    const std::wstring log = std::filesystem::path(testing::TempDir() + "exit_race.log").wstring();
    for (int round = 0; round < 4; ++round) {
        EXPECT_EXIT(
            {
                TKVOpenTraceLog(log.c_str());
                TKV::EnableLogging(true, 0);
                std::atomic<int> started{0};
                for (int i = 0; i < 4; ++i) {
                    std::thread([&started] {
                        const unsigned char bytes[64] = {};
                        started.fetch_add(1);
                        for (;;) {
                            TKVTrace(L"busy %d", 1);
                            TKV::LogHex(L"dump", bytes, sizeof bytes);
                            TKV::StrFormat("%d", 2);
                        }
                    }).detach();
                }
                while (started.load() < 4)
                    std::this_thread::yield();
                std::exit(0);
            },
            testing::ExitedWithCode(0), "");
    }
}
