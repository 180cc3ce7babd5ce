// CSocket: setup, handle, buffer and error of an endpoint, and the worker-thread start shared by
// the client's receiver thread and the server's listen thread.
#include "tkv/socket.h"

#include <string.h>

#include "net/socket_handle.h"
#include "platform/winsock.h"
#include "tkv/heap.h"
#include "tkv/string_functions.h"
#include "tkv/thread_registry.h"
#include "tkv/winapi.h"

namespace TKV {

namespace {

constexpr int kTextSize = 1025;       // host and address texts, terminator included
constexpr int kPeerAddressSize = 28;  // room for an IPv6 socket address

constexpr int kNoWorker = 0;
constexpr int kWorkerRunning = 1;
constexpr int kWorkerEnded = 2;

}  // namespace

CSocket::CSocket(int bufferSize) {
    Init(bufferSize);
}

CSocket::CSocket(TSOSocketInfo* info, int bufferSize) {
    Init(bufferSize);
    SetupSocket(info);
}

CSocket::CSocket(unsigned int socket, int bufferSize) {
    Init(bufferSize);
    detail::InstallHandle(m_socket, socket);
    unsigned char peer[kPeerAddressSize] = {};
    int length = kPeerAddressSize;
    if (CSocketUtil::GetPeerName(socket, reinterpret_cast<sockaddr*>(peer), &length) != 0) {
        return;  // not connected: keep the handle and the defaults
    }
    void* copy = MemAlloc(static_cast<unsigned int>(length));
    if (copy == nullptr) {
        return;
    }
    memcpy(copy, peer, static_cast<size_t>(length));
    m_address.lpSockaddr = static_cast<sockaddr*>(copy);
    m_address.iSockaddrLength = length;
    TSOHostNameW name;
    if (CSocketUtil::GetHostNameW(m_address.lpSockaddr, length, &name, 0) == 0) {
        StrSafeCopy(m_host, name.name, kTextSize - 1);
    }
    SetIPText();
}

CSocket::~CSocket() {
    detail::RetireHandle(m_socket);
    MemFree(m_buffer);
    MemFree(m_address.lpSockaddr);
}

void CSocket::Init(int bufferSize) {
    m_family = SOFamilyInet;
    m_protocol = SOProtocolTCP;
    m_type = SOTypeStream;
    m_port = 0;
    m_host[0] = L'\0';
    m_ipAddress[0] = L'\0';
    m_address.lpSockaddr = nullptr;
    m_address.iSockaddrLength = 0;
    m_socket.store(0, std::memory_order_relaxed);
    m_bufferSize = bufferSize >= 1 ? bufferSize : DefaultBufferSize;
    m_threadId.store(0, std::memory_order_relaxed);
    m_lastError.store(0, std::memory_order_relaxed);
    m_worker.store(kNoWorker, std::memory_order_relaxed);
    m_buffer = static_cast<unsigned char*>(MemAlloc(static_cast<unsigned int>(m_bufferSize)));
}

void CSocket::SetupSocket(TSOSocketInfo* info) {
    if (info == nullptr) {
        return;
    }
    m_family = info->family;
    m_protocol = info->protocol;
    m_type = info->type;
    m_port = info->port;
    StrSafeCopy(m_host, info->host, kTextSize - 1);
}

void CSocket::SetSocketError(int error) {
    m_lastError.store(error, std::memory_order_relaxed);
}

void CSocket::SetIPText() {
    wchar_t text[kTextSize];
    if (CSocketUtil::IPAddressToString(&m_address, text, kTextSize) != 0) {
        StrSafeCopy(m_ipAddress, text, kTextSize - 1);
    }
}

void CSocket::SetSocket(unsigned int socket) {
    detail::InstallHandle(m_socket, socket);
}

const wchar_t* CSocket::GetHost() const {
    return m_host;
}

const wchar_t* CSocket::GetIPAddress() const {
    return m_ipAddress;
}

unsigned short CSocket::GetPort() const {
    return m_port;
}

unsigned int CSocket::GetSocket() const {
    return detail::LoadHandle(m_socket);
}

unsigned long CSocket::GetLastError() const {
    return static_cast<unsigned long>(m_lastError.load(std::memory_order_relaxed));
}

const wchar_t* CSocket::GetErrorDesc() const {
    return CSocketUtil::PrintSocketError(m_lastError.load(std::memory_order_relaxed));
}

// No lock: the handle word makes racing calls (owner and worker) take the handle once, and a
// call still blocked on it closes it as it returns.
void CSocket::Shutdown() {
    detail::RetireHandle(m_socket);
}

void CSocket::WaitForThreadExit(int timeout) {
    const unsigned long id = m_threadId.load(std::memory_order_acquire);
    if (id == 0) {
        return;
    }
    // A thread that has ended has deregistered itself and yields no handle.
    HANDLE thread = GetThreadHandle(static_cast<unsigned int>(id));
    if (thread != nullptr) {
        WaitForSingleObject(thread, static_cast<DWORD>(static_cast<unsigned int>(timeout)));
    }
}

void CSocket::SetAsyncMode(int on) {
    detail::HandleUse use(m_socket);
    if (use) {
        unsigned long mode = on != 0 ? 1 : 0;
        platform::ioctlsocket(use.Get(), FIONBIO, &mode);
    }
}

int CSocket::SetBufferSize(int size) {
    const int wanted = size >= 1 ? size : DefaultBufferSize;
    // A running receiver thread reads into the buffer without a lock: moving it would pull the
    // memory from under a blocked recv. The test is made under the lock that StartWorker's claim
    // also takes, so a thread cannot start between the test and the move.
    Lock();
    if (wanted > m_bufferSize && !WorkerRunning()) {
        void* grown = m_buffer != nullptr ? MemRealloc(m_buffer, static_cast<unsigned int>(wanted))
                                          : MemAlloc(static_cast<unsigned int>(wanted));
        if (grown != nullptr) {
            m_buffer = static_cast<unsigned char*>(grown);
            m_bufferSize = wanted;
        }
    }
    Unlock();
    return m_bufferSize;
}

void* CSocket::StartWorker(unsigned long(WINAPI* entry)(void*), unsigned long creationFlags) {
    int expected = kNoWorker;
    Lock();  // against SetBufferSize moving the buffer while the claim is made
    const bool claimed =
        m_worker.compare_exchange_strong(expected, kWorkerRunning, std::memory_order_acq_rel);
    Unlock();
    if (!claimed) {
        return nullptr;
    }
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, entry, this, creationFlags | CREATE_SUSPENDED, &id);
    if (thread == nullptr) {
        // Nothing ran: the object may try again, as its thread id is still 0.
        m_worker.store(kNoWorker, std::memory_order_release);
        return nullptr;
    }
    m_threadId.store(id, std::memory_order_release);
    // Registered while suspended, so WaitForThreadExit finds it from the moment it can run.
    RegisterThread(static_cast<unsigned int>(id), thread);
    ResumeThread(thread);
    return thread;
}

void CSocket::EndWorker() {
    m_worker.store(kWorkerEnded, std::memory_order_release);
    // The last act: once deregistered, the owner may destroy the object at any moment.
    DeRegisterThread(static_cast<unsigned int>(GetCurrentThreadId()));
}

bool CSocket::WorkerRunning() const {
    return m_worker.load(std::memory_order_acquire) == kWorkerRunning;
}

}  // namespace TKV
