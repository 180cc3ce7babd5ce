#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "kernel_probe.h"
#include "tests/support/threads.h"
#include "tkv/winapi.h"

TEST(Events, InitialStateSetAndReset) {
    HANDLE event = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ResetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(event, 5), WAIT_TIMEOUT);
    CloseHandle(event);
}

TEST(Events, ManualResetReleasesEveryWaiter) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<int> released{0};
    TKV::test::ThreadGroup waiters(4, [&](int) {
        if (WaitForSingleObject(event, INFINITE) == WAIT_OBJECT_0) {
            ++released;
        }
    });
    AwaitWaiters(event, 4);
    SetEvent(event);
    waiters.Join();
    EXPECT_EQ(released, 4);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    CloseHandle(event);
}

TEST(Events, AutoResetReleasesExactlyOneWaiterPerSet) {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    TKV::test::ThreadGroup waiters(
        4, [&](int) { EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0); });
    AwaitWaiters(event, 4);
    for (int remaining = 3; remaining >= 0; --remaining) {
        SetEvent(event);
        EXPECT_WAITERS(event, remaining);
    }
    waiters.Join();
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);  // consumed by the last waiter
    CloseHandle(event);
}
