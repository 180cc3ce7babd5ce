#include <gtest/gtest.h>

#include <thread>

#include "tkv/pv_sync.h"
#include "tkv/winapi.h"

using namespace TKV;

namespace {

constexpr unsigned int kBad = 0xFFFFFFFFu;
constexpr unsigned int kTimeout = 0xFFFFFFFEu;

}  // namespace

TEST(PVSync, SlotsKindsAndWaitsForTheLowestFiredIdOrASentinel) {
    CPVSync table;
    EXPECT_NE(table.CreateEventW(0, 5, nullptr, true), nullptr);
    EXPECT_EQ(table.CreateEventW(0, 5, nullptr, true), nullptr);
    EXPECT_EQ(table.CreateMutexW(0, 5, nullptr), nullptr);
    EXPECT_EQ(table.CreateEventW(0, 16, nullptr, true), nullptr);
    EXPECT_EQ(table.SetHandle(table[5], 16, SyncEvent), 0);
    EXPECT_EQ(table.GetHandle(16), nullptr);
    EXPECT_TRUE(table.ValidateHandles());
    EXPECT_EQ(table.GetID(table[5]), 5u);
    EXPECT_EQ(table.GetID(reinterpret_cast<void*>(0x1234)), kBad);

    EXPECT_TRUE(table.Close(5));
    EXPECT_FALSE(table.Close(5));
    EXPECT_NE(table.CreateEventW(0, 5, nullptr, false), nullptr);
    // Operations check the kind: an event is neither acquired nor released, a mutex not signalled.
    table.CreateMutexW(0, 1, nullptr);
    EXPECT_FALSE(table.Signal(1));
    EXPECT_EQ(table.Acquire(5, -1), 0);  // an event: no wait at all
    EXPECT_EQ(table.Release(5), 0);
    EXPECT_EQ(table.Acquire(1, 0), 1);
    EXPECT_EQ(table.Release(1), 1);
    EXPECT_EQ(table.Release(1), 0);  // no longer owned
    EXPECT_FALSE(table.Clear(3));
    EXPECT_TRUE(table.Clear(1));
    EXPECT_TRUE(table.Signal(5));
    EXPECT_TRUE(table.IsSignalled(5));
    EXPECT_FALSE(table.IsSignalled(5));  // the auto-reset event reset itself
    EXPECT_FALSE(table.IsSignalled(9));

    // Replacing with null keeps the count: the table then reports the mismatch.
    EXPECT_EQ(table.SetHandle(nullptr, 5, SyncEvent), 1);
    EXPECT_FALSE(table.ValidateHandles());
    table.CloseAll();
    EXPECT_TRUE(table.ValidateHandles());
    EXPECT_EQ(table.GetID(nullptr), 0u);
    table.CreateEventW(0, 2, nullptr, true);
    table.CreateEventW(0, 7, nullptr, true);
    EXPECT_EQ(table.Wait(0, 0), kBad);
    EXPECT_EQ(table.Wait(1u << 3, -1), kBad);  // an empty slot: no wait
    EXPECT_EQ(table.Wait((1u << 2) | (1u << 7) | (1u << 3), -1), kBad);
    EXPECT_EQ(table.Wait((1u << 2) | (1u << 7), 10), kTimeout);
    table.Signal(7);
    table.Signal(2);
    EXPECT_EQ(table.Wait((1u << 2) | (1u << 7) | 0xFFFF0000u, 0), 2u);
    table.Clear(2);
    EXPECT_EQ(table.Wait((1u << 2) | (1u << 7), 0), 7u);
    table.Clear(7);

    // An infinite time-out (-1) really waits until another thread signals.
    std::thread signaller([&] {
        Sleep(20);
        table.Signal(7);
    });
    EXPECT_EQ(table.Wait(1u << 7, -1), 7u);
    signaller.join();
    table.CloseAll();
    table.CreateMutexW(0, 0, nullptr);
    table.CreateMutexW(0, 1, nullptr);
    std::thread owner([&] {
        table.Acquire(0, 0);
        table.Acquire(1, 0);
    });
    owner.join();
    EXPECT_EQ(table.Wait(1u << 0, 100), kBad);
    EXPECT_EQ(table.Acquire(1, 100), 1);
    EXPECT_TRUE(table.Close(1));  // released, then closed
    table.CloseAll();
}
