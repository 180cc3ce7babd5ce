#include <thread>

#include <gtest/gtest.h>

#include "kernel_probe.h"
#include "tkv/winapi.h"

namespace {

template <typename F>
void OnOtherThread(F f) {
    std::thread t(f);
    t.join();
}

}  // namespace

TEST(Mutexes, RecursiveForTheOwnerAndReleasedOnlyByIt) {
    HANDLE mutex = CreateMutexW(nullptr, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
    OnOtherThread([&] {
        EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_TIMEOUT);
        EXPECT_FALSE(ReleaseMutex(mutex));
        EXPECT_EQ(GetLastError(), ERROR_NOT_OWNER);
    });
    EXPECT_TRUE(ReleaseMutex(mutex));
    OnOtherThread([&] { EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_TIMEOUT); });
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_FALSE(ReleaseMutex(mutex));
    EXPECT_EQ(GetLastError(), ERROR_NOT_OWNER);
    OnOtherThread([&] {
        EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
        EXPECT_TRUE(ReleaseMutex(mutex));
    });
    CloseHandle(mutex);
}

TEST(Mutexes, OwnerEndingHandsItOnAsAbandonedOnce) {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, nullptr);
    OnOtherThread([&] { EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0); });
    HANDLE unset = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE both[] = {unset, mutex};
    EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 0), WAIT_ABANDONED_0 + 1);
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);  // now owned normally
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_TRUE(ReleaseMutex(mutex));
    CloseHandle(unset);
    CloseHandle(mutex);
}

TEST(Mutexes, BlockedWaiterLearnsOfAbandonment) {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, nullptr);
    HANDLE finish = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread owner([&] {
        WaitForSingleObject(mutex, INFINITE);
        WaitForSingleObject(finish, INFINITE);
    });
    AwaitWaiters(finish, 1);
    DWORD result = 0;
    std::thread waiter([&] {
        result = WaitForSingleObject(mutex, INFINITE);
        ReleaseMutex(mutex);
    });
    AwaitWaiters(mutex, 1);
    SetEvent(finish);
    owner.join();
    waiter.join();
    EXPECT_EQ(result, WAIT_ABANDONED_0);
    CloseHandle(finish);
    CloseHandle(mutex);
}
