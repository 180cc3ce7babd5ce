// CLock: the library's re-entrant lock.
#ifndef TKV_LOCK_H
#define TKV_LOCK_H

#include <atomic>

#include "tkv/export.h"

namespace TKV {

namespace detail {
struct CriticalSection;
struct CLockAccess;
}  // namespace detail

// A re-entrant lock that remembers the thread that last took it. The holder may Lock again and
// must Unlock as often; an Unlock by any thread that does not hold it is ignored, and an extra
// Unlock by the last holder is harmless. Used to guard the sockets, the receiver queue and the
// trace log; agents may use it for their own data.
//
// Copying: a copy is a new, free lock with a section of its own (count 0, owner 0), and
// assignment leaves the target's lock as it was. A lock guards the object that holds it, so an
// object's copy gets its own, and no lock can outlive a section that another one deletes.
class TKV_API CLock {
  public:
    CLock();
    // Releases one level if the calling thread holds the lock, then frees the section; no
    // other thread may hold the lock or wait for it.
    ~CLock();
    CLock(const CLock& other);
    CLock& operator=(const CLock& other);

    // Blocks until the calling thread holds the lock; re-entrant.
    void Lock();
    // Releases one level if the calling thread holds the lock; otherwise does nothing.
    void Unlock();
    // True when the calling thread is the last one that took the lock (it stays true after
    // that thread's final Unlock, until another thread takes the lock).
    bool HaveLock() const;

  private:
    friend struct detail::CLockAccess;

    // Depth of the holder's locking; written only by the thread inside the section.
    std::atomic<int> m_count;
    // Id of the thread that last took the lock, 0 before the first; written only inside the
    // section, read by any thread.
    std::atomic<unsigned int> m_owner;
    // Owned; null once destroyed (or if it could not be allocated), when Lock does nothing.
    detail::CriticalSection* m_section;
};

}  // namespace TKV

#endif  // TKV_LOCK_H
