// Waits on one or many kernel objects.
#include <algorithm>
#include <chrono>

#include "platform/posix/kernel.h"
#include "platform/posix/shared_objects.h"

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

// The named objects of a wait, each once, in the one order every process locks them in.
DWORD SharedOf(const Waiter& w, SharedObject** shared) {
    DWORD n = 0;
    for (DWORD i = 0; i < w.count; ++i) {
        if (SharedObject* s = w.objects[i]->AsShared()) {
            if (std::find(shared, shared + n, s) == shared + n) {
                shared[n++] = s;
            }
        }
    }
    std::sort(shared, shared + n,
              [](SharedObject* a, SharedObject* b) { return a->Path() < b->Path(); });
    return n;
}

// Whether object i could be taken now (a named mutex is tried by taking it, see TakeMixed).
bool MixedAvailable(Waiter& w, DWORD i) {
    SharedObject* s = w.objects[i]->AsShared();
    if (s == nullptr) {
        return w.objects[i]->Available(w.threadId);
    }
    return s->kind != ObjectKind::Event || s->EventSignalled();
}

// TrySatisfy for a wait that involves named objects: under Kernel::lock and the state locks
// of its named objects, so a wait-all still takes everything in one step or nothing.
bool TakeMixed(Waiter& w) {
    SharedObject* shared[MAXIMUM_WAIT_OBJECTS];
    const DWORD sharedCount = SharedOf(w, shared);
    for (DWORD k = 0; k < sharedCount; ++k) {
        shared[k]->Lock();
    }
    bool taken = false;
    if (!w.waitAll) {
        for (DWORD i = 0; i < w.count && !taken; ++i) {
            KernelObject* object = w.objects[i];
            SharedObject* s = object->AsShared();
            if (!MixedAvailable(w, i)) {
                continue;
            }
            bool abandoned;
            if (s != nullptr) {
                const SharedObject::Take how = s->TryTake();
                if (how == SharedObject::Take::Busy) {
                    continue;
                }
                abandoned = how == SharedObject::Take::Abandoned;
            } else {
                abandoned = object->Acquire(w.threadId);
                w.acquiredMutex = object->kind == ObjectKind::Mutex;
            }
            w.result = (abandoned ? WAIT_ABANDONED_0 : WAIT_OBJECT_0) + i;
            taken = true;
        }
    } else {
        taken = true;
        for (DWORD i = 0; i < w.count && taken; ++i) {
            taken = MixedAvailable(w, i);
        }
        // Named mutexes are taken first, and given back if one of them is busy.
        SharedObject::Take how[MAXIMUM_WAIT_OBJECTS];
        DWORD tried = 0;
        for (; taken && tried < w.count; ++tried) {
            SharedObject* s = w.objects[tried]->AsShared();
            how[tried] = SharedObject::Take::Busy;
            if (s != nullptr && s->kind == ObjectKind::Mutex) {
                how[tried] = s->TryTake();
                taken = how[tried] != SharedObject::Take::Busy;
            }
        }
        for (DWORD i = 0; !taken && i < tried; ++i) {
            if (SharedObject* s = w.objects[i]->AsShared()) {
                s->Untake(how[i]);
            }
        }
        DWORD abandonedIndex = w.count;
        for (DWORD i = 0; taken && i < w.count; ++i) {
            KernelObject* object = w.objects[i];
            SharedObject* s = object->AsShared();
            bool abandoned = false;
            if (s == nullptr) {
                abandoned = object->Acquire(w.threadId);
                w.acquiredMutex |= object->kind == ObjectKind::Mutex;
            } else if (s->kind == ObjectKind::Event) {
                s->TryTake();
            } else {
                abandoned = how[i] == SharedObject::Take::Abandoned;
            }
            if (abandoned && abandonedIndex == w.count) {
                abandonedIndex = i;
            }
        }
        w.result = abandonedIndex < w.count ? WAIT_ABANDONED_0 + abandonedIndex : WAIT_OBJECT_0;
    }
    for (DWORD k = sharedCount; k-- > 0;) {
        shared[k]->Unlock();
    }
    return taken;
}

// The wait of WaitForMultipleObjects when a named object is among the objects: try, then
// sleep on the wake counter until something changes, the time-out passes, or (with a named
// mutex, whose owner may die without a word) a short slice passes.
bool WaitMixed(Kernel& kernel, Waiter& w, DWORD milliseconds, std::unique_lock<std::mutex>& hold) {
    constexpr DWORD kDeathCheckMs = 50;
    bool watchesDeath = false;
    for (DWORD i = 0; i < w.count; ++i) {
        SharedObject* s = w.objects[i]->AsShared();
        watchesDeath |= s != nullptr && s->kind == ObjectKind::Mutex;
        ++w.objects[i]->refs;  // kept alive while the lock is let go
    }
    w.sleepsOnWake = true;
    const auto start = std::chrono::steady_clock::now();
    bool linked = false;
    bool satisfied = false;
    for (;;) {
        const std::uint32_t seen = WakeSequence();
        satisfied = TakeMixed(w);
        DWORD remaining = milliseconds;
        if (!satisfied && milliseconds != INFINITE) {
            const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now() - start);
            const DWORD spentMs = static_cast<DWORD>(spent.count());
            remaining = spentMs >= milliseconds ? 0 : milliseconds - spentMs;
        }
        if (satisfied || remaining == 0) {
            break;
        }
        if (!linked) {
            for (DWORD i = 0; i < w.count; ++i) {
                if (w.objects[i]->AsShared() == nullptr) {
                    w.blocks[i].waiter = &w;
                    w.blocks[i].object = w.objects[i];
                    Link(&w.blocks[i]);
                }
            }
            linked = true;
        }
        hold.unlock();
        SleepOnWake(seen, watchesDeath ? std::min(remaining, kDeathCheckMs) : remaining);
        hold.lock();
    }
    for (DWORD i = 0; i < w.count; ++i) {
        if (linked && w.objects[i]->AsShared() == nullptr) {
            Unlink(&w.blocks[i]);
        }
        ReleaseObject(kernel, w.objects[i]);
    }
    return satisfied;
}

}  // namespace

void SignalObject(KernelObject* object) {
    WaitBlock* block = object->firstWaiter;
    bool wakeSleepers = false;
    while (block != nullptr) {
        Waiter& w = *block->waiter;
        if (w.sleepsOnWake) {
            wakeSleepers = true;  // it takes for itself once awake
            block = block->next;
            continue;
        }
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
    if (wakeSleepers) {
        WakeSleepers();
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

    bool named = false;
    for (DWORD i = 0; i < count; ++i) {
        named |= w.objects[i]->AsShared() != nullptr;
    }
    bool satisfied = false;
    if (named) {
        satisfied = WaitMixed(kernel, w, milliseconds, hold);
    } else {
        satisfied = TrySatisfy(w);
    }
    if (!satisfied && !named && milliseconds != 0) {
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
