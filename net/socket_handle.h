// The handle word of a socket object: the descriptor and the number of system calls in flight on
// it, in one atomic, so that one thread can shut a socket down while another is blocked in a call
// on it, and the descriptor is closed exactly once, by the last thread still using it.
#ifndef TKV_NET_SOCKET_HANDLE_H
#define TKV_NET_SOCKET_HANDLE_H

#include <atomic>
#include <cstdint>

#include "tkv/winsock.h"

namespace TKV::detail {

using HandleWord = std::atomic<unsigned long long>;

// The handle in the word; 0 when there is none.
SOCKET LoadHandle(const HandleWord& word);

// Puts a new handle into the word. A handle still there is shut down first, and the call waits
// until the calls in flight on it have returned (the shutdown wakes them), so the count in the
// word only ever belongs to the handle in it.
void InstallHandle(HandleWord& word, SOCKET handle);

// Takes the handle out of the word and shuts it down (both directions); it is closed at once, or
// by the last call still in flight on it as that call returns. Racing calls take it once.
void RetireHandle(HandleWord& word);

// Forgets the handle without shutting it down or closing it; the caller keeps it.
SOCKET DetachHandle(HandleWord& word);

// One system call's use of the handle: while a HandleUse holds it, the descriptor stays open.
// Get() is 0 when the word held no handle (it was shut down before the call could start).
class HandleUse {
  public:
    explicit HandleUse(HandleWord& word);
    ~HandleUse();
    HandleUse(const HandleUse&) = delete;
    HandleUse& operator=(const HandleUse&) = delete;

    SOCKET Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != 0; }

  private:
    HandleWord& m_word;
    SOCKET m_handle;
};

}  // namespace TKV::detail

#endif  // TKV_NET_SOCKET_HANDLE_H
