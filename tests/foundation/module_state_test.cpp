// The process's exit while agent threads are inside library calls (what an unload frees, the
// plug-in load test checks).
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#include "tkv/diagnostics.h"
#include "tkv/memory.h"
#include "tkv/string_functions.h"

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
