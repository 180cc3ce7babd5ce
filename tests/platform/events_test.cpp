#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "kernel_probe.h"
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
    std::vector<std::thread> waiters;
    std::atomic<int> released{0};
    for (int i = 0; i < 4; ++i) {
        waiters.emplace_back([&] {
            if (WaitForSingleObject(event, INFINITE) == WAIT_OBJECT_0) {
                ++released;
            }
        });
    }
    AwaitWaiters(event, 4);
    SetEvent(event);
    for (auto& t : waiters) {
        t.join();
    }
    EXPECT_EQ(released, 4);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    CloseHandle(event);
}

TEST(Events, AutoResetReleasesExactlyOneWaiterPerSet) {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::vector<std::thread> waiters;
    for (int i = 0; i < 4; ++i) {
        waiters.emplace_back(
            [&] { EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0); });
    }
    AwaitWaiters(event, 4);
    for (int remaining = 3; remaining >= 0; --remaining) {
        SetEvent(event);
        EXPECT_WAITERS(event, remaining);
    }
    for (auto& t : waiters) {
        t.join();
    }
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);  // consumed by the last waiter
    CloseHandle(event);
}
