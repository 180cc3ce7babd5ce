// Address waits: the futex on Linux; elsewhere a small table of mutexes and condition variables
// picked by the word's address.
#include "platform/address_wait.h"

#if defined(__linux__)
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>
#else
#include <condition_variable>
#include <cstdint>
#include <mutex>
#endif

namespace TKV::platform {

static_assert(sizeof(std::atomic<unsigned int>) == sizeof(unsigned int),
              "the kernel waits on the word itself");

#if defined(__linux__)

void WaitOnAddress(std::atomic<unsigned int>& word, unsigned int expected) {
    // EINTR and EAGAIN (the word changed first) are ordinary early returns.
    ::syscall(SYS_futex, reinterpret_cast<unsigned int*>(&word), FUTEX_WAIT_PRIVATE, expected,
              nullptr, nullptr, 0);
}

void WakeByAddressSingle(std::atomic<unsigned int>& word) {
    ::syscall(SYS_futex, reinterpret_cast<unsigned int*>(&word), FUTEX_WAKE_PRIVATE, 1, nullptr,
              nullptr, 0);
}

#else

namespace {

struct Bucket {
    std::mutex lock;
    std::condition_variable changed;
};

Bucket& BucketOf(const void* address) {
    static Bucket buckets[64];
    return buckets[(reinterpret_cast<std::uintptr_t>(address) >> 4) % 64];
}

}  // namespace

void WaitOnAddress(std::atomic<unsigned int>& word, unsigned int expected) {
    Bucket& bucket = BucketOf(&word);
    std::unique_lock<std::mutex> hold(bucket.lock);
    if (word.load() == expected) {
        bucket.changed.wait(hold);
    }
}

void WakeByAddressSingle(std::atomic<unsigned int>& word) {
    Bucket& bucket = BucketOf(&word);
    std::lock_guard<std::mutex> hold(bucket.lock);
    bucket.changed.notify_all();  // the bucket is shared: the right waiter may not be first
}

#endif

}  // namespace TKV::platform
