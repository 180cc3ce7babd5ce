// CLock: owner and depth in one atomic word. Taking a free lock is one compare-exchange,
// releasing the last level one exchange, and a holder's nested levels are plain stores (nobody
// else writes the word while it is held). Only a thread that finds the lock held sleeps, on the
// platform's address wait; spinning first measured no faster with more threads than cores.
#include "tkv/lock.h"

#include "platform/address_wait.h"
#include "platform/current_thread.h"

namespace TKV {
namespace {

using State = unsigned long long;

constexpr State kDepthMask = 0xFFFFFFFFull;
// A destroyed lock: owner 0 (no thread's id) and a depth no holder reaches, so every fast path
// falls through and the slow path gives up.
constexpr State kDestroyed = kDepthMask;
unsigned int OwnerOf(State state) {
    return static_cast<unsigned int>(state >> 32);
}

unsigned int DepthOf(State state) {
    return static_cast<unsigned int>(state & kDepthMask);
}

State Held(unsigned int owner, unsigned int depth) {
    return (static_cast<State>(owner) << 32) | depth;
}

}  // namespace

CLock::CLock() : m_state(0), m_sleepers(0) {}

CLock::CLock(const CLock& /*other*/) : CLock() {}

CLock& CLock::operator=(const CLock& /*other*/) {
    return *this;
}

CLock::~CLock() {
    m_state.store(kDestroyed, std::memory_order_release);
}

void CLock::Lock() {
    const unsigned int me = platform::CurrentThreadId();
    State state = m_state.load(std::memory_order_relaxed);
    if (DepthOf(state) == 0) {
        if (m_state.compare_exchange_strong(state, Held(me, 1), std::memory_order_acquire,
                                            std::memory_order_relaxed)) {
            return;
        }
    } else if (OwnerOf(state) == me) {
        // Only this thread can have stored its own id with a depth above 0: it holds the lock.
        m_state.store(state + 1, std::memory_order_relaxed);
        return;
    }
    LockContended(me);
}

void CLock::LockContended(unsigned int me) {
    for (;;) {
        // Marked before the last look at the word: a release either is seen here or finds the
        // mark and wakes a sleeper (a sleep on a word that changed returns at once).
        m_sleepers.exchange(1, std::memory_order_seq_cst);
        State state = m_state.load(std::memory_order_seq_cst);
        if (state == kDestroyed) {
            return;
        }
        if (DepthOf(state) == 0) {
            if (m_state.compare_exchange_strong(state, Held(me, 1), std::memory_order_seq_cst,
                                                std::memory_order_relaxed)) {
                // Others may still sleep, and the release that woke this thread cleared the
                // mark: set it again so that this thread's release wakes the next.
                m_sleepers.store(1, std::memory_order_relaxed);
                return;
            }
            continue;
        }
        platform::WaitOnAddress(m_sleepers, 1);
    }
}

void CLock::Unlock() {
    const unsigned int me = platform::CurrentThreadId();
    const State state = m_state.load(std::memory_order_relaxed);
    // Not the holder (or the last holder's extra Unlock, depth 0): ignored, so no other
    // thread's hold is ever released.
    if (OwnerOf(state) != me || DepthOf(state) == 0) {
        return;
    }
    if (DepthOf(state) > 1) {
        m_state.store(state - 1, std::memory_order_relaxed);
        return;
    }
    // The owner stays recorded. Sequentially consistent against the waiters' registration.
    m_state.store(Held(me, 0), std::memory_order_seq_cst);
    if (m_sleepers.load(std::memory_order_seq_cst) != 0 &&
        m_sleepers.exchange(0, std::memory_order_seq_cst) != 0) {
        platform::WakeByAddressSingle(m_sleepers);
    }
}

bool CLock::HaveLock() const {
    return OwnerOf(m_state.load(std::memory_order_relaxed)) == platform::CurrentThreadId();
}

}  // namespace TKV
