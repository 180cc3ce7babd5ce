// Named events and mutexes shared between processes. Each name is a small segment under
// /dev/shm holding the object's state behind a robust, process-shared lock; a named mutex is
// itself a robust process-shared mutex, so a process that dies holding it abandons it. A
// process maps each name once (the kernel's name table finds it again), and the segment
// records which processes hold it: the last one to close unlinks the name.
//
// Waits that involve a named object cannot sleep on the process's condition variables: they
// sleep on one machine-wide wake counter (a futex in its own segment) that every change of a
// named object's state, and every signal of a local object such a wait also watches, bumps.
#ifndef TKV_PLATFORM_POSIX_SHARED_OBJECTS_H
#define TKV_PLATFORM_POSIX_SHARED_OBJECTS_H

#include <cstdint>
#include <string>

#include "platform/posix/kernel.h"

namespace TKV::platform::detail {

struct SharedSegment;

class SharedObject : public KernelObject {
  public:
    enum class Take { Busy, Owned, Abandoned };

    SharedObject(ObjectKind kind, std::string path, SharedSegment* segment);
    ~SharedObject() override;

    SharedObject* AsShared() override { return this; }
    // Not used: waits take named objects through TryTake under their state locks.
    bool Available(DWORD) const override { return false; }
    bool Acquire(DWORD) override { return false; }

    // The state lock, taken in the order of Path() when several are held.
    void Lock();
    void Unlock();
    const std::string& Path() const { return m_path; }

    // Under the state lock. An event: signalled? A mutex: can the caller take it?
    bool EventSignalled() const;
    // Takes the object for the calling thread: resets an auto-reset event; owns a mutex
    // (recursively), telling whether it had been abandoned.
    Take TryTake();
    // Gives back a mutex just taken by TryTake (a wait-all that could not take everything).
    void Untake(Take how);

    // SetEvent/ResetEvent; wakes the sleepers when the event becomes signalled.
    void SetSignalled(bool signalled);
    // One level of the caller's ownership; false when the caller does not own the mutex.
    bool ReleaseOwnership();

  private:
    const std::string m_path;
    SharedSegment* const m_segment;
};

// Opens the object named `name`, creating it when `create` is true (with the event's flags).
// On success *created tells which; on failure null with the Windows error in *error:
// ERROR_FILE_NOT_FOUND (open of a missing name), ERROR_INVALID_HANDLE (another kind),
// ERROR_FILENAME_EXCED_RANGE (name too long), ERROR_ACCESS_DENIED, ERROR_NOT_ENOUGH_MEMORY.
SharedObject* OpenShared(ObjectKind kind, const wchar_t* name, bool create, bool manualReset,
                         bool initialState, bool* created, DWORD* error);

// The machine-wide wake counter: read it, try, and sleep only while it still holds that value.
std::uint32_t WakeSequence();
void SleepOnWake(std::uint32_t seen, DWORD milliseconds);
void WakeSleepers();

}  // namespace TKV::platform::detail

#endif  // TKV_PLATFORM_POSIX_SHARED_OBJECTS_H
