#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "platform/posix/winsock_detail.h"
#include "platform/winsock.h"

namespace ws = TKV::ws;

namespace {

// Every test but the start-up ones runs with Winsock started.
class Winsock : public ::testing::Test {
  protected:
    void SetUp() override {
        ws::WSADATA data;
        ASSERT_EQ(ws::WSAStartup(0x0202, &data), 0);
    }
    void TearDown() override { ws::WSACleanup(); }
};

sockaddr_in Loopback(unsigned short port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

unsigned short PortOf(SOCKET s) {
    sockaddr_in a{};
    int length = sizeof(a);
    EXPECT_EQ(ws::getsockname(s, reinterpret_cast<sockaddr*>(&a), &length), 0);
    return ntohs(a.sin_port);
}

// A listening socket on 127.0.0.1 at a port the system picks.
SOCKET Listener() {
    SOCKET s = ws::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a = Loopback(0);
    EXPECT_EQ(ws::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof(a)), 0);
    EXPECT_EQ(ws::listen(s, SOMAXCONN), 0);
    return s;
}

// A connected pair over loopback: client and accepted ends.
struct Pair {
    SOCKET client = INVALID_SOCKET;
    SOCKET server = INVALID_SOCKET;
};

Pair Connect(SOCKET listener) {
    Pair p;
    p.client = ws::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a = Loopback(PortOf(listener));
    EXPECT_EQ(ws::connect(p.client, reinterpret_cast<sockaddr*>(&a), sizeof(a)), 0);
    p.server = ws::accept(listener, nullptr, nullptr);
    EXPECT_NE(p.server, INVALID_SOCKET);
    return p;
}

int OpenDescriptors() {
    int count = 0;
    DIR* dir = opendir("/proc/self/fd");
    while (dirent* entry = readdir(dir)) {
        count += entry->d_name[0] != '.';
    }
    closedir(dir);
    return count;
}

}  // namespace

TEST(WinsockStartup, CallsFailUntilStartedAndAfterLastCleanup) {
    EXPECT_EQ(ws::socket(AF_INET, SOCK_STREAM, 0), INVALID_SOCKET);
    EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);

    ws::WSADATA data;
    EXPECT_EQ(ws::WSAStartup(0x0000, &data), WSAVERNOTSUPPORTED);
    ASSERT_EQ(ws::WSAStartup(0x0202, &data), 0);
    EXPECT_EQ(data.wVersion, 0x0202);
    ASSERT_EQ(ws::WSAStartup(0x0202, &data), 0);
    EXPECT_EQ(ws::WSACleanup(), 0);
    SOCKET s = ws::socket(AF_INET, SOCK_STREAM, 0);
    EXPECT_NE(s, INVALID_SOCKET);
    EXPECT_EQ(ws::WSACleanup(), 0);
    EXPECT_EQ(ws::listen(s, 1), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
    EXPECT_EQ(ws::closesocket(s), 0);  // closing never needs a started layer
    EXPECT_EQ(ws::WSACleanup(), SOCKET_ERROR);
}

TEST(WinsockErrors, SharesTheThreadsLastError) {
    WSASetLastError(WSAECONNRESET);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(WSAECONNRESET));
    SetLastError(WSAEINTR);
    EXPECT_EQ(WSAGetLastError(), WSAEINTR);
}

TEST(WinsockErrors, MapsSystemAndResolverCodes) {
    using ws::detail::ErrorFromErrno;
    using ws::detail::ErrorFromResolver;
    EXPECT_EQ(ErrorFromErrno(EBADF), WSAENOTSOCK);
    EXPECT_EQ(ErrorFromErrno(EAGAIN), WSAEWOULDBLOCK);
    EXPECT_EQ(ErrorFromErrno(EPIPE), WSAECONNRESET);
    EXPECT_EQ(ErrorFromErrno(EIO), WSASYSCALLFAILURE);
    EXPECT_EQ(ErrorFromResolver(EAI_NONAME, 0), WSAHOST_NOT_FOUND);
    EXPECT_EQ(ErrorFromResolver(EAI_AGAIN, 0), WSATRY_AGAIN);
    EXPECT_EQ(ErrorFromResolver(EAI_SERVICE, 0), WSATYPE_NOT_FOUND);
    EXPECT_EQ(ErrorFromResolver(EAI_SYSTEM, ECONNREFUSED), WSAECONNREFUSED);
}

