#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "host.h"
#include "kernel_probe.h"
#include "tkv/winapi.h"

namespace {

// Owns a set of events for one test.
struct Events {
    Events(int count, BOOL manualReset) {
        for (int i = 0; i < count; ++i) {
            handles.push_back(CreateEventW(nullptr, manualReset, FALSE, nullptr));
        }
    }
    ~Events() {
        for (HANDLE h : handles) {
            CloseHandle(h);
        }
    }
    HANDLE operator[](size_t i) const { return handles[i]; }
    std::vector<HANDLE> handles;
};

bool IsSignalled(HANDLE h) {
    return WaitForSingleObject(h, 0) == WAIT_OBJECT_0;
}

}  // namespace

TEST(WaitAny, LowestSignalledIndexWinsAndOnlyItIsTaken) {
    Events e(3, FALSE);
    SetEvent(e[2]);
    SetEvent(e[1]);
    EXPECT_EQ(WaitForMultipleObjects(3, e.handles.data(), FALSE, 0), WAIT_OBJECT_0 + 1);
    EXPECT_FALSE(IsSignalled(e[1]));
    EXPECT_TRUE(IsSignalled(e[2]));
}

TEST(WaitAny, LastOfSixtyFourWakesABlockedWaiter) {
    Events e(MAXIMUM_WAIT_OBJECTS, FALSE);
    DWORD result = 0;
    std::thread waiter([&] {
        result = WaitForMultipleObjects(MAXIMUM_WAIT_OBJECTS, e.handles.data(), FALSE, INFINITE);
    });
    AwaitWaiters(e[63], 1);
    SetEvent(e[63]);
    waiter.join();
    EXPECT_EQ(result, WAIT_OBJECT_0 + 63);
    EXPECT_WAITERS(e[0], 0);  // every registration is withdrawn
}

TEST(WaitAll, TakesNothingUntilEverythingIsAvailable) {
    Events e(2, FALSE);
    SetEvent(e[0]);
    EXPECT_EQ(WaitForMultipleObjects(2, e.handles.data(), TRUE, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForMultipleObjects(2, e.handles.data(), TRUE, 10), WAIT_TIMEOUT);
    EXPECT_WAITERS(e[0], 0);  // a timed-out wait withdraws its registrations
    DWORD result = 0;
    std::thread waiter(
        [&] { result = WaitForMultipleObjects(2, e.handles.data(), TRUE, INFINITE); });
    AwaitWaiters(e[1], 1);
    EXPECT_WAITERS(e[0], 1);  // e[0] was left signalled, not taken
    SetEvent(e[1]);
    waiter.join();
    EXPECT_EQ(result, WAIT_OBJECT_0);
    EXPECT_FALSE(IsSignalled(e[0]));
    EXPECT_FALSE(IsSignalled(e[1]));
}

TEST(WaitAll, OverlappingSetsAcrossTwoThreadsTakeEachSetWhole) {
    Events e(3, FALSE);
    DWORD resultA = 0, resultB = 0;
    std::thread a([&] {
        HANDLE set[] = {e[0], e[1]};
        resultA = WaitForMultipleObjects(2, set, TRUE, INFINITE);
    });
    std::thread b([&] {
        HANDLE set[] = {e[1], e[2]};
        resultB = WaitForMultipleObjects(2, set, TRUE, INFINITE);
    });
    AwaitWaiters(e[1], 2);
    SetEvent(e[1]);  // shared object alone: neither can proceed, neither may take it
    EXPECT_WAITERS(e[1], 2);
    SetEvent(e[0]);
    a.join();
    EXPECT_EQ(resultA, WAIT_OBJECT_0);
    EXPECT_WAITERS(e[1], 1);
    SetEvent(e[2]);
    EXPECT_WAITERS(e[1], 1);  // e[1] went to a
    SetEvent(e[1]);
    b.join();
    EXPECT_EQ(resultB, WAIT_OBJECT_0);
}

TEST(WaitAll, OverlappingSetsNeverDeadlockUnderLoad) {
    Events e(3, FALSE);
    HANDLE done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    constexpr int kRounds = 200;
    auto consumer = [&](HANDLE x, HANDLE y) {
        HANDLE set[] = {x, y};
        for (int i = 0; i < kRounds; ++i) {
            ASSERT_EQ(WaitForMultipleObjects(2, set, TRUE, INFINITE), WAIT_OBJECT_0);
            SetEvent(done);
        }
    };
    std::thread a(consumer, e[0], e[1]);
    std::thread b(consumer, e[1], e[2]);
    for (int i = 0; i < 2 * kRounds; ++i) {
        SetEvent(e[0]);
        SetEvent(e[2]);
        SetEvent(e[1]);  // one shared object per round: exactly one consumer proceeds
        ASSERT_EQ(WaitForSingleObject(done, INFINITE), WAIT_OBJECT_0);
    }
    a.join();
    b.join();
    CloseHandle(done);
}

TEST(WaitFailures, BadArgumentsFailAtOnceWithoutTakingAnything) {
    Events e(MAXIMUM_WAIT_OBJECTS + 1, FALSE);
    SetEvent(e[0]);
    HANDLE closed = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    CloseHandle(closed);
    if (!TKV::test::kClosedHandlesStayInvalid)
        closed = nullptr;
    const HANDLE bad[] = {nullptr, closed, reinterpret_cast<HANDLE>(0x7777)};
    const struct {
        const char* label;
        std::vector<HANDLE> handles;
        DWORD count;
        BOOL all;
        DWORD timeout, error;
    } cases[] = {
        {"no objects", e.handles, 0, FALSE, INFINITE, ERROR_INVALID_PARAMETER},
        {"too many", e.handles, MAXIMUM_WAIT_OBJECTS + 1, TRUE, INFINITE, ERROR_INVALID_PARAMETER},
        {"null handle", {e[0], bad[0]}, 2, FALSE, INFINITE, ERROR_INVALID_HANDLE},
        {"closed handle", {e[0], bad[1]}, 2, FALSE, INFINITE, ERROR_INVALID_HANDLE},
        {"made-up handle", {e[0], bad[2]}, 2, FALSE, INFINITE, ERROR_INVALID_HANDLE},
        {"one object twice, all", {e[0], e[0]}, 2, TRUE, 0, ERROR_INVALID_PARAMETER},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        SetLastError(0);
        EXPECT_EQ(WaitForMultipleObjects(c.count, c.handles.data(), c.all, c.timeout), WAIT_FAILED);
        EXPECT_EQ(GetLastError(), c.error);
    }
    for (HANDLE h : bad) {
        EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_FAILED);
    }
    EXPECT_TRUE(IsSignalled(e[0]));
    SetEvent(e[0]);
    HANDLE twice[] = {e[0], e[0]};  // waiting for any of them is fine
    EXPECT_EQ(WaitForMultipleObjects(2, twice, FALSE, 0), WAIT_OBJECT_0);
}
