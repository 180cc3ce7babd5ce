// Counts for the network stress and fault tests: smaller under the sanitizers, whose builds
// run many times slower, so that every test stays well within its time.
#ifndef TKV_TESTS_NET_NET_TEST_SCALE_H
#define TKV_TESTS_NET_NET_TEST_SCALE_H

namespace TKV::test {

#if defined(TKV_TEST_SANITIZED)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

constexpr int Scaled(int normal, int sanitized) {
    return kSanitized ? sanitized : normal;
}

}  // namespace TKV::test

#endif  // TKV_TESTS_NET_NET_TEST_SCALE_H
