#include "platform/critical_section.h"

#include <memory>
#include <thread>

#include <gtest/gtest.h>

using namespace TKV::detail;

namespace {

bool OtherThreadCanEnter(CriticalSection* section) {
    bool entered = false;
    std::thread other([&] {
        entered = TryEnterCriticalSection(section);
        if (entered) {
            LeaveCriticalSection(section);
        }
    });
    other.join();
    return entered;
}

struct SectionDeleter {
    void operator()(CriticalSection* s) const { DeleteCriticalSection(s); }
};
using SectionPtr = std::unique_ptr<CriticalSection, SectionDeleter>;

}  // namespace

TEST(CriticalSection, IsReentrantAndFreedByMatchingLeaves) {
    SectionPtr section(InitializeCriticalSection());
    EnterCriticalSection(section.get());
    EXPECT_TRUE(TryEnterCriticalSection(section.get()));
    LeaveCriticalSection(section.get());
    EXPECT_TRUE(CriticalSectionHeldByCaller(section.get()));
    EXPECT_FALSE(OtherThreadCanEnter(section.get()));
    LeaveCriticalSection(section.get());
    EXPECT_FALSE(CriticalSectionHeldByCaller(section.get()));
    EXPECT_TRUE(OtherThreadCanEnter(section.get()));
}

TEST(CriticalSection, LeaveByNonHolderIsIgnored) {
    SectionPtr section(InitializeCriticalSection());
    EnterCriticalSection(section.get());
    std::thread intruder([&] {
        LeaveCriticalSection(section.get());
        EXPECT_FALSE(CriticalSectionHeldByCaller(section.get()));
    });
    intruder.join();
    EXPECT_TRUE(CriticalSectionHeldByCaller(section.get()));
    EXPECT_FALSE(OtherThreadCanEnter(section.get()));
    LeaveCriticalSection(section.get());
    LeaveCriticalSection(section.get());  // extra leave: harmless
    EXPECT_TRUE(OtherThreadCanEnter(section.get()));
}

TEST(CriticalSection, DeleteReleasesTheCallersHold) {
    CriticalSection* section = InitializeCriticalSection();
    EnterCriticalSection(section);
    EnterCriticalSection(section);
    DeleteCriticalSection(section);  // must not trip the sanitizers on a held mutex
}

TEST(CriticalSection, ExcludesOtherThreads) {
    SectionPtr section(InitializeCriticalSection());
    long counter = 0;
    auto work = [&] {
        for (int i = 0; i < 20000; ++i) {
            SectionGuard outer(section.get());
            SectionGuard inner(section.get());
            ++counter;
        }
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
    EXPECT_EQ(counter, 40000);
}
