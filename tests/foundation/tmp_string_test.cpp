#include <atomic>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/tmp_string.h"
#include "tests/support/threads.h"
#include "tests/support/wide_text.h"
#include "tkv/string_functions.h"
#include "tkv/tmp_string.h"

using TKV::TKVGetTmpString;
using namespace TKV::detail;

namespace {

// Holds each thread until every one has arrived as often as it has.
class Barrier {
  public:
    explicit Barrier(int parties) : parties_(parties) {}
    void Wait(int& arrivals) {
        const int needed = parties_ * ++arrivals;
        arrived_.fetch_add(1);
        while (arrived_.load() < needed)
            std::this_thread::yield();
    }

  private:
    const int parties_;
    std::atomic<int> arrived_{0};
};

}  // namespace

template <typename CharT>
class TmpString : public ::testing::Test {};
TYPED_TEST_SUITE(TmpString, BothWidths);

TYPED_TEST(TmpString, RequestTwoHundredFiftySevenReusesTheFirstStorageAndLimitsAreKept) {
    TypeParam* first = nullptr;
    ASSERT_EQ(TKVGetTmpString(first, 8), 1u);
    first[0] = TypeParam('a');
    std::set<TypeParam*> seen{first};
    for (int i = 1; i < kRingSlots; ++i) {
        TypeParam* s = nullptr;
        ASSERT_EQ(TKVGetTmpString(s, 8), 1u);
        s[0] = TypeParam('b');
        EXPECT_TRUE(seen.insert(s).second) << "request " << i << " reused a live slot";
    }
    EXPECT_EQ(first[0], TypeParam('a'));
    // The other width has a ring of its own: a whole round of it leaves this one alone.
    using Other = std::conditional_t<sizeof(TypeParam) == 1, wchar_t, char>;
    for (int i = 0; i < kRingSlots; ++i) {
        Other* other = nullptr;
        ASSERT_EQ(TKVGetTmpString(other, 4), 1u);
    }
    EXPECT_EQ(first[0], TypeParam('a'));
    TypeParam* again = nullptr;
    ASSERT_EQ(TKVGetTmpString(again, 4), 1u);
    EXPECT_EQ(again, first);
    EXPECT_EQ(first[0], TypeParam(0));
    TypeParam marker[1];
    TypeParam* s = marker;
    EXPECT_EQ(TKVGetTmpString(s, 0), 0u);
    EXPECT_EQ(TKVGetTmpString(s, kMaxTmpChars + 1), 0u);
    EXPECT_EQ(s, marker);
    ASSERT_EQ(TKVGetTmpString(s, kMaxTmpChars), 1u);
    s[kMaxTmpChars - 1] = TypeParam('z');
}

TEST(TmpString, ConcurrentRoundsNeverShareALiveSlot) {
    constexpr int kThreads = 8, kPerThread = kRingSlots / kThreads, kRounds = 40;
    Barrier barrier(kThreads);
    std::vector<std::vector<char*>> taken(kThreads);
    std::atomic<int> failures{0};
    TKV::test::ThreadGroup(kThreads, [&](int t) {
        int arrivals = 0;
        for (int round = 0; round < kRounds; ++round) {
            taken[t].clear();
            // Sizes vary per round, so slots both grow and get reused at a smaller size.
            const unsigned int count = 8 + ((round * 37 + t) % 5) * 100;
            for (int i = 0; i < kPerThread; ++i) {
                char* s = nullptr;
                if (TKVGetTmpString(s, count) != 1 || s[0] != 0) {
                    failures.fetch_add(1);
                    continue;
                }
                std::memset(s, 'a' + t, count - 1);
                s[1] = static_cast<char>(1 + i);  // tells the thread's own requests apart
                s[count - 1] = 0;
                taken[t].push_back(s);
            }
            barrier.Wait(arrivals);
            for (int i = 0; i < static_cast<int>(taken[t].size()); ++i) {
                const char* s = taken[t][i];
                if (s[0] != 'a' + t || s[1] != 1 + i || std::strlen(s) != count - 1)
                    failures.fetch_add(1);
            }
            barrier.Wait(arrivals);
        }
    }).Join();
    EXPECT_EQ(failures.load(), 0);
}

TEST(TmpString, ConversionsAndFormatsFromManyThreads) {
    constexpr int kThreads = 4, kPerRound = 30, kRounds = 20;  // 4 x 2 x 30 < 256 per ring
    Barrier barrier(kThreads);
    std::atomic<int> failures{0};
    TKV::test::ThreadGroup(kThreads, [&](int t) {
        int arrivals = 0;
        for (int round = 0; round < kRounds; ++round) {
            for (int i = 0; i < kPerRound; ++i) {
                const wchar_t* wide = TKV::StrFormat(L"%d:%hs", t * 1000 + i, "caf\xC3\xA9");
                const char* narrow = TKV::StrConvert(wide, round % 2 == 0 ? 1252 : 65001);
                const std::string expected =
                    std::to_string(t * 1000 + i) + (round % 2 == 0 ? ":caf\xE9" : ":caf\xC3\xA9");
                if (narrow == nullptr || expected != narrow)
                    failures.fetch_add(1);
            }
            barrier.Wait(arrivals);
        }
    }).Join();
    EXPECT_EQ(failures.load(), 0);
}
