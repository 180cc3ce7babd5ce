// The handle word: low 32 bits the descriptor (0 = none), high 32 bits the calls in flight on it.
#include "net/socket_handle.h"

#include <thread>

#include "platform/winsock.h"

namespace TKV::detail {
namespace {

constexpr unsigned long long kOneUse = 1ULL << 32;
constexpr unsigned long long kHandleMask = kOneUse - 1;

SOCKET HandleOf(unsigned long long word) {
    return static_cast<SOCKET>(word & kHandleMask);
}

unsigned long long UsesOf(unsigned long long word) {
    return word >> 32;
}

// A failed socket() leaves INVALID_SOCKET in the word; it names no descriptor to close.
void Close(SOCKET handle) {
    if (handle != INVALID_SOCKET) {
        platform::closesocket(handle);
    }
}

}  // namespace

SOCKET LoadHandle(const HandleWord& word) {
    return HandleOf(word.load(std::memory_order_acquire));
}

HandleUse::HandleUse(HandleWord& word) : m_word(word), m_handle(0) {
    unsigned long long current = m_word.load(std::memory_order_acquire);
    while (HandleOf(current) != 0) {
        if (m_word.compare_exchange_weak(current, current + kOneUse, std::memory_order_acq_rel)) {
            m_handle = HandleOf(current);
            return;
        }
    }
}

HandleUse::~HandleUse() {
    if (m_handle == 0) {
        return;
    }
    const unsigned long long after = m_word.fetch_sub(kOneUse, std::memory_order_acq_rel) - kOneUse;
    // The handle was taken out while this call ran and no other call is left on it: the
    // shutdown handed the close to this thread. No new handle can be in the word yet, as
    // InstallHandle waits for the count to drop to 0.
    if (UsesOf(after) == 0 && HandleOf(after) != m_handle) {
        Close(m_handle);
    }
}

void RetireHandle(HandleWord& word) {
    // Holding a use keeps the descriptor open until the shutdown below has been made, even when
    // a blocked call returns at once and would otherwise close it.
    HandleUse use(word);
    const SOCKET handle = use.Get();
    if (handle == 0) {
        return;
    }
    unsigned long long current = word.load(std::memory_order_acquire);
    do {
        if (HandleOf(current) != handle) {
            return;  // another thread took it first; its shutdown is under way
        }
    } while (
        !word.compare_exchange_weak(current, current & ~kHandleMask, std::memory_order_acq_rel));
    if (handle != INVALID_SOCKET) {
        platform::shutdown(handle, SD_BOTH);
    }
}  // the use's release closes the descriptor unless a blocked call still holds it

void InstallHandle(HandleWord& word, SOCKET handle) {
    unsigned long long current = word.load(std::memory_order_acquire);
    for (;;) {
        if (HandleOf(current) != 0) {
            RetireHandle(word);
        } else if (UsesOf(current) != 0) {
            std::this_thread::yield();  // woken calls on the retired handle are returning
        } else if (word.compare_exchange_weak(current, handle, std::memory_order_acq_rel)) {
            return;
        } else {
            continue;
        }
        current = word.load(std::memory_order_acquire);
    }
}

SOCKET DetachHandle(HandleWord& word) {
    const unsigned long long before = word.fetch_and(~kHandleMask, std::memory_order_acq_rel);
    return HandleOf(before);
}

}  // namespace TKV::detail
