// Process-wide objects that live until the library is unloaded. They are never destroyed by a
// static destructor, because agent threads may still use them while the process exits; an
// explicit unload, when no other thread runs, deletes them so that loading and unloading the
// library repeatedly leaks nothing.
#ifndef TKV_PLATFORM_UNLOAD_H
#define TKV_PLATFORM_UNLOAD_H

#include <atomic>

namespace TKV::platform {

using UnloadAction = void (*)();

// Adds an action that RunUnloadActions runs, in the order of registration. At most 16; false
// when the table is full. Safe from any thread.
bool RegisterUnloadAction(UnloadAction action);

// Runs every registered action once and forgets them. Called by the module entry on an unload,
// after the library's own detach hook; tests may call it to see what an unload frees.
void RunUnloadActions();

// The process-wide T, built on first use with new T(args...) and deleted on unload. A later use
// builds it again.
template <typename T, auto... args>
class UnloadOwned {
  public:
    static T& Get() {
        T* object = s_instance.load(std::memory_order_acquire);
        if (object != nullptr)
            return *object;
        T* made = new T(args...);
        if (!s_instance.compare_exchange_strong(object, made, std::memory_order_acq_rel)) {
            delete made;
            return *object;
        }
        RegisterUnloadAction(&Release);
        return *made;
    }

  private:
    static void Release() { delete s_instance.exchange(nullptr, std::memory_order_acq_rel); }

    static inline std::atomic<T*> s_instance{nullptr};
};

}  // namespace TKV::platform

#endif  // TKV_PLATFORM_UNLOAD_H
