// CCOMBinder balances exactly the initialisations that succeeded on its thread.
#include "tkv/com_binder.h"

#include <gtest/gtest.h>

#include <thread>

#include "host.h"

namespace {

using TKV::CCOMBinder;
using TKV::test::ComApartmentCount;

// Each case runs on a fresh thread, so no apartment is left over from another test.
TEST(CCOMBinder, RepeatedInitialisationsAreEachUndone) {
    std::thread([] {
        {
            CCOMBinder first;
            CCOMBinder second;
            EXPECT_EQ(2, ComApartmentCount());
            EXPECT_EQ(S_FALSE, CoInitialize(nullptr)) << "a third in the same model";
            CoUninitialize();
        }
        EXPECT_EQ(0, ComApartmentCount());
    }).join();
}

TEST(CCOMBinder, OtherModelIsRecordedAndNotUndoneAndAssignmentCarriesTheResultOnly) {
    std::thread([] {
        CCOMBinder sta;
        {
            CCOMBinder mta(COINIT_MULTITHREADED);
            EXPECT_EQ(1, ComApartmentCount());
            EXPECT_EQ(RPC_E_CHANGED_MODE, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        }
        EXPECT_EQ(1, ComApartmentCount()) << "the failed binder made no call";
        {
            CCOMBinder failed(COINIT_MULTITHREADED);
            failed = sta;  // now answers for one more uninitialise
            EXPECT_EQ(1, ComApartmentCount()) << "no COM call";
            EXPECT_EQ(S_FALSE, CoInitialize(nullptr));
        }
        EXPECT_EQ(1, ComApartmentCount());
    }).join();
}

}  // namespace
