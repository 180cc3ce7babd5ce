// The process's kernel objects (events, mutexes, threads) and the handle table that names them.
//
// Everything here is guarded by one process-wide mutex, Kernel::lock: object states, reference
// counts, waiter lists, the handle table and the name table. A blocked wait registers one
// WaitBlock per object on that object's FIFO list and sleeps on its own condition variable; a
// state change walks only that object's list and wakes only the waiters it can satisfy, which
// take their objects under the same lock, so a wait for several objects acquires all of them
// in one step or none.
#ifndef TKV_PLATFORM_POSIX_KERNEL_H
#define TKV_PLATFORM_POSIX_KERNEL_H

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <list>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "tkv/winapi.h"

namespace TKV::platform::detail {

struct KernelObject;
struct Waiter;
class MutexObject;
class SharedObject;

// One waiter's registration on one object.
struct WaitBlock {
    Waiter* waiter = nullptr;
    KernelObject* object = nullptr;
    WaitBlock* prev = nullptr;
    WaitBlock* next = nullptr;
};

// A thread blocked in a wait; lives on that thread's stack.
struct Waiter {
    DWORD threadId = 0;
    bool waitAll = false;
    DWORD count = 0;
    KernelObject* objects[MAXIMUM_WAIT_OBJECTS] = {};
    WaitBlock blocks[MAXIMUM_WAIT_OBJECTS];
    bool done = false;
    bool acquiredMutex = false;
    // A wait that involves a named object sleeps on the machine-wide wake counter; a signal
    // of one of its local objects only bumps that counter, and the waiter takes for itself.
    bool sleepsOnWake = false;
    DWORD result = WAIT_TIMEOUT;
    std::condition_variable wake;
};

enum class ObjectKind { Event, Mutex, Thread, File };

// Base of the waitable objects. Lives while a handle, a running wait or a running thread
// holds a reference.
struct KernelObject {
    explicit KernelObject(ObjectKind k) : kind(k) {}
    virtual ~KernelObject() = default;
    KernelObject(const KernelObject&) = delete;
    KernelObject& operator=(const KernelObject&) = delete;

    // Whether a wait by `threadId` could take the object now.
    virtual bool Available(DWORD threadId) const = 0;
    // Takes the object for `threadId` (resets an auto-reset event, owns a mutex); true when it
    // was an abandoned mutex.
    virtual bool Acquire(DWORD threadId) = 0;
    // The named object shared with other processes, or null for a process-local one.
    virtual SharedObject* AsShared() { return nullptr; }

    const ObjectKind kind;
    int refs = 0;
    std::wstring name;  // empty: unnamed
    WaitBlock* firstWaiter = nullptr;
    WaitBlock* lastWaiter = nullptr;
};

struct Kernel {
    std::mutex lock;

    struct Slot {
        KernelObject* object = nullptr;
        std::uint64_t generation = 1;
    };
    std::vector<Slot> slots;
    // Freed slots are reused oldest first, and each reuse bumps the slot's generation, so a
    // closed handle's value is not handed out again.
    std::deque<std::uint32_t> freeSlots;
    std::map<std::wstring, KernelObject*> names;
    std::list<MutexObject*> mutexes;  // every live mutex, for abandonment at thread exit
};

// The first handle to a new object, registered under `name` (if any); when no handle can be
// had, the object is destroyed and null returned.
HANDLE AdoptObject(Kernel& kernel, KernelObject* object, const wchar_t* name);

// A named object shared with other processes (see shared_objects.h), created or opened.
KernelObject* NewShared(ObjectKind kind, const wchar_t* name, bool manualReset, bool initialState,
                        bool* created, DWORD* error);

// The process's kernel: created on first use and destroyed only by an unload, so threads that
// outlive main and thread-exit hooks can still use it.
Kernel& TheKernel();

// Destroys the kernel with every object still open. Only when no other thread runs (an unload).
void ReleaseKernel();

// All of the following expect Kernel::lock to be held.

// A new handle for `object` (taking a reference), or null with ERROR_NOT_ENOUGH_MEMORY set.
HANDLE NewHandle(Kernel& kernel, KernelObject* object);
// The object behind an open handle, or null.
KernelObject* LookupHandle(Kernel& kernel, HANDLE handle);
// Drops one reference; the last one destroys the object and frees its name.
void ReleaseObject(Kernel& kernel, KernelObject* object);
// The object registered under `name`, or null (also for a null or empty name).
KernelObject* FindNamed(Kernel& kernel, const wchar_t* name);
void AddName(Kernel& kernel, KernelObject* object, const wchar_t* name);

// The object became available: hand it to the waiters it can satisfy, oldest first.
void SignalObject(KernelObject* object);

// Mutex ownership ends with the owning thread. WatchMutexOwnership is called (without the
// lock) once the calling thread owns a mutex; when the thread ends, or when it calls
// AbandonCallersMutexes, every mutex it still owns is marked abandoned and handed on.
void WatchMutexOwnership();
void AbandonCallersMutexes();

// CreateEventW/CreateMutexW: a new object from `make` (a `new (std::nothrow)` expression)
// when unnamed. A named one is shared with other processes: an existing object of that name
// is opened instead, with ERROR_ALREADY_EXISTS as the last error (ERROR_INVALID_HANDLE if it
// is of another kind). `*created` tells which. Takes the lock itself.
template <typename Make>
HANDLE CreateOrOpenNamed(ObjectKind kind, const wchar_t* name, bool* created, Make make,
                         bool manualReset = false, bool initialState = false) {
    *created = false;
    Kernel& kernel = TheKernel();
    std::lock_guard<std::mutex> hold(kernel.lock);
    if (KernelObject* existing = FindNamed(kernel, name)) {
        if (existing->kind != kind) {
            SetLastError(ERROR_INVALID_HANDLE);
            return nullptr;
        }
        HANDLE handle = NewHandle(kernel, existing);
        if (handle != nullptr) {
            SetLastError(ERROR_ALREADY_EXISTS);
        }
        return handle;
    }
    const bool named = name != nullptr && *name != 0;
    bool fresh = true;
    KernelObject* object = nullptr;
    if (named) {
        DWORD error = ERROR_SUCCESS;
        object = NewShared(kind, name, manualReset, initialState, &fresh, &error);
        if (object == nullptr) {
            SetLastError(error);
            return nullptr;
        }
    } else {
        object = make();
        if (object == nullptr) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
    }
    HANDLE handle = AdoptObject(kernel, object, name);
    if (handle != nullptr) {
        SetLastError(fresh ? ERROR_SUCCESS : ERROR_ALREADY_EXISTS);
        *created = fresh;
    }
    return handle;
}

// The object of kind `kind` behind `handle`, or null with ERROR_INVALID_HANDLE set.
KernelObject* LookupKind(Kernel& kernel, HANDLE handle, ObjectKind kind);

// Opens a new handle to a named object of `kind` created earlier (OpenEventW, OpenMutexW).
HANDLE OpenNamed(ObjectKind kind, const wchar_t* name);

}  // namespace TKV::platform::detail

#endif  // TKV_PLATFORM_POSIX_KERNEL_H
