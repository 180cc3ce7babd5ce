// What the module does when the process loads and unloads it, and the actions other parts of
// the library hang on the unload.
#ifndef TKV_FOUNDATION_MODULE_STATE_H
#define TKV_FOUNDATION_MODULE_STATE_H

#include <atomic>

#include "platform/module_entry.h"
#include "tkv/winapi.h"

namespace TKV::detail {

// The module's entry point, registered with the platform, which calls it with the process
// attach when the module is loaded and with the process detach when it is unloaded or the
// process exits. processExit
// says which: at exit other threads may still be inside the library, so nothing is freed
// (what is left stays reachable); an unload releases everything. Always TRUE.
BOOL ModuleEntry(DWORD reason, bool processExit);

// An action for ReleaseModuleState, such as closing the trace log.
using UnloadAction = void (*)();

// Adds an action that ReleaseModuleState runs after freeing the ring slots, in the order of
// registration. At most 8 actions; false when the table is full. Safe from any thread. The
// actions run on an unload only, after the library's static objects are destroyed: what they
// free must be built on first use and never destroyed by a static destructor.
bool RegisterUnloadAction(UnloadAction action);

// The process-wide T, built on first use with new T(args...), never destroyed by a static
// destructor (threads may still use it while the process exits) and deleted when the module is
// unloaded. A later use builds it again.
template <typename T, auto... args>
class UnloadOwned {
  public:
    static T& Get() {
        T* object = instance_.load(std::memory_order_acquire);
        if (object != nullptr)
            return *object;
        T* made = new T(args...);
        if (!instance_.compare_exchange_strong(object, made, std::memory_order_acq_rel)) {
            delete made;
            return *object;
        }
        if (!registered_.exchange(true))
            RegisterUnloadAction(&Release);
        return *made;
    }

  private:
    static void Release() { delete instance_.exchange(nullptr, std::memory_order_acq_rel); }

    static inline std::atomic<T*> instance_{nullptr};
    static inline std::atomic<bool> registered_{false};
};

// Frees every ring slot, then runs the unload actions. Run once, when the module is unloaded.
void ReleaseModuleState();

}  // namespace TKV::detail

#endif  // TKV_FOUNDATION_MODULE_STATE_H
