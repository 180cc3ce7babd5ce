// CPVSync: a fixed table of 16 events and mutexes addressed by id (0 to 15). An agent creates
// its objects through the table, optionally under system-wide names, then signals, resets,
// acquires and releases them by id and waits for any of a set of ids with one call whose
// answer is the id that fired. The table has no lock: filling and emptying slots while other
// threads use it is the caller's business. Only Close and CloseAll close handles; the
// destructor leaves them open.
#ifndef TKV_PV_SYNC_H
#define TKV_PV_SYNC_H

#include "tkv/export.h"

namespace TKV {

// The kind of a slot; other values may be stored too, and are only closed by CloseAll.
enum TSyncType { SyncNone = 0, SyncEvent = 3, SyncMutex = 4 };

class TKV_API CPVSync {
  public:
    static const int BadSyncId = -1;
    static const int SyncTimeout = -2;
    static const unsigned int SlotCount = 16;

    CPVSync();
    // Copies share the kernel objects: nothing is duplicated.
    CPVSync(const CPVSync& other) = default;
    CPVSync& operator=(const CPVSync& other) = default;
    virtual ~CPVSync();

    // A new (or, under an existing name, opened) event or mutex in an empty slot; null when
    // the slot is filled, the id is 16 or more, or the platform refuses. `ignored` is accepted
    // for the call's shape.
    void* CreateEventW(unsigned int ignored, unsigned int id, const wchar_t* name,
                       bool manualReset);
    void* CreateMutexW(unsigned int ignored, unsigned int id, const wchar_t* name);
    // Stores a handle, first disposing of a filled slot's old one by kind; 1 stored, 0 refused.
    int SetHandle(void* handle, unsigned int id, TSyncType type);
    void* GetHandle(unsigned int id) const;
    void* operator[](unsigned int id) const;
    // The lowest id holding `handle` (null finds the first empty slot), or BadSyncId.
    unsigned int GetID(void* handle) const;

    // Sets an event slot; false for any other slot.
    bool Signal(unsigned int id);
    // Resets an event or releases a mutex; true for every filled slot.
    bool Clear(unsigned int id);
    void ClearAll();
    // Waits for a mutex slot; 1 when it is owned now (abandoned included), else 0.
    int Acquire(unsigned int id, int timeoutMs);
    int Release(unsigned int id);
    // A zero-time wait, with its side effects (an auto-reset event resets, a mutex is taken).
    bool IsSignalled(unsigned int id);
    // Closes a slot (releasing a mutex first); true for every filled slot.
    bool Close(unsigned int id);
    // Closes every handle, whatever its kind, and empties the table.
    void CloseAll();
    bool ValidateHandles() const;
    // Waits for any id whose bit is set in `mask`: the id that fired (the lowest on a tie),
    // SyncTimeout, or BadSyncId for an empty mask, an empty slot or any other failure.
    unsigned int Wait(unsigned long mask, int timeoutMs);

  private:
    int InsertHandle(void* handle, unsigned int id, TSyncType type);
    unsigned int DoWait(int count, void** handles, int timeoutMs);
    // Closes a slot's handle by kind: events closed, mutexes released and closed.
    void Dispose(unsigned int id);

    unsigned int m_count;
    unsigned int m_creatorThread;
    void* m_handles[SlotCount];
    TSyncType m_types[SlotCount];
};

}  // namespace TKV

#endif  // TKV_PV_SYNC_H
