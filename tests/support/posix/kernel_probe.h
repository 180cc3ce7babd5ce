// Looks into the kernel's waiter lists, so tests can act once a thread is really blocked.
#ifndef TKV_TESTS_SUPPORT_KERNEL_PROBE_H
#define TKV_TESTS_SUPPORT_KERNEL_PROBE_H

#include "platform/posix/kernel.h"

inline int WaitersOn(HANDLE handle) {
    using namespace TKV::platform::detail;
    Kernel& kernel = TheKernel();
    std::lock_guard<std::mutex> hold(kernel.lock);
    KernelObject* object = LookupHandle(kernel, handle);
    int count = 0;
    for (WaitBlock* b = object != nullptr ? object->firstWaiter : nullptr; b; b = b->next) {
        ++count;
    }
    return count;
}

// Returns once `count` waits are registered on the handle's object.
inline void AwaitWaiters(HANDLE handle, int count) {
    while (WaitersOn(handle) != count) {
        Sleep(1);
    }
}

#define EXPECT_WAITERS(handle, count) EXPECT_EQ(WaitersOn(handle), count)

#endif  // TKV_TESTS_SUPPORT_KERNEL_PROBE_H
