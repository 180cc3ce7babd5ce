// CClientSocket: a connected TCP endpoint with a receiver thread, and ISOReceiver, the agent's
// interface that the receiver thread hands the received bytes to.
#ifndef TKV_CLIENT_SOCKET_H
#define TKV_CLIENT_SOCKET_H

#include <atomic>

#include "tkv/export.h"
#include "tkv/socket.h"

namespace TKV {

class CClientSocket;

// Implemented by the agent; called on the receiver thread. The library never owns one.
struct TKV_API ISOReceiver {
    // Asked before the result of every receive is handled; true ends the thread.
    virtual bool IsStopping() = 0;
    // size (1 or more) bytes at data, valid only during the call (the buffer is reused by the
    // next receive); false ends the thread with GetLastError() 0.
    virtual bool OnReceive(CClientSocket* socket, unsigned char* data, int size) = 0;
    // The peer closed the connection in an orderly way; called at most once. An owner's own
    // Shutdown is never reported here.
    virtual void OnDisconnect(CClientSocket* socket) = 0;

  protected:
    ~ISOReceiver() = default;
};

// A connected endpoint: it connects out (Connect) or wraps a handle that a listen thread
// accepted, sends on the owner's threads, and runs one receiver thread (Receive) that blocks in
// recv and hands each chunk to the ISOReceiver. The thread ends when the peer closes, a receive
// fails, the receiver says stop, or another thread calls Shutdown; it leaves the object without
// a handle. The owner stops it with Shutdown then WaitForThreadExit, and destroys the object only
// after the thread has ended. At most one receiver thread per object in its life.
class TKV_API CClientSocket : public CSocket {
  public:
    explicit CClientSocket(int bufferSize = DefaultBufferSize);
    CClientSocket(ISOReceiver* receiver, int bufferSize);
    // Takes over an accepted handle (see the wrapping CSocket constructor).
    CClientSocket(ISOReceiver* receiver, unsigned int socket, int bufferSize);
    // Neither shuts down nor closes the handle: the owner calls Shutdown first.
    ~CClientSocket() override;

    // Closes an earlier handle, resolves info's host and connects; false with GetLastError() set.
    // After a failure the new handle stays open until Shutdown (or the next Connect).
    bool Connect(TSOSocketInfo* info);
    // One send call; its result (-1 with GetLastError() set), or 0 without a handle.
    int Send(const void* data, int size);
    // One recv into the buffer; its result (-1 with GetLastError() set), or 0 without a handle.
    int Read();
    // Starts the receiver thread; its handle (the caller's to close), or null when a receiver
    // thread was started before.
    void* Receive(unsigned long creationFlags);
    void SetReceiver(ISOReceiver* receiver) {
        m_receiver.store(receiver, std::memory_order_release);
    }

  protected:
    unsigned long ReceiverProc();
    static unsigned long WINAPI ReceiverThreadProc(void* param);

    // Not owned; read by the receiver thread, so stores are atomic.
    std::atomic<ISOReceiver*> m_receiver;
};

}  // namespace TKV

#endif  // TKV_CLIENT_SOCKET_H
