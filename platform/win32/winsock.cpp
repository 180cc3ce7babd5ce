// Shutdown that wakes blocked calls. Windows ends a blocked accept or recv only when its socket
// is closed, and closing a socket another thread is about to use lets the handle be reused
// under it. Instead a shutdown marks the socket and cancels the I/O in flight on it
// (CancelIoEx: blocking Winsock calls are overlapped I/O underneath); accept and recv count
// themselves in and out and refuse a marked socket, so a call that starts just as the shutdown
// runs cannot slip past the cancellation and block for good. The mark lives until closesocket.
#include <unordered_map>

#include "platform/unload.h"
#include "platform/winsock.h"

namespace TKV::platform {
namespace {

class ShutdownMarks {
  public:
    // False when s is shut down for receiving; otherwise counts a call in.
    bool Enter(SOCKET s) {
        Hold hold(m_lock);
        auto found = m_states.find(s);
        if (found != m_states.end() && found->second.shut)
            return false;
        ++m_states[s].calls;
        return true;
    }
    void Leave(SOCKET s) {
        Hold hold(m_lock);
        auto found = m_states.find(s);
        if (found != m_states.end() && --found->second.calls == 0 && !found->second.shut)
            m_states.erase(found);
    }
    // Marks s and cancels until no call is left inside the system on it. A call the
    // cancellation cannot reach (a layered provider without cancellation) is given up on after
    // about a second rather than hanging the shutdown.
    void Shut(SOCKET s) {
        {
            Hold hold(m_lock);
            m_states[s].shut = true;
        }
        for (int round = 0; round < 1000; ++round) {
            CancelIoEx(reinterpret_cast<HANDLE>(s), nullptr);
            if (Calls(s) == 0)
                return;
            Sleep(1);
        }
    }
    void Forget(SOCKET s) {
        Hold hold(m_lock);
        m_states.erase(s);
    }

  private:
    struct State {
        bool shut = false;
        int calls = 0;
    };
    class Hold {
      public:
        explicit Hold(SRWLOCK& lock) : m_lock(lock) { AcquireSRWLockExclusive(&m_lock); }
        ~Hold() { ReleaseSRWLockExclusive(&m_lock); }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

      private:
        SRWLOCK& m_lock;
    };

    int Calls(SOCKET s) {
        Hold hold(m_lock);
        auto found = m_states.find(s);
        return found != m_states.end() ? found->second.calls : 0;
    }

    SRWLOCK m_lock = SRWLOCK_INIT;
    std::unordered_map<SOCKET, State> m_states;
};

ShutdownMarks& Marks() {
    return UnloadOwned<ShutdownMarks>::Get();
}

// A call the shutdown cancelled (WSA_OPERATION_ABORTED), or a recv after the receiving side
// was shut down (WSAESHUTDOWN), reports the interruption.
int Interrupted(int error) {
    return error == WSA_OPERATION_ABORTED || error == WSAESHUTDOWN ? WSAEINTR : error;
}

// Keeps a program the agent starts from holding its connections (or its port) open.
SOCKET NotInherited(SOCKET s) {
    if (s != INVALID_SOCKET) {
        const int error = WSAGetLastError();
        SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
        WSASetLastError(error);
    }
    return s;
}

}  // namespace

SOCKET socket(int af, int type, int protocol) {
    return NotInherited(::socket(af, type, protocol));
}

int shutdown(SOCKET s, int how) {
    const int result = ::shutdown(s, how);
    const int error = WSAGetLastError();
    if (how == SD_RECEIVE || how == SD_BOTH)
        Marks().Shut(s);
    WSASetLastError(error);  // the cancellation's own calls may have changed it
    return result;
}

SOCKET accept(SOCKET s, sockaddr* address, int* addressLength) {
    if (!Marks().Enter(s)) {
        WSASetLastError(WSAEINTR);
        return INVALID_SOCKET;
    }
    const SOCKET accepted = ::accept(s, address, addressLength);
    const int error = WSAGetLastError();
    Marks().Leave(s);
    if (accepted == INVALID_SOCKET) {
        WSASetLastError(Interrupted(error));
    } else {
        Marks().Forget(accepted);  // a handle value closed behind the library's back
    }
    return NotInherited(accepted);
}

int recv(SOCKET s, void* buffer, int length, int flags) {
    if (!Marks().Enter(s)) {
        WSASetLastError(WSAEINTR);
        return SOCKET_ERROR;
    }
    const int received = ::recv(s, static_cast<char*>(buffer), length, flags);
    const int error = WSAGetLastError();
    Marks().Leave(s);
    if (received == SOCKET_ERROR)
        WSASetLastError(Interrupted(error));
    return received;
}

int closesocket(SOCKET s) {
    Marks().Forget(s);
    return ::closesocket(s);
}

}  // namespace TKV::platform
