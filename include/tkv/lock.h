// CLock: the library's re-entrant lock.
#ifndef TKV_LOCK_H
#define TKV_LOCK_H

#include <atomic>

#include "tkv/export.h"

namespace TKV {

namespace detail {
struct CLockAccess;
}  // namespace detail

// A re-entrant lock that remembers the thread that last took it. The holder may Lock again and
// must Unlock as often; an Unlock by any thread that does not hold it is ignored, and an extra
// Unlock by the last holder is harmless. Used to guard the sockets, the receiver queue and the
// trace log; agents may use it for their own data.
//
// Copying: a copy is a new, free lock (count 0, owner 0), and assignment leaves the target's
// lock as it was. A lock guards the object that holds it, so an object's copy gets its own.
class TKV_API CLock {
  public:
    CLock();
    // Releases the calling thread's hold, if any; no other thread may hold the lock or wait for
    // it. A Lock on a destroyed lock does nothing.
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

    void LockContended(unsigned int me);

    // The owner (high half: id of the thread that last took the lock, 0 before the first,
    // never cleared) and the holder's depth of locking (low half, 0 when free) in one word, so
    // that taking and releasing the lock is one atomic operation. Only the holder writes it
    // while the depth is above 0; any thread may read it.
    std::atomic<unsigned long long> m_state;
    // 1 while a thread may be asleep in Lock (the word such threads sleep on); the release
    // that finds it set clears it and wakes one of them.
    std::atomic<unsigned int> m_sleepers;
};

}  // namespace TKV

#endif  // TKV_LOCK_H
