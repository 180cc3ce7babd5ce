// Re-entry and exclusion are covered through CLock; these are the section's own promises.
#include "platform/critical_section.h"

#include <thread>

#include <gtest/gtest.h>

using namespace TKV::platform;

TEST(CriticalSection, LeaveByNonHolderIsIgnored) {
    CriticalSection* section = InitializeCriticalSection();
    EnterCriticalSection(section);
    std::thread intruder([&] {
        LeaveCriticalSection(section);
        EXPECT_FALSE(TryEnterCriticalSection(section));
    });
    intruder.join();
    EXPECT_TRUE(CriticalSectionHeldByCaller(section));
    LeaveCriticalSection(section);
    LeaveCriticalSection(section);  // extra leave: harmless
    std::thread other([&] {
        EXPECT_TRUE(TryEnterCriticalSection(section));
        LeaveCriticalSection(section);
    });
    other.join();
    DeleteCriticalSection(section);
}

TEST(CriticalSection, DeleteReleasesTheCallersHold) {
    CriticalSection* section = InitializeCriticalSection();
    EnterCriticalSection(section);
    EnterCriticalSection(section);
    DeleteCriticalSection(section);  // must not trip the sanitizers on a held mutex
}