TEST_F(Winsock, ConnectToClosedPortIsRefused) {
    SOCKET probe = Listener();
    unsigned short port = PortOf(probe);
    ws::closesocket(probe);
    SOCKET s = ws::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a = Loopback(port);
    EXPECT_EQ(ws::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof(a)), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAECONNREFUSED);
    ws::closesocket(s);
}

TEST_F(Winsock, ReservedInvalidNamesDoNotResolve) {
    addrinfo* list = nullptr;
    EXPECT_EQ(ws::getaddrinfo("nothing.invalid", "80", nullptr, &list), WSAHOST_NOT_FOUND);
    EXPECT_EQ(WSAGetLastError(), WSAHOST_NOT_FOUND);
    EXPECT_EQ(ws::getaddrinfo("A.B.INVALID.", nullptr, nullptr, &list), WSAHOST_NOT_FOUND);
    EXPECT_EQ(list, nullptr);
}

TEST_F(Winsock, BindErrorsUseWinsockNumbers) {
    SOCKET listener = Listener();
    SOCKET s = ws::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in taken = Loopback(PortOf(listener));
    EXPECT_EQ(ws::bind(s, reinterpret_cast<sockaddr*>(&taken), sizeof(taken)), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEADDRINUSE);
    sockaddr_in foreign = Loopback(0);
    foreign.sin_addr.s_addr = htonl(0xC0000201);  // 192.0.2.1: no local interface has it
    EXPECT_EQ(ws::bind(s, reinterpret_cast<sockaddr*>(&foreign), sizeof(foreign)), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEADDRNOTAVAIL);
    EXPECT_EQ(ws::listen(s, 1), SOCKET_ERROR);  // never bound: no port chosen for it
    EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
    EXPECT_EQ(ws::recv(INVALID_SOCKET, nullptr, 0, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
    ws::closesocket(s);
    ws::closesocket(listener);
}

TEST_F(Winsock, ResetPeerGivesResetWithoutSignal) {
    SOCKET listener = Listener();
    Pair p = Connect(listener);
    int dontLinger = 0;  // linger on with time 0: close resets the connection
    ASSERT_EQ(ws::setsockopt(p.server, SOL_SOCKET, ws::SO_DONTLINGER, &dontLinger, sizeof(int)), 0);
    ws::closesocket(p.server);
    char byte;
    EXPECT_EQ(ws::recv(p.client, &byte, 1, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAECONNRESET);
    EXPECT_EQ(ws::send(p.client, "x", 1, 0), SOCKET_ERROR);  // no SIGPIPE ends the test
    EXPECT_EQ(WSAGetLastError(), WSAECONNRESET);
    ws::closesocket(p.client);
    ws::closesocket(listener);
}

TEST_F(Winsock, NonBlockingModeAndPendingByteCount) {
    SOCKET listener = Listener();
    Pair p = Connect(listener);
    unsigned long on = 1;
    ASSERT_EQ(ws::ioctlsocket(p.client, FIONBIO, &on), 0);
    char buffer[8];
    EXPECT_EQ(ws::recv(p.client, buffer, sizeof(buffer), 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
    unsigned long off = 0;
    ASSERT_EQ(ws::ioctlsocket(p.client, FIONBIO, &off), 0);
    ASSERT_EQ(ws::send(p.server, "hello", 5, 0), 5);
    ASSERT_EQ(ws::recv(p.client, buffer, 5, MSG_PEEK | MSG_WAITALL), 5);
    unsigned long ready = 0;
    EXPECT_EQ(ws::ioctlsocket(p.client, FIONREAD, &ready), 0);
    EXPECT_EQ(ready, 5u);
    ws::closesocket(p.client);
    ws::closesocket(p.server);
    ws::closesocket(listener);
}

TEST_F(Winsock, DontLingerReadsBackAsLingerOff) {
    SOCKET s = ws::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    for (int value : {0, 1}) {
        ASSERT_EQ(ws::setsockopt(s, SOL_SOCKET, ws::SO_DONTLINGER, &value, sizeof(value)), 0);
        linger l{};
        int length = sizeof(l);
        ASSERT_EQ(ws::getsockopt(s, SOL_SOCKET, SO_LINGER, &l, &length), 0);
        EXPECT_EQ(l.l_onoff, value ? 0 : 1);
        int read = -1;
        length = sizeof(read);
        ASSERT_EQ(ws::getsockopt(s, SOL_SOCKET, ws::SO_DONTLINGER, &read, &length), 0);
        EXPECT_EQ(read, value);
    }
    short tooSmall = 1;
    EXPECT_EQ(ws::setsockopt(s, SOL_SOCKET, ws::SO_DONTLINGER, &tooSmall, sizeof(tooSmall)),
              SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEFAULT);
    ws::closesocket(s);
}

TEST_F(Winsock, NameQueriesRefuseShortBuffers) {
    SOCKET listener = Listener();
    sockaddr_in a{};
    int length = sizeof(a) - 1;
    EXPECT_EQ(ws::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &length), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEFAULT);
    Pair p = Connect(listener);
    length = sizeof(a);
    ASSERT_EQ(ws::getpeername(p.client, reinterpret_cast<sockaddr*>(&a), &length), 0);
    EXPECT_EQ(length, static_cast<int>(sizeof(a)));
    EXPECT_EQ(ntohs(a.sin_port), PortOf(listener));
    ws::closesocket(p.client);
    ws::closesocket(p.server);
    ws::closesocket(listener);
}

// A listener restarted on its port binds at once while the old connection sits in TIME_WAIT.
TEST_F(Winsock, ListenerRebindsPortHeldInTimeWait) {
    SOCKET listener = Listener();
    const unsigned short port = PortOf(listener);
    Pair p = Connect(listener);
    ws::closesocket(listener);
    ws::closesocket(p.server);  // the active close leaves the server's end in TIME_WAIT
    char byte;
    EXPECT_EQ(ws::recv(p.client, &byte, 1, 0), 0);
    ws::closesocket(p.client);

    SOCKET again = ws::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a = Loopback(port);
    EXPECT_EQ(ws::bind(again, reinterpret_cast<sockaddr*>(&a), sizeof(a)), 0);
    EXPECT_EQ(ws::listen(again, SOMAXCONN), 0);
    ws::closesocket(again);
}

TEST_F(Winsock, SocketsAreCloseOnExecAndNeverDescriptorZero) {
    int savedStdin = dup(0);
    close(0);
    SOCKET s = ws::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    EXPECT_NE(s, 0u);
    EXPECT_NE(s, INVALID_SOCKET);
    EXPECT_EQ(fcntl(0, F_GETFD), -1);  // no descriptor left behind on 0 either
    EXPECT_NE(fcntl(static_cast<int>(s), F_GETFD) & FD_CLOEXEC, 0);
    dup2(savedStdin, 0);
    close(savedStdin);
    ws::closesocket(s);

    SOCKET listener = Listener();
    Pair p = Connect(listener);
    EXPECT_NE(fcntl(static_cast<int>(p.server), F_GETFD) & FD_CLOEXEC, 0);
    ws::closesocket(p.client);
    ws::closesocket(p.server);
    ws::closesocket(listener);
}

TEST_F(Winsock, ConnectionsLeaveNoDescriptorsBehind) {
    const int before = OpenDescriptors();
    SOCKET listener = Listener();
    for (int i = 0; i < 20; ++i) {
        Pair p = Connect(listener);
        ws::shutdown(p.client, ws::SD_BOTH);
        ws::closesocket(p.client);
        ws::closesocket(p.server);
    }
    ws::closesocket(listener);
    EXPECT_EQ(OpenDescriptors(), before);
}

TEST_F(Winsock, SendAfterOwnShutdownIsRefused) {
    SOCKET listener = Listener();
    Pair p = Connect(listener);
    ASSERT_EQ(ws::shutdown(p.client, ws::SD_SEND), 0);
    EXPECT_EQ(ws::send(p.client, "x", 1, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAESHUTDOWN);
    ws::closesocket(p.client);
    ws::closesocket(p.server);
    ws::closesocket(listener);
}

TEST_F(Winsock, OrderlyPeerCloseStillReadsAsZero) {
    SOCKET listener = Listener();
    Pair p = Connect(listener);
    ws::shutdown(p.server, ws::SD_SEND);
    char byte;
    EXPECT_EQ(ws::recv(p.client, &byte, 1, 0), 0);
    ws::closesocket(p.client);
    ws::closesocket(p.server);
    ws::closesocket(listener);
}

// Another thread's shutdown must end a blocked recv or accept at once, as closing the handle
// does on Windows; repeated so that both orders (blocked first, shut down first) are met.
TEST_F(Winsock, ShutdownWakesBlockedRecv) {
    SOCKET listener = Listener();
    for (int i = 0; i < 50; ++i) {
        Pair p = Connect(listener);
        std::atomic<bool> started{false};
        int result = 0, error = 0;
        std::thread reader([&] {
            char buffer[16];
            started = true;
            result = ws::recv(p.client, buffer, sizeof(buffer), 0);
            error = WSAGetLastError();
        });
        while (!started) {
            std::this_thread::yield();
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200 * (i % 3)));
        ws::shutdown(p.client, ws::SD_BOTH);
        reader.join();
        EXPECT_EQ(result, SOCKET_ERROR);
        EXPECT_EQ(error, WSAEINTR);
        ws::closesocket(p.client);
        ws::closesocket(p.server);
    }
    ws::closesocket(listener);
}

TEST_F(Winsock, ShutdownWakesBlockedAccept) {
    for (int i = 0; i < 50; ++i) {
        SOCKET listener = Listener();
        std::atomic<bool> started{false};
        SOCKET accepted = 0;
        int error = 0;
        std::thread acceptor([&] {
            started = true;
            accepted = ws::accept(listener, nullptr, nullptr);
            error = WSAGetLastError();
        });
        while (!started) {
            std::this_thread::yield();
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200 * (i % 3)));
        ws::shutdown(listener, ws::SD_BOTH);
        acceptor.join();
        EXPECT_EQ(accepted, INVALID_SOCKET);
        EXPECT_EQ(error, WSAEINTR);
        ws::closesocket(listener);
    }
}

TEST_F(Winsock, AddressesFormatAsWindowsWritesThem) {
    auto format = [](const void* address, DWORD length) {
        wchar_t text[64];
        DWORD size = 64;
        int r = ws::WSAAddressToStringW(static_cast<const sockaddr*>(address), length, nullptr,
                                        text, &size);
        EXPECT_EQ(r, 0);
        EXPECT_EQ(size, wcslen(text) + 1);  // the count includes the terminator
        return std::wstring(text);
    };
    sockaddr_in v4 = Loopback(8080);
    EXPECT_EQ(format(&v4, sizeof(v4)), L"127.0.0.1:8080");
    v4.sin_port = 0;
    EXPECT_EQ(format(&v4, sizeof(v4)), L"127.0.0.1");
    sockaddr_in6 v6{};
    v6.sin6_family = AF_INET6;
    v6.sin6_addr = in6addr_loopback;
    EXPECT_EQ(format(&v6, sizeof(v6)), L"::1");
    v6.sin6_port = htons(80);
    v6.sin6_scope_id = 3;
    EXPECT_EQ(format(&v6, sizeof(v6)), L"[::1%3]:80");

    char small[4];
    DWORD size = sizeof(small);
    v4.sin_port = htons(8080);
    EXPECT_EQ(ws::WSAAddressToStringA(reinterpret_cast<sockaddr*>(&v4), sizeof(v4), nullptr, small,
                                      &size),
              SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEFAULT);
    EXPECT_EQ(size, 15u);
    v4.sin_family = AF_UNIX;
    EXPECT_EQ(ws::WSAAddressToStringA(reinterpret_cast<sockaddr*>(&v4), sizeof(v4), nullptr, small,
                                      &size),
              SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
}

TEST(WinsockText, ConvertsDottedIPv4) {
    EXPECT_EQ(ws::inet_addr("127.0.0.1"), htonl(INADDR_LOOPBACK));
    EXPECT_EQ(ws::inet_addr(nullptr), 0xFFFFFFFFul);
    EXPECT_EQ(ws::inet_addr("localhost"), 0xFFFFFFFFul);
    in_addr a{};
    a.s_addr = htonl(0x0A000102);
    EXPECT_STREQ(ws::inet_ntoa(a), "10.0.1.2");
}
