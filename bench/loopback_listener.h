// A listening socket on 127.0.0.1 at a port the system picks, for the network benchmarks.
#ifndef TKV_BENCH_LOOPBACK_LISTENER_H
#define TKV_BENCH_LOOPBACK_LISTENER_H

#include "platform/winsock.h"
#include "tkv/socket_util.h"

namespace TKV::bench {

// Starts Winsock for its lifetime and listens; Port() is where to connect.
class LoopbackListener {
  public:
    explicit LoopbackListener(int backlog) {
        InitWSA();
        socket_ = platform::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int length = sizeof(a);
        platform::bind(socket_, reinterpret_cast<sockaddr*>(&a), length);
        platform::getsockname(socket_, reinterpret_cast<sockaddr*>(&a), &length);
        platform::listen(socket_, backlog);
        port_ = ntohs(a.sin_port);
    }
    ~LoopbackListener() {
        platform::closesocket(socket_);
        CloseWSA();
    }
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    SOCKET Socket() const { return socket_; }
    unsigned short Port() const { return port_; }

  private:
    SOCKET socket_ = 0;
    unsigned short port_ = 0;
};

}  // namespace TKV::bench

#endif  // TKV_BENCH_LOOPBACK_LISTENER_H
