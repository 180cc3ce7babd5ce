// CClientSocket: connect, send, and the receiver thread that hands received chunks to the agent.
#include "tkv/client_socket.h"

#include "net/socket_handle.h"
#include "platform/winsock.h"
#include "tkv/heap.h"
#include "tkv/winapi.h"

namespace TKV {

CClientSocket::CClientSocket(int bufferSize) : CSocket(bufferSize), m_receiver(nullptr) {}

CClientSocket::CClientSocket(ISOReceiver* receiver, int bufferSize)
    : CSocket(bufferSize), m_receiver(receiver) {}

CClientSocket::CClientSocket(ISOReceiver* receiver, unsigned int socket, int bufferSize)
    : CSocket(socket, bufferSize), m_receiver(receiver) {}

CClientSocket::~CClientSocket() {
    m_receiver.store(nullptr, std::memory_order_relaxed);
    // The handle stays open: whoever owns the connection shuts it down.
    detail::DetachHandle(m_socket);
}

bool CClientSocket::Connect(TSOSocketInfo* info) {
    Shutdown();
    // A receiver thread of the earlier connection must be gone before a new handle goes in:
    // it would take the new connection for its own and shut it down. The Shutdown above ends
    // it; only its own thread (reconnecting from a callback) does not wait for it.
    if (GetThreadID() != GetCurrentThreadId()) {
        while (WorkerRunning()) {
            Sleep(1);
        }
    }
    SetupSocket(info);
    SetSocket(platform::socket(m_family, m_type, m_protocol));
    SOCKET_ADDRESS resolved = {nullptr, 0};
    if (CSocketUtil::GetHostAddress(m_host, m_family, m_protocol, m_type, m_port, &resolved) == 0) {
        SetSocketError(WSAGetLastError());
        return false;
    }
    // The address of an earlier connection is not needed any more.
    MemFree(m_address.lpSockaddr);
    m_address = resolved;
    SetIPText();
    detail::HandleUse use(m_socket);
    if (!use) {
        // Another thread shut the socket down while it was being set up.
        SetSocketError(WSAENOTSOCK);
        return false;
    }
    if (platform::connect(use.Get(), m_address.lpSockaddr, m_address.iSockaddrLength) ==
        SOCKET_ERROR) {
        SetSocketError(WSAGetLastError());
        return false;
    }
    return true;
}

int CClientSocket::Send(const void* data, int size) {
    detail::HandleUse use(m_socket);
    if (!use) {
        return 0;
    }
    const int sent = platform::send(use.Get(), data, size, 0);
    if (sent == SOCKET_ERROR) {
        SetSocketError(WSAGetLastError());
    }
    return sent;
}

int CClientSocket::Read() {
    if (m_buffer == nullptr) {
        return 0;
    }
    detail::HandleUse use(m_socket);
    if (!use) {
        return 0;
    }
    const int received = platform::recv(use.Get(), m_buffer, m_bufferSize, 0);
    if (received == SOCKET_ERROR) {
        SetSocketError(WSAGetLastError());
    }
    return received;
}

void* CClientSocket::Receive(unsigned long creationFlags) {
    return StartWorker(&CClientSocket::ReceiverThreadProc, creationFlags);
}

unsigned long WINAPI CClientSocket::ReceiverThreadProc(void* param) {
    if (param == nullptr) {
        return 0;
    }
    CClientSocket* self = static_cast<CClientSocket*>(param);
    const unsigned long code = self->ReceiverProc();
    self->EndWorker();
    return code;
}

// Every path after the first checks ends in Shutdown (through the virtual table, so a derived
// class sees it) and exit code 1. An owner's Shutdown takes the handle before it wakes the recv,
// so the thread finds the handle gone and ends without reporting a disconnect.
unsigned long CClientSocket::ReceiverProc() {
    {
        detail::HandleUse use(m_socket);
        if (use) {
            unsigned long blocking = 0;
            platform::ioctlsocket(use.Get(), FIONBIO, &blocking);
        }
    }
    if (m_buffer == nullptr || GetSocket() == 0) {
        return 0;
    }
    SetSocketError(0);
    int received = Read();
    if (GetSocket() == 0) {
        Shutdown();
        return 1;
    }
    for (;;) {
        ISOReceiver* receiver = m_receiver.load(std::memory_order_acquire);
        if (receiver == nullptr || receiver->IsStopping()) {
            Shutdown();
            return 1;
        }
        if (received == 0) {
            receiver->OnDisconnect(this);
            Shutdown();
            return 1;
        }
        if (received == SOCKET_ERROR) {
            // Errors that say the handle itself is unusable win over what the receive stored.
            const int error = WSAGetLastError();
            if (error == WSAEFAULT || error == WSAEINVAL || error == WSAENOTSOCK ||
                error == WSAENOTCONN || error == WSANOTINITIALISED) {
                SetSocketError(error);
            }
            Shutdown();
            return 1;
        }
        if (!receiver->OnReceive(this, m_buffer, received)) {
            SetSocketError(0);
            Shutdown();
            return 1;
        }
        received = Read();
        if (GetSocket() == 0) {
            Shutdown();
            return 1;
        }
    }
}

}  // namespace TKV
