// Threads: a detached POSIX thread per CreateThread, held at its start until resumed, whose
// object becomes signalled (and keeps its exit code) when the entry function returns.
#include <pthread.h>

#include <chrono>
#include <climits>
#include <new>
#include <thread>

#include "platform/posix/current_thread.h"
#include "platform/posix/kernel.h"

namespace TKV::platform::detail {
namespace {

class ThreadObject : public KernelObject {
  public:
    ThreadObject(LPTHREAD_START_ROUTINE start, LPVOID parameter, bool suspended)
        : KernelObject(ObjectKind::Thread),
          id(NewThreadId()),
          start(start),
          parameter(parameter),
          suspendCount(suspended ? 1 : 0) {}

    bool Available(DWORD) const override { return exited; }
    bool Acquire(DWORD) override { return false; }

    const DWORD id;
    const LPTHREAD_START_ROUTINE start;
    const LPVOID parameter;
    // Guarded by Kernel::lock.
    DWORD suspendCount;
    bool exited = false;
    DWORD exitCode = STILL_ACTIVE;
    std::condition_variable resumed;
};

void* RunThread(void* arg) {
    auto* thread = static_cast<ThreadObject*>(arg);
    AdoptThreadId(thread->id);
    Kernel& kernel = TheKernel();
    {
        std::unique_lock<std::mutex> hold(kernel.lock);
        thread->resumed.wait(hold, [&] { return thread->suspendCount == 0; });
    }
    const DWORD exitCode = thread->start(thread->parameter);
    // Mutexes are abandoned before the thread counts as ended, so whoever waited for the
    // thread finds them already handed on.
    AbandonCallersMutexes();
    std::lock_guard<std::mutex> hold(kernel.lock);
    thread->exitCode = exitCode;
    thread->exited = true;
    SignalObject(thread);
    ReleaseObject(kernel, thread);  // the running thread's own reference
    return nullptr;
}

ThreadObject* LookupThread(Kernel& kernel, HANDLE handle) {
    return static_cast<ThreadObject*>(LookupKind(kernel, handle, ObjectKind::Thread));
}

}  // namespace
}  // namespace TKV::platform::detail

extern "C" {

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD creationFlags, DWORD* threadId) {
    using namespace TKV::platform::detail;
    if (start == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    const SIZE_T minimumStack = PTHREAD_STACK_MIN;
    if (stackSize != 0) {
        pthread_attr_setstacksize(&attributes, stackSize < minimumStack ? minimumStack : stackSize);
    }

    Kernel& kernel = TheKernel();
    std::unique_lock<std::mutex> hold(kernel.lock);
    auto* thread =
        new (std::nothrow) ThreadObject(start, parameter, (creationFlags & CREATE_SUSPENDED) != 0);
    HANDLE handle = thread != nullptr ? NewHandle(kernel, thread) : nullptr;
    if (handle == nullptr) {
        delete thread;
        pthread_attr_destroy(&attributes);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    ++thread->refs;  // the running thread's own reference
    pthread_t native;
    const int error = pthread_create(&native, &attributes, RunThread, thread);
    pthread_attr_destroy(&attributes);
    if (error != 0) {
        --thread->refs;
        hold.unlock();
        CloseHandle(handle);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (threadId != nullptr) {
        *threadId = thread->id;
    }
    return handle;
}

DWORD ResumeThread(HANDLE handle) {
    using namespace TKV::platform::detail;
    Kernel& kernel = TheKernel();
    std::lock_guard<std::mutex> hold(kernel.lock);
    ThreadObject* thread = LookupThread(kernel, handle);
    if (thread == nullptr) {
        return static_cast<DWORD>(-1);
    }
    const DWORD previous = thread->suspendCount;
    if (previous > 0 && --thread->suspendCount == 0) {
        thread->resumed.notify_one();
    }
    return previous;
}

BOOL GetExitCodeThread(HANDLE handle, DWORD* exitCode) {
    using namespace TKV::platform::detail;
    Kernel& kernel = TheKernel();
    std::lock_guard<std::mutex> hold(kernel.lock);
    ThreadObject* thread = LookupThread(kernel, handle);
    if (thread == nullptr) {
        return FALSE;
    }
    if (exitCode == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *exitCode = thread->exitCode;
    return TRUE;
}

DWORD GetThreadId(HANDLE handle) {
    using namespace TKV::platform::detail;
    Kernel& kernel = TheKernel();
    std::lock_guard<std::mutex> hold(kernel.lock);
    ThreadObject* thread = LookupThread(kernel, handle);
    return thread != nullptr ? thread->id : 0;
}

void Sleep(DWORD milliseconds) {
    if (milliseconds == 0) {
        std::this_thread::yield();
    } else if (milliseconds == INFINITE) {
        for (;;) {
            std::this_thread::sleep_for(std::chrono::hours(24));
        }
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
}

}  // extern "C"
