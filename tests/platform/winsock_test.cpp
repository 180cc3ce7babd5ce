#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "platform/winsock.h"
#include "tests/support/loopback.h"

namespace platform = TKV::platform;
using namespace TKV::test;

namespace {

// Every test but the start-up ones runs with Winsock started and must leave no descriptor open.
class Winsock : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::WSADATA data;
        ASSERT_EQ(platform::WSAStartup(0x0202, &data), 0);
        descriptors_ = CountOpenDescriptors();
    }
    void TearDown() override {
        EXPECT_EQ(CountOpenDescriptors(), descriptors_) << "a descriptor leaked";
        platform::WSACleanup();
    }
    int descriptors_ = 0;
};

// A listening socket of one test, closed with it.
struct Listener {
    SOCKET s = ListenOnLoopback();
    ~Listener() { platform::closesocket(s); }
    operator SOCKET() const { return s; }
};

}  // namespace

TEST(WinsockStartup, CallsFailUntilStartedAndAfterLastCleanup) {
    EXPECT_EQ(platform::socket(AF_INET, SOCK_STREAM, 0), INVALID_SOCKET);
    EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);

    platform::WSADATA data;
    EXPECT_EQ(platform::WSAStartup(0x0000, &data), WSAVERNOTSUPPORTED);
    ASSERT_EQ(platform::WSAStartup(0x0202, &data), 0);
    EXPECT_EQ(data.wVersion, 0x0202);
    ASSERT_EQ(platform::WSAStartup(0x0202, &data), 0);
    EXPECT_EQ(platform::WSACleanup(), 0);
    SOCKET s = platform::socket(AF_INET, SOCK_STREAM, 0);
    EXPECT_NE(s, INVALID_SOCKET);
    EXPECT_EQ(platform::WSACleanup(), 0);
    EXPECT_EQ(platform::listen(s, 1), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
    EXPECT_EQ(platform::closesocket(s), 0);  // closing never needs a started layer
    EXPECT_EQ(platform::WSACleanup(), SOCKET_ERROR);
}

TEST(WinsockErrors, SharesTheThreadsLastError) {
    WSASetLastError(WSAECONNRESET);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(WSAECONNRESET));
    SetLastError(WSAEINTR);
    EXPECT_EQ(WSAGetLastError(), WSAEINTR);
}

TEST_F(Winsock, BindErrorsUseWinsockNumbers) {
    // A port in use is reported through CServerSocket's listener.
    SOCKET s = platform::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in foreign = Loopback(0);
    foreign.sin_addr.s_addr = htonl(0xC0000201);  // 192.0.2.1: no local interface has it
    EXPECT_EQ(platform::bind(s, reinterpret_cast<sockaddr*>(&foreign), sizeof(foreign)),
              SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEADDRNOTAVAIL);
    EXPECT_EQ(platform::listen(s, 1), SOCKET_ERROR);  // never bound: no port chosen for it
    EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
    EXPECT_EQ(platform::recv(INVALID_SOCKET, nullptr, 0, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
    platform::closesocket(s);
}

TEST_F(Winsock, PeekedBytesCountAsPending) {
    Listener listener;
    LoopbackPair p(listener);
    char buffer[8];
    ASSERT_EQ(platform::send(p.server, "hello", 5, 0), 5);
    ASSERT_EQ(platform::recv(p.client, buffer, 5, MSG_PEEK | MSG_WAITALL), 5);
    unsigned long ready = 0;
    EXPECT_EQ(platform::ioctlsocket(p.client, FIONREAD, &ready), 0);
    EXPECT_EQ(ready, 5u);
}

// A listener restarted on its port binds at once while the old connection sits in TIME_WAIT.
TEST_F(Winsock, ListenerRebindsPortHeldInTimeWait) {
    unsigned short port;
    {
        Listener listener;
        port = PortOf(listener);
        LoopbackPair p(listener);
        LoopbackPair::Close(p.server);  // the active close leaves the server's end in TIME_WAIT
        char byte;
        EXPECT_EQ(platform::recv(p.client, &byte, 1, 0), 0);
    }
    SOCKET again = platform::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a = Loopback(port);
    EXPECT_EQ(platform::bind(again, reinterpret_cast<sockaddr*>(&a), sizeof(a)), 0);
    EXPECT_EQ(platform::listen(again, SOMAXCONN), 0);
    platform::closesocket(again);
}

// A program the agent starts must not keep its connections (or its port) open.
TEST_F(Winsock, SocketsAreNotInheritedByChildPrograms) {
    SOCKET s = platform::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_NE(s, INVALID_SOCKET);
    EXPECT_FALSE(IsInheritedByChildren(s));
    platform::closesocket(s);

    Listener listener;
    LoopbackPair p(listener);
    EXPECT_FALSE(IsInheritedByChildren(p.server));
}

// Own send shut down: sending is refused, and the peer reads an orderly end.
TEST_F(Winsock, HalfCloseRefusesOwnSendAndPeerReadsZero) {
    Listener listener;
    LoopbackPair p(listener);
    ASSERT_EQ(platform::shutdown(p.client, SD_SEND), 0);
    EXPECT_EQ(platform::send(p.client, "x", 1, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAESHUTDOWN);
    char byte;
    EXPECT_EQ(platform::recv(p.server, &byte, 1, 0), 0);
}

// The plain IPv4 and IPv6 forms are checked through CSocketUtil; here what only this layer does.
TEST_F(Winsock, AddressTextsCarryScopeAndReportTheRoomTheyNeed) {
    sockaddr_in6 v6{};
    v6.sin6_family = AF_INET6;
    v6.sin6_addr = in6addr_loopback;
    v6.sin6_port = htons(80);
    v6.sin6_scope_id = 3;
    wchar_t text[64];
    DWORD size = 64;
    ASSERT_EQ(platform::WSAAddressToStringW(reinterpret_cast<sockaddr*>(&v6), sizeof(v6), nullptr,
                                            text, &size),
              0);
    EXPECT_STREQ(text, L"[::1%3]:80");
    EXPECT_EQ(size, wcslen(text) + 1);  // the count includes the terminator

    char small[4];
    size = sizeof(small);
    sockaddr_in v4 = Loopback(8080);
    EXPECT_EQ(platform::WSAAddressToStringA(reinterpret_cast<sockaddr*>(&v4), sizeof(v4), nullptr,
                                            small, &size),
              SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEFAULT);
    EXPECT_EQ(size, 15u);
    v4.sin_family = AF_UNIX;
    EXPECT_EQ(platform::WSAAddressToStringA(reinterpret_cast<sockaddr*>(&v4), sizeof(v4), nullptr,
                                            small, &size),
              SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
}
