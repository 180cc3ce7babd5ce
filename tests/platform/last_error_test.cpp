#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "tkv/winapi.h"

TEST(LastError, IsKeptPerThread) {
    DWORD seenByOther = 1;
    std::atomic<int> step{0};
    std::thread other([&] {
        while (step != 1)
            std::this_thread::yield();
        seenByOther = GetLastError();
        SetLastError(ERROR_INVALID_HANDLE);
        step = 2;
    });
    // Set and read between the thread's start and its join: on Windows both set the last error.
    SetLastError(ERROR_ACCESS_DENIED);
    step = 1;
    while (step != 2)
        std::this_thread::yield();
    const DWORD seenHere = GetLastError();
    other.join();
    EXPECT_EQ(seenByOther, ERROR_SUCCESS);
    EXPECT_EQ(seenHere, ERROR_ACCESS_DENIED);
}
