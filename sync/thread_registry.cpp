// The registry's state is built on first use and destroyed only by an unload: registry calls
// may come from other modules' static constructors and destructors, and from worker threads
// that end while the process is exiting, in any order relative to this file's own statics.
#include "tkv/thread_registry.h"

#include <map>
#include <vector>

#include "platform/share_handle.h"
#include "platform/unload.h"
#include "sync/lock_hold.h"
#include "tkv/winapi.h"

namespace TKV {
namespace {

struct Registry {
    CLock lock;
    // Both guarded by `lock`, and always changed together: an id is in both or in neither.
    std::map<unsigned int, HANDLE> notifyMap;
    std::map<unsigned int, HANDLE> handleMap;
};

Registry& TheRegistry() {
    return platform::UnloadOwned<Registry>::Get();
}

HANDLE Find(const std::map<unsigned int, HANDLE>& map, unsigned int threadId) {
    auto it = map.find(threadId);
    return it == map.end() ? nullptr : it->second;
}

}  // namespace

CLock& RegistryLock() {
    return TheRegistry().lock;
}

void* RegisterThread(unsigned int threadId, void* threadHandle) {
    Registry& registry = TheRegistry();
    detail::LockHold hold(registry.lock);
    auto notify = registry.notifyMap.find(threadId);
    if (notify == registry.notifyMap.end()) {
        // A failed create stores null, which then serves as the thread's notify event.
        notify = registry.notifyMap.emplace(threadId, CreateEventW(nullptr, FALSE, FALSE, nullptr))
                     .first;
    }
    // The registry's own handle, so that waits work whatever the owner does with its copy.
    // The first registration's stays.
    if (registry.handleMap.find(threadId) == registry.handleMap.end()) {
        registry.handleMap.emplace(threadId, platform::ShareHandle(threadHandle));
    }
    return notify->second;
}

void DeRegisterThread(unsigned int threadId) {
    Registry& registry = TheRegistry();
    detail::LockHold hold(registry.lock);
    auto notify = registry.notifyMap.find(threadId);
    if (notify != registry.notifyMap.end()) {
        CloseHandle(notify->second);
        registry.notifyMap.erase(notify);
    }
    auto thread = registry.handleMap.find(threadId);
    if (thread != registry.handleMap.end()) {
        CloseHandle(thread->second);
        registry.handleMap.erase(thread);
    }
}

void* GetThreadHandle(unsigned int threadId) {
    Registry& registry = TheRegistry();
    detail::LockHold hold(registry.lock);
    return Find(registry.handleMap, threadId);
}

void* GetThreadNotify(unsigned int threadId) {
    Registry& registry = TheRegistry();
    detail::LockHold hold(registry.lock);
    return Find(registry.notifyMap, threadId);
}

void WaitRegisteredThreadsExit(unsigned long timeout) {
    std::vector<HANDLE> threads;
    std::vector<HANDLE> events;
    {
        Registry& registry = TheRegistry();
        detail::LockHold hold(registry.lock);
        for (const auto& entry : registry.handleMap) {
            threads.push_back(entry.second);
        }
        for (const auto& entry : registry.notifyMap) {
            events.push_back(entry.second);
        }
        registry.handleMap.clear();
        registry.notifyMap.clear();
    }
    // From here the registry is empty, so threads that end now deregister without blocking.
    if (!threads.empty()) {
        // The outcome does not matter: ended or not, the handles are closed. More than
        // MAXIMUM_WAIT_OBJECTS handles, or a null one, make the wait fail at once.
        WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, timeout);
        for (HANDLE thread : threads) {
            CloseHandle(thread);
        }
    }
    for (HANDLE event : events) {
        CloseHandle(event);
    }
}

}  // namespace TKV
