// CSocket: the base of the library's TCP endpoints (CClientSocket, CServerSocket).
#ifndef TKV_SOCKET_H
#define TKV_SOCKET_H

#include <atomic>

#include "tkv/export.h"
#include "tkv/lock.h"
#include "tkv/socket_util.h"
#include "tkv/winapi.h"
#include "tkv/winsock.h"

namespace TKV {

// A socket keeps its setup (family, protocol, type, host, port), the texts of its address, the
// connection handle, one receive buffer, a lock, the id of the one worker thread it may start in
// its life (a receiver or a listen thread) and the last Winsock error of its operations.
// Errors are never raised: operations return the Winsock result and store the error, which
// GetLastError returns and GetErrorDesc puts into words.
//
// Threads: the owner's threads and the one worker thread. Shutdown may be called from any of
// them and is the way to end a worker blocked in recv or accept; the handle stays open while a
// call is still running on it, and is closed by whichever thread leaves it last.
//
// Copying is not offered: a copy would share the handle and the worker thread with its original.
class TKV_API CSocket {
  public:
    static constexpr int DefaultBufferSize = 8912;

    // A size below 1 stands for DefaultBufferSize.
    explicit CSocket(int bufferSize = DefaultBufferSize);
    // Takes the setup from info, as Connect and Listen use it.
    CSocket(TSOSocketInfo* info, int bufferSize);
    // Wraps a connected handle: the peer's address, numeric text and (reverse looked-up) name.
    CSocket(unsigned int socket, int bufferSize);
    // Shuts down and closes a handle that is still open; releases the buffer and address.
    virtual ~CSocket();
    CSocket(const CSocket&) = delete;
    CSocket& operator=(const CSocket&) = delete;

    virtual const wchar_t* GetHost() const;
    virtual const wchar_t* GetIPAddress() const;
    virtual unsigned short GetPort() const;
    // Shuts the connection down and gives up the handle (GetSocket reads 0 at once); safe from
    // any thread and against racing calls. A recv or accept blocked on it returns.
    virtual void Shutdown();

    unsigned int GetSocket() const;
    unsigned char* GetBuffer() const { return m_buffer; }
    int GetBufferSize() const { return m_bufferSize; }
    unsigned long GetThreadID() const { return m_threadId.load(std::memory_order_acquire); }
    // The error stored by the last failing operation (0 = none), not the thread's error.
    unsigned long GetLastError() const;
    // The English sentence for GetLastError().
    const wchar_t* GetErrorDesc() const;

    // Waits up to timeout milliseconds for the worker thread; at once if none is running.
    void WaitForThreadExit(int timeout);
    // Switches the handle to non-blocking (on != 0) or blocking mode.
    void SetAsyncMode(int on);
    // Grows the buffer to size (below 1: DefaultBufferSize); never shrinks it. Returns the size
    // in use. While a worker thread runs the buffer is not grown: a receiver reads into it
    // unlocked.
    int SetBufferSize(int size);

    void Lock() { m_lock.Lock(); }
    void Unlock() { m_lock.Unlock(); }

  protected:
    void Init(int bufferSize);
    void SetupSocket(TSOSocketInfo* info);
    void SetSocketError(int error);
    // Derives the numeric address text from address (port cut off); unchanged on failure.
    void SetIPText();
    // Replaces the handle (an earlier one is shut down and closed first).
    void SetSocket(unsigned int socket);
    // The worker-thread start shared by Receive and Listen: created suspended, registered,
    // resumed. Null, with nothing started, when a worker was started before or creation fails.
    void* StartWorker(unsigned long(WINAPI* entry)(void*), unsigned long creationFlags);
    // The worker's last acts: it is marked ended and deregisters itself.
    void EndWorker();
    bool WorkerRunning() const;

    unsigned short m_family;
    IPPROTO m_protocol;
    unsigned short m_type;
    unsigned short m_port;
    wchar_t m_host[1025];
    wchar_t m_ipAddress[1025];
    // Owned MemAlloc copy of the resolved or peer address; written by Connect, the wrapping
    // constructor and the listen thread, never by two threads at once.
    SOCKET_ADDRESS m_address;
    // The handle (low 32 bits, 0 = none) and the count of calls in flight on it (high 32 bits);
    // atomic, changed only through the helpers of net/socket_handle.h.
    std::atomic<unsigned long long> m_socket;
    // Guarded by m_lock in SetBufferSize; the receiver thread alone uses them while it runs.
    int m_bufferSize;
    unsigned char* m_buffer;
    CLock m_lock;
    // Set once by the thread that starts the worker, before the worker runs.
    std::atomic<unsigned long> m_threadId;
    // Written by the owner's operations and the worker thread alike.
    std::atomic<int> m_lastError;
    // 0 no worker yet, 1 started and running, 2 ended; guards the one-worker rule.
    std::atomic<int> m_worker;
};

}  // namespace TKV

#endif  // TKV_SOCKET_H
