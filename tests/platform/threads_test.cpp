#include <atomic>
#include <set>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "kernel_probe.h"
#include "tkv/winapi.h"

namespace {

struct Start {
    std::atomic<bool> ran{false};
    DWORD seenId = 0;
    HANDLE gate = nullptr;  // waited for before returning, when set
};

DWORD WINAPI Entry(LPVOID arg) {
    auto* start = static_cast<Start*>(arg);
    start->seenId = GetCurrentThreadId();
    start->ran = true;
    if (start->gate != nullptr) {
        WaitForSingleObject(start->gate, INFINITE);
    }
    return 42;
}

}  // namespace

TEST(Threads, SuspendedThreadRunsAfterResumeAndLeavesItsExitCode) {
    Start start;
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, Entry, &start, CREATE_SUSPENDED, &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_NE(id, 0u);
    EXPECT_EQ(GetThreadId(thread), id);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_TIMEOUT);
    EXPECT_FALSE(start.ran);

    EXPECT_EQ(ResumeThread(thread), 1u);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(start.ran);
    EXPECT_EQ(start.seenId, id);
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 42u);
    EXPECT_EQ(ResumeThread(thread), 0u);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);  // stays signalled
    CloseHandle(thread);
}

TEST(Threads, IdsAreUniqueAndNonZero) {
    std::vector<Start> starts(40);
    std::vector<HANDLE> threads;
    for (Start& s : starts) {
        threads.push_back(CreateThread(nullptr, 64 * 1024, Entry, &s, 0, nullptr));
    }
    std::set<DWORD> ids{GetCurrentThreadId()};
    for (size_t i = 0; i < threads.size(); ++i) {
        ASSERT_EQ(WaitForSingleObject(threads[i], INFINITE), WAIT_OBJECT_0);
        EXPECT_NE(starts[i].seenId, 0u);
        ids.insert(starts[i].seenId);
        CloseHandle(threads[i]);
    }
    EXPECT_EQ(ids.size(), starts.size() + 1);
}

TEST(Threads, ClosingTheHandleWhileAnotherThreadWaitsKeepsTheWait) {
    Start start;
    start.gate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, Entry, &start, 0, nullptr);
    DWORD result = 0;
    std::thread waiter([&] { result = WaitForSingleObject(thread, INFINITE); });
    AwaitWaiters(thread, 1);
    EXPECT_TRUE(CloseHandle(thread));
    SetEvent(start.gate);
    waiter.join();
    EXPECT_EQ(result, WAIT_OBJECT_0);
    CloseHandle(start.gate);
}
