// A scope's hold of a CLock, for the library's own code.
#ifndef TKV_SYNC_LOCK_HOLD_H
#define TKV_SYNC_LOCK_HOLD_H

#include "tkv/lock.h"

namespace TKV::detail {

// Locks on construction, unlocks on destruction, so no early return leaves the lock held.
class LockHold {
  public:
    explicit LockHold(CLock& lock) : m_lock(lock) { m_lock.Lock(); }
    ~LockHold() { m_lock.Unlock(); }
    LockHold(const LockHold&) = delete;
    LockHold& operator=(const LockHold&) = delete;

  private:
    CLock& m_lock;
};

}  // namespace TKV::detail

#endif  // TKV_SYNC_LOCK_HOLD_H
