// Storage for a process-wide object that is never destroyed: threads still running while the
// process exits, and the module's unload hooks, may use it after static destructors have run.
#ifndef TKV_PLATFORM_NO_DESTRUCTOR_H
#define TKV_PLATFORM_NO_DESTRUCTOR_H

#include <new>
#include <utility>

namespace TKV::platform {

// Declared as a function-local static: `static NoDestructor<T> x(args...); return *x;`.
template <typename T>
class NoDestructor {
  public:
    template <typename... Args>
    explicit NoDestructor(Args&&... args) {
        new (m_storage) T(std::forward<Args>(args)...);
    }
    NoDestructor(const NoDestructor&) = delete;
    NoDestructor& operator=(const NoDestructor&) = delete;

    T& operator*() { return *std::launder(reinterpret_cast<T*>(m_storage)); }
    T* operator->() { return &**this; }

  private:
    alignas(T) unsigned char m_storage[sizeof(T)];
};

}  // namespace TKV::platform

#endif  // TKV_PLATFORM_NO_DESTRUCTOR_H
