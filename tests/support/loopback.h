// Loopback helpers for the socket tests: listening sockets on 127.0.0.1 or ::1 at a port the
// system picks, a connected pair, and the count of open descriptors (for leak checks).
#ifndef TKV_TESTS_SUPPORT_LOOPBACK_H
#define TKV_TESTS_SUPPORT_LOOPBACK_H

#include <gtest/gtest.h>

#include "host.h"
#include "platform/winsock.h"

namespace TKV::test {

inline sockaddr_in Loopback(unsigned short port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

// The local port of a bound socket of either family.
inline unsigned short PortOf(SOCKET s) {
    sockaddr_storage a{};
    int length = sizeof(a);
    EXPECT_EQ(platform::getsockname(s, reinterpret_cast<sockaddr*>(&a), &length), 0);
    return ntohs(a.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&a)->sin6_port
                                         : reinterpret_cast<sockaddr_in*>(&a)->sin_port);
}

inline SOCKET ListenOnLoopback(bool ipv6 = false, int backlog = SOMAXCONN) {
    SOCKET s = platform::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in v4 = Loopback(0);
    sockaddr_in6 v6{};
    v6.sin6_family = AF_INET6;
    v6.sin6_addr = in6addr_loopback;
    EXPECT_EQ(ipv6 ? platform::bind(s, reinterpret_cast<sockaddr*>(&v6), sizeof(v6))
                   : platform::bind(s, reinterpret_cast<sockaddr*>(&v4), sizeof(v4)),
              0);
    EXPECT_EQ(platform::listen(s, backlog), 0);
    return s;
}

// A connected IPv4 pair: client and accepted ends, both closed with the pair.
struct LoopbackPair {
    explicit LoopbackPair(SOCKET listener) {
        client = platform::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in a = Loopback(PortOf(listener));
        EXPECT_EQ(platform::connect(client, reinterpret_cast<sockaddr*>(&a), sizeof(a)), 0);
        server = platform::accept(listener, nullptr, nullptr);
        EXPECT_NE(server, INVALID_SOCKET);
    }
    ~LoopbackPair() {
        Close(client);
        Close(server);
    }
    static void Close(SOCKET& s) {
        if (s != INVALID_SOCKET) {
            platform::closesocket(s);
        }
        s = INVALID_SOCKET;
    }
    SOCKET client = INVALID_SOCKET;
    SOCKET server = INVALID_SOCKET;
};

}  // namespace TKV::test

#endif  // TKV_TESTS_SUPPORT_LOOPBACK_H
