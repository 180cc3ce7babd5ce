// Per-thread values with a clean-up at thread end that does not keep the library loaded. A
// thread-local object with a destructor does: glibc leaves the library mapped after dlclose for
// as long as a thread that made one lives. A slot's clean-up instead runs from the system's
// per-thread storage, and an unload ends the slot (clearing the calling thread's value).
#ifndef TKV_PLATFORM_THREAD_SLOT_H
#define TKV_PLATFORM_THREAD_SLOT_H

#include <atomic>

namespace TKV::platform {

// Declared static (plain data: constant-initialised, never destroyed).
class ThreadSlot {
  public:
    using Cleanup = void (*)(void* value);
    // cleanup runs, on the thread, for a non-null value when the thread ends.
    explicit constexpr ThreadSlot(Cleanup cleanup) : m_cleanup(cleanup) {}

    // The calling thread's value; null before the first Set.
    void* Get();
    // False when the system has no slot left.
    bool Set(void* value);

    // For the platform: clears the calling thread's value (running the clean-up) and frees the
    // system slot, for every slot in use. Run by an unload.
    static void EndAll();

  private:
    bool Make();

    const Cleanup m_cleanup;
    std::atomic<unsigned long> m_key{0};  // the system's slot number plus one; 0 before use
};

// A T per thread, made with new T on first use and deleted when its thread ends.
template <typename T>
class ThreadLocal {
  public:
    constexpr ThreadLocal() : m_slot([](void* value) { delete static_cast<T*>(value); }) {}

    T* Get() {
        auto* value = static_cast<T*>(m_slot.Get());
        if (value == nullptr) {
            value = new T();
            if (!m_slot.Set(value)) {
                delete value;
                return nullptr;
            }
        }
        return value;
    }

  private:
    ThreadSlot m_slot;
};

namespace detail {

// What each platform provides for the slots. A key is the system's slot number plus one (0: no
// slot). Deleting a slot clears the calling thread's value, running the clean-up for it.
unsigned long NewSystemSlot(ThreadSlot::Cleanup cleanup);
void DeleteSystemSlot(unsigned long key, ThreadSlot::Cleanup cleanup);
void* SystemSlotValue(unsigned long key);
bool SetSystemSlotValue(unsigned long key, void* value, ThreadSlot::Cleanup cleanup);

}  // namespace detail

}  // namespace TKV::platform

#endif  // TKV_PLATFORM_THREAD_SLOT_H
