// Helpers for the socket tests: Winsock started per test, a plain listening peer, bounded
// waits, and a setup record builder.
#ifndef TKV_TESTS_NET_SOCKET_TEST_SUPPORT_H
#define TKV_TESTS_NET_SOCKET_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cwchar>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/winsock.h"
#include "tests/support/loopback.h"
#include "tkv/client_socket.h"
#include "tkv/socket_util.h"
#include "tkv/thread_registry.h"

namespace TKV::test {

constexpr auto kBound = std::chrono::seconds(10);  // every wait in these tests ends by then

inline TSOSocketInfo MakeInfo(const wchar_t* host, unsigned short port,
                              unsigned short family = SOFamilyInet) {
    TSOSocketInfo info{};
    info.family = family;
    info.protocol = SOProtocolTCP;
    info.type = SOTypeStream;
    std::wcsncpy(info.host, host, 1024);
    info.port = port;
    return info;
}

// Winsock started for each test, with the descriptor count and thread registry checked after it.
class SocketTest : public ::testing::Test {
  protected:
    void SetUp() override {
        InitWSA();
        descriptors_ = CountOpenDescriptors();
    }
    void TearDown() override {
        EXPECT_EQ(descriptors_, CountOpenDescriptors()) << "a descriptor leaked or was closed";
        CloseWSA();
    }
    int descriptors_ = 0;
};

// A plain listening socket of the test, standing for the peer application.
class Peer {
  public:
    explicit Peer(bool ipv6 = false, int backlog = 8)
        : listener_(ListenOnLoopback(ipv6, backlog)), port_(PortOf(listener_)) {}
    ~Peer() {
        CloseConnection();
        platform::closesocket(listener_);
    }
    unsigned short Port() const { return port_; }
    // Call once a client has connected, so the accept does not wait.
    SOCKET Accept() { return connection_ = platform::accept(listener_, nullptr, nullptr); }
    // Hands the accepted connection over: the peer no longer closes it.
    SOCKET Release() {
        SOCKET connection = connection_;
        connection_ = 0;
        return connection;
    }
    int Send(const std::string& text) {
        return platform::send(connection_, text.data(), int(text.size()), 0);
    }
    std::string Receive() {
        char buffer[256];
        int n = platform::recv(connection_, buffer, sizeof(buffer), 0);
        return n > 0 ? std::string(buffer, n) : std::string();
    }
    // Abortive close: the client sees a reset instead of an orderly end.
    void Reset() {
        linger abortive{1, 0};
        platform::setsockopt(connection_, SOL_SOCKET, SO_LINGER, &abortive, sizeof(abortive));
        CloseConnection();
    }
    void CloseConnection() {
        if (connection_ != 0 && connection_ != INVALID_SOCKET) {
            platform::closesocket(connection_);
        }
        connection_ = 0;
    }

  private:
    SOCKET listener_ = 0;
    SOCKET connection_ = 0;
    unsigned short port_ = 0;
};

// Connects client to peer and lets the peer accept.
inline void ConnectToPeer(CClientSocket& client, Peer& peer, const wchar_t* host = L"127.0.0.1",
                          unsigned short family = SOFamilyInet) {
    TSOSocketInfo info = MakeInfo(host, peer.Port(), family);
    ASSERT_TRUE(client.Connect(&info)) << client.GetLastError();
    ASSERT_NE(INVALID_SOCKET, peer.Accept());
}

// A log of callback events that a test can wait on.
class EventLog {
  public:
    void Add(const std::string& event) {
        std::lock_guard<std::mutex> guard(lock_);
        events_.push_back(event);
        changed_.notify_all();
    }
    bool WaitFor(const std::string& event) {
        std::unique_lock<std::mutex> guard(lock_);
        return changed_.wait_for(guard, kBound, [&] {
            return std::find(events_.begin(), events_.end(), event) != events_.end();
        });
    }
    std::vector<std::string> Events() {
        std::lock_guard<std::mutex> guard(lock_);
        return events_;
    }

  private:
    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<std::string> events_;
};

// Waits for a socket's worker to end and checks that it left the thread registry.
template <class Socket>
void ExpectWorkerEnds(Socket& socket) {
    const unsigned int id = static_cast<unsigned int>(socket.GetThreadID());
    ASSERT_NE(0u, id);
    // The registry's handle closes as the worker deregisters, so a wait on it can also fail
    // because the worker just ended; whether it left the registry is what tells.
    socket.WaitForThreadExit(10000);
    EXPECT_EQ(nullptr, GetThreadHandle(id)) << "worker did not end";
}

}  // namespace TKV::test

#endif  // TKV_TESTS_NET_SOCKET_TEST_SUPPORT_H
