// CLock over the platform's recursive critical section.
//
// Whether the caller may release is decided by the section's own holder record rather than by
// the last-owner field: the two agree whenever the lock is used as intended, and the section's
// answer cannot go stale while another thread is taking the lock, so an extra Unlock racing
// with another thread's Lock can never release that thread's hold. Only the holder changes the
// count, which therefore needs no read-modify-write instruction.
#include "tkv/lock.h"

#include "platform/critical_section.h"
#include "platform/current_thread.h"

namespace TKV {

CLock::CLock() : m_count(0), m_owner(0), m_section(detail::InitializeCriticalSection()) {}

CLock::CLock(const CLock& /*other*/) : CLock() {}

CLock& CLock::operator=(const CLock& /*other*/) {
    return *this;
}

CLock::~CLock() {
    if (m_section == nullptr) {
        return;
    }
    Unlock();
    detail::DeleteCriticalSection(m_section);
    m_section = nullptr;
}

void CLock::Lock() {
    if (m_section == nullptr) {
        return;
    }
    const DWORD me = detail::CurrentThreadId();
    detail::EnterCriticalSection(m_section);
    m_owner.store(me, std::memory_order_relaxed);
    m_count.store(m_count.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
}

void CLock::Unlock() {
    // The last holder's extra Unlock finds the section free and changes nothing: the count
    // stays 0 and no other thread's hold is released.
    if (m_section == nullptr || !detail::CriticalSectionHeldByCaller(m_section)) {
        return;
    }
    m_count.store(m_count.load(std::memory_order_relaxed) - 1, std::memory_order_relaxed);
    detail::LeaveCriticalSection(m_section);
}

bool CLock::HaveLock() const {
    return m_owner.load(std::memory_order_relaxed) == detail::CurrentThreadId();
}

}  // namespace TKV
