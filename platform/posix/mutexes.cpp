// Mutexes: owned by a thread, recursive for it, released only by it; when the owner ends
// without releasing, the next thread to take the mutex learns that it was abandoned.
#include <new>

#include "platform/posix/kernel.h"
#include "platform/posix/shared_objects.h"
#include "platform/thread_slot.h"

namespace TKV::platform::detail {

class MutexObject : public KernelObject {
  public:
    MutexObject() : KernelObject(ObjectKind::Mutex) {
        Kernel& kernel = TheKernel();
        m_position = kernel.mutexes.insert(kernel.mutexes.end(), this);
    }
    ~MutexObject() override { TheKernel().mutexes.erase(m_position); }

    bool Available(DWORD threadId) const override { return m_owner == 0 || m_owner == threadId; }
    bool Acquire(DWORD threadId) override {
        m_owner = threadId;
        ++m_recursion;
        const bool abandoned = m_abandoned;
        m_abandoned = false;
        return abandoned;
    }
    // One level of the owner's hold; false when `threadId` does not own the mutex.
    bool Release(DWORD threadId) {
        if (m_owner != threadId || m_owner == 0) {
            return false;
        }
        if (--m_recursion == 0) {
            m_owner = 0;
            SignalObject(this);
        }
        return true;
    }
    void AbandonIfOwnedBy(DWORD threadId) {
        if (m_owner == threadId) {
            m_owner = 0;
            m_recursion = 0;
            m_abandoned = true;
            SignalObject(this);
        }
    }

  private:
    // All guarded by Kernel::lock.
    DWORD m_owner = 0;
    unsigned m_recursion = 0;
    bool m_abandoned = false;
    std::list<MutexObject*>::iterator m_position;
};

namespace {

// Abandons the thread's mutexes when it ends.
ThreadSlot g_watch([](void*) { AbandonCallersMutexes(); });

}  // namespace

void WatchMutexOwnership() {
    static char armed;  // any non-null value arms the clean-up
    g_watch.Set(&armed);
}

void AbandonCallersMutexes() {
    if (g_watch.Get() != nullptr)
        g_watch.Set(nullptr);
    const DWORD me = GetCurrentThreadId();
    Kernel& kernel = TheKernel();
    std::lock_guard<std::mutex> hold(kernel.lock);
    // Handing a mutex on never destroys one, so the list stays intact while it is walked.
    for (MutexObject* mutex : kernel.mutexes) {
        mutex->AbandonIfOwnedBy(me);
    }
}

}  // namespace TKV::platform::detail

extern "C" {

HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES, BOOL initialOwner, LPCWSTR name) {
    using namespace TKV::platform::detail;
    const DWORD me = GetCurrentThreadId();
    bool created;
    HANDLE handle = CreateOrOpenNamed(ObjectKind::Mutex, name, &created, [&]() -> KernelObject* {
        auto* mutex = new (std::nothrow) MutexObject;
        if (mutex != nullptr && initialOwner) {
            mutex->Acquire(me);
        }
        return mutex;
    });
    if (created && initialOwner) {
        Kernel& kernel = TheKernel();
        std::unique_lock<std::mutex> hold(kernel.lock);
        if (SharedObject* shared = LookupHandle(kernel, handle)->AsShared()) {
            shared->TryTake();  // a fresh mutex: nobody else can have it yet
            return handle;
        }
        hold.unlock();
        WatchMutexOwnership();
    }
    return handle;
}

HANDLE OpenMutexW(DWORD, BOOL, LPCWSTR name) {
    return TKV::platform::detail::OpenNamed(TKV::platform::detail::ObjectKind::Mutex, name);
}

BOOL ReleaseMutex(HANDLE handle) {
    using namespace TKV::platform::detail;
    Kernel& kernel = TheKernel();
    std::lock_guard<std::mutex> hold(kernel.lock);
    KernelObject* object = LookupKind(kernel, handle, ObjectKind::Mutex);
    if (object == nullptr) {
        return FALSE;
    }
    SharedObject* shared = object->AsShared();
    const bool released = shared != nullptr
                              ? shared->ReleaseOwnership()
                              : static_cast<MutexObject*>(object)->Release(GetCurrentThreadId());
    if (!released) {
        SetLastError(ERROR_NOT_OWNER);
        return FALSE;
    }
    return TRUE;
}

}  // extern "C"
