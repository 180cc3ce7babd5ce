#include "tkv/lock.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

namespace TKV {
namespace detail {
struct CLockAccess {
    // The holder's depth; a Lock by another thread takes the lock at once exactly when it is 0.
    static int Count(const CLock& lock) { return static_cast<int>(lock.m_state.load()); }
};
}  // namespace detail
}  // namespace TKV

using TKV::CLock;
using TKV::detail::CLockAccess;

namespace {

// Whether another thread could take the lock right now (without blocking).
bool FreeForOthers(const CLock& lock) {
    bool free = false;
    std::thread other([&] { free = CLockAccess::Count(lock) == 0 && !lock.HaveLock(); });
    other.join();
    return free;
}

}  // namespace

// Only the holder's unlocks count: another thread's is ignored, as is one beyond the locks.
TEST(CLockCounting, TwoLocksNeedTwoUnlocksOfTheHolderAndAThirdChangesNothing) {
    CLock lock;
    lock.Lock();
    lock.Lock();
    lock.Unlock();
    std::thread([&] { lock.Unlock(); }).join();
    EXPECT_TRUE(lock.HaveLock());
    EXPECT_FALSE(FreeForOthers(lock));
    lock.Unlock();
    EXPECT_TRUE(FreeForOthers(lock));
    lock.Unlock();
    EXPECT_TRUE(FreeForOthers(lock));
    lock.Lock();  // still usable after the extra unlock
    EXPECT_FALSE(FreeForOthers(lock));
    lock.Unlock();
}

TEST(CLockOwnership, HaveLockStaysWithTheLastHolderUntilAnotherTakesIt) {
    CLock lock;
    EXPECT_FALSE(lock.HaveLock());
    lock.Lock();
    lock.Unlock();
    EXPECT_TRUE(lock.HaveLock());
    bool otherSees = true;
    std::thread([&] { otherSees = lock.HaveLock(); }).join();
    EXPECT_FALSE(otherSees);

    std::thread([&] {
        lock.Lock();
        lock.Unlock();
    }).join();
    EXPECT_FALSE(lock.HaveLock());
    // The former holder's unlock now belongs to nobody and must not disturb the lock.
    lock.Unlock();
    EXPECT_TRUE(FreeForOthers(lock));
}

TEST(CLockExclusion, SerialisesReentrantThreadsAndWakesABlockedOneOnRelease) {
    CLock lock;
    long counter = 0;
    auto work = [&] {
        for (int i = 0; i < 20000; ++i) {
            lock.Lock();
            lock.Lock();
            ++counter;
            lock.Unlock();
            lock.Unlock();
        }
    };
    std::thread a(work), b(work), c(work);
    a.join();
    b.join();
    c.join();
    EXPECT_EQ(counter, 60000);
    lock.Lock();
    lock.Lock();
    std::atomic<bool> taken{false};
    std::thread waiter([&] {
        lock.Lock();
        taken = true;
        lock.Unlock();
    });
    // Long enough for the waiter to go to sleep rather than spin.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(taken);
    lock.Unlock();
    EXPECT_FALSE(taken);
    lock.Unlock();
    waiter.join();  // hangs if the release does not wake the sleeper
    EXPECT_TRUE(taken);
    EXPECT_FALSE(lock.HaveLock());
}

TEST(CLockCopy, CopyIsAFreeIndependentLockAndALockMayGoWhileHeld) {
    CLock original;
    original.Lock();
    CLock copy(original);
    EXPECT_FALSE(copy.HaveLock());
    EXPECT_TRUE(FreeForOthers(copy));
    EXPECT_FALSE(FreeForOthers(original));
    original.Unlock();
    copy.Lock();
    copy = original;  // assignment keeps the target's own state
    EXPECT_TRUE(copy.HaveLock());
    EXPECT_FALSE(FreeForOthers(copy));
    copy.Unlock();

    auto doomed = std::make_unique<CLock>();
    CLock survivor(*doomed);
    doomed.reset();
    survivor.Lock();
    EXPECT_TRUE(survivor.HaveLock());
    survivor.Unlock();
    auto lock = std::make_unique<CLock>();
    lock->Lock();
    lock.reset();  // releases and frees; the sanitizers check nothing stays held or leaks
}
