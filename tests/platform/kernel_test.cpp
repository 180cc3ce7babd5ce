#include <unistd.h>

#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tkv/winapi.h"

TEST(HandleTable, ClosedGarbageOrWrongKindHandlesFailCleanly) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    EXPECT_TRUE(CloseHandle(event));
    SetLastError(0);
    EXPECT_FALSE(CloseHandle(event));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(CloseHandle(nullptr));
    EXPECT_FALSE(CloseHandle(reinterpret_cast<HANDLE>(0x12345)));
    EXPECT_FALSE(SetEvent(event));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

    HANDLE mutex = CreateMutexW(nullptr, FALSE, nullptr);
    SetLastError(0);
    EXPECT_FALSE(SetEvent(mutex));  // a handle of another kind
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    CloseHandle(mutex);
}

TEST(HandleTable, ClosedValuesAreNotHandedOutAgain) {
    std::set<HANDLE> seen;
    for (int round = 0; round < 4; ++round) {
        std::vector<HANDLE> handles;
        for (int i = 0; i < 100; ++i) {
            HANDLE h = CreateEventW(nullptr, FALSE, FALSE, nullptr);
            ASSERT_NE(h, nullptr);
            EXPECT_TRUE(seen.insert(h).second);
            handles.push_back(h);
        }
        for (HANDLE h : handles) {
            CloseHandle(h);
        }
    }
}

// Names are machine-wide: each test process uses names of its own.
std::wstring UniqueName(const wchar_t* what) {
    return std::wstring(what) + L"-" + std::to_wstring(::getpid());
}

TEST(NamedObjects, SecondCreateOpensTheSameObject) {
    const std::wstring shared = UniqueName(L"tkv-test-shared");
    HANDLE first = CreateEventW(nullptr, TRUE, FALSE, shared.c_str());
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    HANDLE second = CreateEventW(nullptr, FALSE, TRUE, shared.c_str());
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    // The second create's arguments are ignored: still manual reset and not signalled.
    EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_TIMEOUT);
    SetEvent(second);
    EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);

    HANDLE opened = OpenEventW(EVENT_ALL_ACCESS, FALSE, shared.c_str());
    EXPECT_NE(opened, nullptr);
    EXPECT_EQ(CreateMutexW(nullptr, FALSE, shared.c_str()), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(OpenMutexW(MUTEX_ALL_ACCESS, FALSE, shared.c_str()), nullptr);
    CloseHandle(first);
    CloseHandle(second);
    CloseHandle(opened);
}

TEST(NamedObjects, NameIsFreedWithTheLastHandle) {
    const std::wstring gone = UniqueName(L"tkv-test-gone");
    HANDLE mutex = CreateMutexW(nullptr, FALSE, gone.c_str());
    CloseHandle(mutex);
    SetLastError(0);
    EXPECT_EQ(OpenMutexW(SYNCHRONIZE, FALSE, gone.c_str()), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    mutex = CreateMutexW(nullptr, FALSE, gone.c_str());
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    CloseHandle(mutex);
}
