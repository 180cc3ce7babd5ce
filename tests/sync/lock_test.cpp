#include "tkv/lock.h"

#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "platform/critical_section.h"

namespace TKV {
namespace detail {
struct CLockAccess {
    static int Count(const CLock& lock) { return lock.m_count.load(); }
    static CriticalSection* Section(const CLock& lock) { return lock.m_section; }
};
}  // namespace detail
}  // namespace TKV

using TKV::CLock;
using TKV::detail::CLockAccess;

namespace {

// Whether another thread could take the lock's section right now (without blocking).
bool FreeForOthers(const CLock& lock) {
    bool entered = false;
    std::thread other([&] {
        TKV::detail::CriticalSection* section = CLockAccess::Section(lock);
        entered = TKV::detail::TryEnterCriticalSection(section);
        if (entered) {
            TKV::detail::LeaveCriticalSection(section);
        }
    });
    other.join();
    return entered;
}

template <typename F>
void OnOtherThread(F f) {
    std::thread t(f);
    t.join();
}

}  // namespace

TEST(CLockCounting, TwoLocksNeedTwoUnlocksAndAThirdChangesNothing) {
    CLock lock;
    lock.Lock();
    lock.Lock();
    EXPECT_EQ(CLockAccess::Count(lock), 2);
    lock.Unlock();
    EXPECT_FALSE(FreeForOthers(lock));
    lock.Unlock();
    EXPECT_EQ(CLockAccess::Count(lock), 0);
    EXPECT_TRUE(FreeForOthers(lock));
    lock.Unlock();
    EXPECT_EQ(CLockAccess::Count(lock), 0);
    EXPECT_TRUE(FreeForOthers(lock));
    lock.Lock();  // still usable after the extra unlock
    EXPECT_EQ(CLockAccess::Count(lock), 1);
    lock.Unlock();
}

TEST(CLockOwnership, UnlockByAnotherThreadIsIgnored) {
    CLock lock;
    lock.Lock();
    OnOtherThread([&] { lock.Unlock(); });
    EXPECT_EQ(CLockAccess::Count(lock), 1);
    EXPECT_TRUE(lock.HaveLock());
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
    OnOtherThread([&] { otherSees = lock.HaveLock(); });
    EXPECT_FALSE(otherSees);

    OnOtherThread([&] {
        lock.Lock();
        lock.Unlock();
    });
    EXPECT_FALSE(lock.HaveLock());
    // The former holder's unlock now belongs to nobody and must not disturb the lock.
    lock.Unlock();
    EXPECT_EQ(CLockAccess::Count(lock), 0);
    EXPECT_TRUE(FreeForOthers(lock));
}

TEST(CLockExclusion, SerialisesThreadsThatLockReentrantly) {
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
}

TEST(CLockCopy, CopyIsAFreeIndependentLock) {
    CLock original;
    original.Lock();
    CLock copy(original);
    EXPECT_EQ(CLockAccess::Count(copy), 0);
    EXPECT_FALSE(copy.HaveLock());
    EXPECT_NE(CLockAccess::Section(copy), CLockAccess::Section(original));
    EXPECT_TRUE(FreeForOthers(copy));
    EXPECT_FALSE(FreeForOthers(original));
    original.Unlock();

    auto doomed = std::make_unique<CLock>();
    CLock survivor(*doomed);
    doomed.reset();  // deletes only its own section
    survivor.Lock();
    EXPECT_TRUE(survivor.HaveLock());
    survivor.Unlock();
}

TEST(CLockCopy, AssignmentKeepsTheTargetsState) {
    CLock source, target;
    target.Lock();
    TKV::detail::CriticalSection* section = CLockAccess::Section(target);
    target = source;
    EXPECT_EQ(CLockAccess::Section(target), section);
    EXPECT_EQ(CLockAccess::Count(target), 1);
    EXPECT_TRUE(target.HaveLock());
    target.Unlock();
}

TEST(CLockLifetime, DestroyedWhileHeldByItsHolder) {
    auto lock = std::make_unique<CLock>();
    lock->Lock();
    lock.reset();  // releases and frees; the sanitizers check nothing stays held or leaks
}
