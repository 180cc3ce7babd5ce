// CPVSync: the table of numbered events and mutexes over the kernel-object calls.
#include "tkv/pv_sync.h"

#include "tkv/winapi.h"

namespace TKV {

const int CPVSync::BadSyncId;
const int CPVSync::SyncTimeout;
const unsigned int CPVSync::SlotCount;

namespace {

// A time-out in milliseconds as the waits take it: -1 is INFINITE, not a 64-bit all-ones.
DWORD Milliseconds(int timeoutMs) {
    return static_cast<DWORD>(static_cast<unsigned int>(timeoutMs));
}

}  // namespace

CPVSync::CPVSync()
    : m_count(0),
      m_creatorThread(static_cast<unsigned int>(GetCurrentThreadId())),
      m_handles(),
      m_types() {}

CPVSync::~CPVSync() = default;

void* CPVSync::CreateEventW(unsigned int, unsigned int id, const wchar_t* name, bool manualReset) {
    if (id >= SlotCount || m_handles[id] != nullptr) {
        return nullptr;
    }
    void* handle = ::CreateEventW(nullptr, manualReset ? TRUE : FALSE, FALSE, name);
    return InsertHandle(handle, id, SyncEvent) != 0 ? handle : nullptr;
}

void* CPVSync::CreateMutexW(unsigned int, unsigned int id, const wchar_t* name) {
    if (id >= SlotCount || m_handles[id] != nullptr) {
        return nullptr;
    }
    void* handle = ::CreateMutexW(nullptr, FALSE, name);
    return InsertHandle(handle, id, SyncMutex) != 0 ? handle : nullptr;
}

int CPVSync::InsertHandle(void* handle, unsigned int id, TSyncType type) {
    if (handle == nullptr || id >= SlotCount || m_handles[id] != nullptr) {
        return 0;
    }
    m_handles[id] = handle;
    m_types[id] = type;
    ++m_count;
    return 1;
}

void CPVSync::Dispose(unsigned int id) {
    if (m_types[id] == SyncMutex) {
        ReleaseMutex(m_handles[id]);
    }
    if (m_types[id] == SyncEvent || m_types[id] == SyncMutex) {
        CloseHandle(m_handles[id]);
    }
}

int CPVSync::SetHandle(void* handle, unsigned int id, TSyncType type) {
    if (id >= SlotCount) {
        return 0;
    }
    if (m_handles[id] == nullptr) {
        return InsertHandle(handle, id, type);
    }
    // Replacing keeps the count, even for a null handle: ValidateHandles then reports it.
    Dispose(id);
    m_handles[id] = handle;
    m_types[id] = type;
    return 1;
}

void* CPVSync::GetHandle(unsigned int id) const {
    return id < SlotCount ? m_handles[id] : nullptr;
}

void* CPVSync::operator[](unsigned int id) const {
    return GetHandle(id);
}

unsigned int CPVSync::GetID(void* handle) const {
    for (unsigned int id = 0; id < SlotCount; ++id) {
        if (m_handles[id] == handle) {
            return id;
        }
    }
    return static_cast<unsigned int>(BadSyncId);
}

bool CPVSync::Signal(unsigned int id) {
    if (id >= SlotCount || m_handles[id] == nullptr || m_types[id] != SyncEvent) {
        return false;
    }
    SetEvent(m_handles[id]);
    return true;
}

bool CPVSync::Clear(unsigned int id) {
    if (id >= SlotCount || m_handles[id] == nullptr) {
        return false;
    }
    if (m_types[id] == SyncEvent) {
        ResetEvent(m_handles[id]);
    } else if (m_types[id] == SyncMutex) {
        ReleaseMutex(m_handles[id]);
    }
    return true;
}

void CPVSync::ClearAll() {
    for (unsigned int id = 0; id < SlotCount; ++id) {
        Clear(id);
    }
}

int CPVSync::Acquire(unsigned int id, int timeoutMs) {
    if (id >= SlotCount || m_handles[id] == nullptr || m_types[id] != SyncMutex) {
        return 0;
    }
    const DWORD answer = WaitForSingleObject(m_handles[id], Milliseconds(timeoutMs));
    return answer == WAIT_OBJECT_0 || answer == WAIT_ABANDONED_0 ? 1 : 0;
}

int CPVSync::Release(unsigned int id) {
    if (id >= SlotCount || m_handles[id] == nullptr || m_types[id] != SyncMutex) {
        return 0;
    }
    return ReleaseMutex(m_handles[id]);
}

bool CPVSync::IsSignalled(unsigned int id) {
    if (id >= SlotCount || m_handles[id] == nullptr) {
        return false;
    }
    return WaitForSingleObject(m_handles[id], 0) == WAIT_OBJECT_0;
}

bool CPVSync::Close(unsigned int id) {
    if (id >= SlotCount || m_handles[id] == nullptr) {
        return false;
    }
    Dispose(id);
    m_handles[id] = nullptr;
    m_types[id] = SyncNone;
    --m_count;
    return true;
}

void CPVSync::CloseAll() {
    for (unsigned int id = 0; id < SlotCount; ++id) {
        if (m_handles[id] != nullptr) {
            CloseHandle(m_handles[id]);
        }
        m_handles[id] = nullptr;
        m_types[id] = SyncNone;
    }
    m_count = 0;
}

bool CPVSync::ValidateHandles() const {
    unsigned int filled = 0;
    for (void* handle : m_handles) {
        filled += handle != nullptr ? 1 : 0;
    }
    return filled == m_count;
}

unsigned int CPVSync::Wait(unsigned long mask, int timeoutMs) {
    void* list[SlotCount];
    int count = 0;
    for (unsigned int id = 0; id < SlotCount; ++id) {
        if ((mask >> id & 1) == 0) {
            continue;
        }
        if (m_handles[id] == nullptr) {
            return static_cast<unsigned int>(BadSyncId);
        }
        list[count++] = m_handles[id];
    }
    return DoWait(count, list, timeoutMs);
}

unsigned int CPVSync::DoWait(int count, void** handles, int timeoutMs) {
    if (count <= 0 || handles == nullptr) {
        return static_cast<unsigned int>(BadSyncId);
    }
    for (int i = 0; i < count; ++i) {
        if (handles[i] == nullptr) {
            return static_cast<unsigned int>(BadSyncId);
        }
    }
    const DWORD answer =
        WaitForMultipleObjects(static_cast<DWORD>(count), handles, FALSE, Milliseconds(timeoutMs));
    if (answer == WAIT_TIMEOUT) {
        return static_cast<unsigned int>(SyncTimeout);
    }
    // An abandoned mutex (WAIT_ABANDONED_0 + k) is a failure here, like any other answer.
    if (answer >= WAIT_OBJECT_0 + static_cast<DWORD>(count)) {
        return static_cast<unsigned int>(BadSyncId);
    }
    return GetID(handles[answer - WAIT_OBJECT_0]);
}

}  // namespace TKV
