// CServerSocket: the listening TCP endpoint with its listen thread, and ISOListener, the agent's
// interface that the listen thread reports to.
#ifndef TKV_SERVER_SOCKET_H
#define TKV_SERVER_SOCKET_H

#include <atomic>

#include "tkv/export.h"
#include "tkv/socket.h"

namespace TKV {

class CServerSocket;

// Implemented by the agent; called on the listen thread. The library never owns one.
struct TKV_API ISOListener {
    // Asked before each accept and as each accept returns; true ends the thread.
    virtual bool IsStopping() = 0;
    // The listening handle was created and is not bound yet: the place to set options on it.
    virtual void OnSocketCreated(unsigned int socket) = 0;
    // Never called by the library.
    virtual void Reserved() {}
    // An accepted connection; the handle is the listener's from now on.
    virtual void OnAccept(CServerSocket* server, unsigned int socket) = 0;
    // Listening has begun on the server's host, numeric address text and configured port.
    virtual void OnListen(const wchar_t* host, const wchar_t* ipAddress, unsigned short port) = 0;
    // Resolving, binding, listening or accepting failed with this Winsock error; the thread ends.
    virtual void OnError(CServerSocket* server, int error) = 0;

  protected:
    ~ISOListener() = default;
};

// A listening endpoint. Listen creates the listening handle and starts one listen thread that binds
// it to the configured host and port, listens and accepts one connection after the other, handing
// each to the listener's OnAccept (which typically wraps it in a CClientSocket and starts its
// receiver). The owner stops it by making IsStopping answer true and calling Shutdown, then
// WaitForThreadExit; the object must outlive the thread. At most one listen thread per object.
class TKV_API CServerSocket : public CSocket {
  public:
    // info must not be null; a host of "any" or empty binds every local address.
    CServerSocket(ISOListener* listener, int bufferSize, TSOSocketInfo* info);
    ~CServerSocket() override;

    // -1 when a listen thread was started before; 1 while the thread runs; 0 when it has ended
    // already or could not be created.
    virtual int Listen();
    // Do nothing; true.
    virtual bool Pause();
    virtual bool Resume();

  protected:
    static unsigned long WINAPI ListenThreadProc(void* param);
    unsigned long ListenProc();

    // Not owned; read by the listen thread, so stores are atomic.
    std::atomic<ISOListener*> m_listener;
};

}  // namespace TKV

#endif  // TKV_SERVER_SOCKET_H
