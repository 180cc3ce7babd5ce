// Waits on one or many kernel objects.
#include <chrono>

#include "platform/posix/kernel.h"

namespace TKV::platform::detail {
namespace {

void Link(WaitBlock* block) {
    KernelObject* object = block->object;
    block->prev = object->lastWaiter;
    block->next = nullptr;
    if (object->lastWaiter != nullptr) {
        object->lastWaiter->next = block;
    } else {
        object->firstWaiter = block;
    }
    object->lastWaiter = block;
}

void Unlink(WaitBlock* block) {
    KernelObject* object = block->object;
    (block->prev != nullptr ? block->prev->next : object->firstWaiter) = block->next;
    (block->next != nullptr ? block->next->prev : object->lastWaiter) = block->prev;
    block->prev = block->next = nullptr;
}

// Takes what the waiter asked for if it can have it now: for wait-any the lowest available
// index, for wait-all every object or none.
bool TrySatisfy(Waiter& w) {
    if (w.waitAll) {
        for (DWORD i = 0; i < w.count; ++i) {
            if (!w.objects[i]->Available(w.threadId)) {
                return false;
            }
        }
        DWORD abandonedIndex = w.count;
        for (DWORD i = 0; i < w.count; ++i) {
            if (w.objects[i]->Acquire(w.threadId) && abandonedIndex == w.count) {
                abandonedIndex = i;
            }
            w.acquiredMutex |= w.objects[i]->kind == ObjectKind::Mutex;
        }
        w.result = abandonedIndex < w.count ? WAIT_ABANDONED_0 + abandonedIndex : WAIT_OBJECT_0;
        return true;
    }
    for (DWORD i = 0; i < w.count; ++i) {
        if (w.objects[i]->Available(w.threadId)) {
            const bool abandoned = w.objects[i]->Acquire(w.threadId);
            w.acquiredMutex = w.objects[i]->kind == ObjectKind::Mutex;
            w.result = (abandoned ? WAIT_ABANDONED_0 : WAIT_OBJECT_0) + i;
            return true;
        }
    }
    return false;
}

void Fail(DWORD error) {
    SetLastError(error);
}

}  // namespace

void SignalObject(KernelObject* object) {
    WaitBlock* block = object->firstWaiter;
    while (block != nullptr) {
        Waiter& w = *block->waiter;
        if (!object->Available(w.threadId) || !TrySatisfy(w)) {
            block = block->next;
            continue;
        }
        for (DWORD i = 0; i < w.count; ++i) {
            Unlink(&w.blocks[i]);
        }
        w.done = true;
        // Notified under the lock: the waiter's stack frame stays until it has seen `done`.
        w.wake.notify_one();
        // The satisfied waiter's blocks are gone from the list (a wait-any may list one object
        // twice), so continue from the start; waiters before this one could not proceed.
        block = object->firstWaiter;
    }
}

}  // namespace TKV::platform::detail

extern "C" {

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds) {
    using namespace TKV::platform::detail;
    if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || handles == nullptr) {
        Fail(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    Waiter w;
    w.threadId = GetCurrentThreadId();
    w.waitAll = waitAll != FALSE;
    w.count = count;

    Kernel& kernel = TheKernel();
    std::unique_lock<std::mutex> hold(kernel.lock);
    for (DWORD i = 0; i < count; ++i) {
        w.objects[i] = LookupHandle(kernel, handles[i]);
        if (w.objects[i] == nullptr) {
            hold.unlock();
            Fail(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        // Waiting for all of one object twice could never be satisfied one way or the other.
        for (DWORD j = 0; w.waitAll && j < i; ++j) {
            if (w.objects[j] == w.objects[i]) {
                hold.unlock();
                Fail(ERROR_INVALID_PARAMETER);
                return WAIT_FAILED;
            }
        }
    }

    bool satisfied = TrySatisfy(w);
    if (!satisfied && milliseconds != 0) {
        // The wait keeps its objects alive even if their handles are closed meanwhile.
        for (DWORD i = 0; i < count; ++i) {
            ++w.objects[i]->refs;
            w.blocks[i].waiter = &w;
            w.blocks[i].object = w.objects[i];
            Link(&w.blocks[i]);
        }
        if (milliseconds == INFINITE) {
            w.wake.wait(hold, [&] { return w.done; });
        } else {
            const auto deadline =
                std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
            w.wake.wait_until(hold, deadline, [&] { return w.done; });
        }
        satisfied = w.done;
        for (DWORD i = 0; i < count; ++i) {
            if (!satisfied) {
                Unlink(&w.blocks[i]);
            }
            ReleaseObject(kernel, w.objects[i]);
        }
    }
    hold.unlock();
    if (!satisfied) {
        return WAIT_TIMEOUT;
    }
    if (w.acquiredMutex) {
        WatchMutexOwnership();
    }
    return w.result;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    return WaitForMultipleObjects(1, &handle, FALSE, milliseconds);
}

}  // extern "C"
