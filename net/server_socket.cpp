// CServerSocket: the listen thread that binds, listens and hands every accepted connection over.
#include "tkv/server_socket.h"

#include <string.h>

#include "net/socket_handle.h"
#include "platform/winsock.h"
#include "tkv/heap.h"
#include "tkv/string_functions.h"
#include "tkv/winapi.h"

namespace TKV {

namespace {

constexpr int kTextSize = 1025;
// The largest backlog; the system trims it to its own limit.
constexpr int kBacklog = 0x7fffffff;

}  // namespace

CServerSocket::CServerSocket(ISOListener* listener, int bufferSize, TSOSocketInfo* info)
    : CSocket(info, bufferSize), m_listener(listener) {}

CServerSocket::~CServerSocket() {
    m_listener.store(nullptr, std::memory_order_relaxed);
}

int CServerSocket::Listen() {
    // The handle exists before the thread runs, so a Shutdown right after Listen finds it and
    // ends the thread. Only the first Listen gets here with no worker yet.
    if (m_worker.load(std::memory_order_acquire) == 0) {
        SetSocket(platform::socket(m_family, m_type, m_protocol));
    }
    HANDLE thread = StartWorker(&CServerSocket::ListenThreadProc, 0);
    if (thread == nullptr) {
        // A thread started before keeps the object marked; a failed creation leaves it unmarked.
        return m_worker.load(std::memory_order_acquire) != 0 ? -1 : 0;
    }
    DWORD code = 0;
    if (GetExitCodeThread(thread, &code) && code == STILL_ACTIVE) {
        // The handle stays open for WaitForThreadExit, which finds it in the thread registry.
        return 1;
    }
    CloseHandle(thread);
    return 0;
}

bool CServerSocket::Pause() {
    return true;
}

bool CServerSocket::Resume() {
    return true;
}

unsigned long WINAPI CServerSocket::ListenThreadProc(void* param) {
    if (param == nullptr) {
        return 0;
    }
    CServerSocket* self = static_cast<CServerSocket*>(param);
    const unsigned long code = self->ListenProc();
    self->EndWorker();
    return code;
}

// Listen made the handle. Failures of resolution, bind and listen end the thread with the
// listening handle still open: the owner's Shutdown or the destructor closes it.
unsigned long CServerSocket::ListenProc() {
    ISOListener* listener = m_listener.load(std::memory_order_acquire);
    if (listener != nullptr) {
        listener->OnSocketCreated(GetSocket());
    }

    MemFree(m_address.lpSockaddr);
    m_address = {nullptr, 0};
    if (CSocketUtil::GetHostAddress(m_host, m_family, m_protocol, m_type, m_port, &m_address) ==
        0) {
        const int error = WSAGetLastError();
        if (listener != nullptr) {
            listener->OnError(this, error);
        }
        return 0;
    }
    SetIPText();

    // The listener is called outside the use, so it may shut the server down from there.
    bool bound = false;
    bool listening = false;
    int error = WSAENOTSOCK;  // shut down before the bind could start
    {
        detail::HandleUse use(m_socket);
        if (use) {
            bound = platform::bind(use.Get(), m_address.lpSockaddr, m_address.iSockaddrLength) !=
                    SOCKET_ERROR;
            listening = bound && platform::listen(use.Get(), kBacklog) != SOCKET_ERROR;
            error = listening ? 0 : WSAGetLastError();
        }
    }
    if (!listening) {
        // A bind failure is only reported; a listen failure is stored as well.
        if (bound) {
            SetSocketError(error);
        }
        if (listener != nullptr) {
            listener->OnError(this, error);
        }
        return 0;
    }

    SetIPText();
    TSOHostNameW name;
    if (CSocketUtil::GetHostNameW(m_address.lpSockaddr, m_address.iSockaddrLength, &name, 0) == 0) {
        StrSafeCopy(m_host, name.name, kTextSize - 1);
    }
    if (listener != nullptr) {
        listener->OnListen(m_host, m_ipAddress, m_port);
    }
    SetSocketError(0);

    for (;;) {
        listener = m_listener.load(std::memory_order_acquire);
        if (listener == nullptr || listener->IsStopping()) {
            Shutdown();
            return 1;
        }
        SOCKET accepted = INVALID_SOCKET;
        {
            detail::HandleUse use(m_socket);
            if (use) {
                sockaddr_storage peer;
                int length = m_address.iSockaddrLength;
                if (length > static_cast<int>(sizeof(peer))) {
                    length = static_cast<int>(sizeof(peer));
                }
                accepted = platform::accept(use.Get(), reinterpret_cast<sockaddr*>(&peer), &length);
            } else {
                WSASetLastError(WSAEINTR);  // shut down before the accept could start
            }
        }
        if (listener->IsStopping()) {
            if (accepted != INVALID_SOCKET) {
                platform::closesocket(accepted);
            }
            Shutdown();
            return 0;
        }
        if (accepted == INVALID_SOCKET) {
            // The thread's error as it stands once IsStopping has answered.
            const int error = WSAGetLastError();
            SetSocketError(error);
            listener->OnError(this, error);
            Shutdown();
            return 0;
        }
        const int dontLinger = 1;
        platform::setsockopt(accepted, SOL_SOCKET, SO_DONTLINGER, &dontLinger, sizeof(dontLinger));
        listener->OnAccept(this, accepted);
        if (m_listener.load(std::memory_order_acquire) == nullptr) {
            Shutdown();
            return 1;
        }
    }
}

}  // namespace TKV
