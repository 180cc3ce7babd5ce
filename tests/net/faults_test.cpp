// Peers that misbehave and shutdowns that race with traffic: every connection ends the
// documented way, callbacks come in order, and no thread, descriptor or message is left behind.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "examples/connecting_agent.h"
#include "examples/listening_agent.h"
#include "net_test_scale.h"
#include "platform/winsock.h"
#include "socket_test_support.h"

namespace TKV::test {
namespace {

std::string Frame(const std::string& text) {
    std::string packet;
    demo::AppendFrame(packet, text.data(), text.size());
    return packet;
}

std::string Header(uint32_t length) {
    return std::string{static_cast<char>(length >> 24), static_cast<char>(length >> 16),
                       static_cast<char>(length >> 8), static_cast<char>(length)};
}

// A plain client of the test, standing for a misbehaving peer.
class RawClient {
  public:
    explicit RawClient(unsigned short port) {
        socket_ = ws::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(port);
        EXPECT_EQ(0, ws::connect(socket_, reinterpret_cast<sockaddr*>(&a), sizeof(a)));
    }
    ~RawClient() { Close(); }
    void Send(const std::string& bytes) {
        ASSERT_EQ(static_cast<int>(bytes.size()),
                  ws::send(socket_, bytes.data(), static_cast<int>(bytes.size()), 0));
    }
    // True once the other side has closed: recv reports the end or a reset.
    bool SeesClose() {
        char buffer[64];
        return ws::recv(socket_, buffer, sizeof(buffer), 0) <= 0;
    }
    void Reset() {
        linger abortive{1, 0};
        ws::setsockopt(socket_, SOL_SOCKET, SO_LINGER, &abortive, sizeof(abortive));
        Close();
    }
    void Close() {
        if (socket_ != 0) {
            ws::closesocket(socket_);
        }
        socket_ = 0;
    }

  private:
    SOCKET socket_ = 0;
};

// The server end of one connection, recording what its receiver thread reports.
class RecordingConnection : public demo::Connection {
  public:
    explicit RecordingConnection(unsigned int handle)
        : Connection(
              [this](Connection&, const char* text, int length) {
                  std::lock_guard<std::mutex> guard(lock_);
                  handled_.emplace_back(text, length);
              },
              handle) {}
    bool OnReceive(CClientSocket* socket, unsigned char* data, int size) override {
        Record("receive");
        return Connection::OnReceive(socket, data, size);
    }
    void OnDisconnect(CClientSocket* socket) override {
        Record("disconnect");
        Connection::OnDisconnect(socket);
    }
    std::vector<std::string> Events() {
        std::lock_guard<std::mutex> guard(lock_);
        return events_;
    }
    std::vector<std::string> Handled() {
        std::lock_guard<std::mutex> guard(lock_);
        return handled_;
    }

  private:
    void Record(const char* event) {
        std::lock_guard<std::mutex> guard(lock_);
        if (events_.empty() || events_.back() != event) {
            events_.push_back(event);  // runs of receives count once
        }
    }
    std::mutex lock_;
    std::vector<std::string> events_;
    std::vector<std::string> handled_;
};

// A raw client connected to a recording server connection.
struct Link {
    Peer peer;
    RawClient client{peer.Port()};
    std::unique_ptr<RecordingConnection> server;
    Link() {
        peer.Accept();
        server = std::make_unique<RecordingConnection>(peer.Release());
        EXPECT_TRUE(server->Start());
    }
};

using FaultyPeer = SocketTest;

TEST_F(FaultyPeer, AbsurdLengthClosesTheConnectionAfterTheGoodMessages) {
    for (uint32_t length : {0u, uint32_t(demo::kMaxText) + 1, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        SCOPED_TRACE(length);
        Link link;
        link.client.Send(Frame("one") + Frame("two") + Header(length) + "xyz");
        ASSERT_TRUE(link.server->WaitClosed(10000));
        EXPECT_TRUE(link.server->Broken());
        EXPECT_FALSE(link.server->PeerClosed());
        EXPECT_EQ(0u, link.server->Socket().GetLastError());  // closed by the agent's choice
        EXPECT_TRUE(link.client.SeesClose());
        link.server->Stop();
        EXPECT_EQ((std::vector<std::string>{"one", "two"}), link.server->Handled());
        EXPECT_EQ(std::vector<std::string>{"receive"}, link.server->Events());
    }
}

TEST_F(FaultyPeer, GarbageClosesTheConnection) {
    Link link;
    std::mt19937 rng(7);
    std::string garbage(4096, '\0');
    for (char& c : garbage) {
        c = static_cast<char>(rng());
    }
    garbage[0] = '\x7f';  // whatever follows, the length is beyond the maximum
    link.client.Send(garbage);
    ASSERT_TRUE(link.server->WaitClosed(10000));
    EXPECT_TRUE(link.server->Broken());
    EXPECT_TRUE(link.client.SeesClose());
    link.server->Stop();
    EXPECT_TRUE(link.server->Handled().empty());
}

TEST_F(FaultyPeer, MissingTrailerClosesWithoutHandingTheMessageOver) {
    Link link;
    std::string bad = Frame("bad");
    bad.back() = 'X';
    link.client.Send(Frame("good") + bad + Frame("late"));
    ASSERT_TRUE(link.server->WaitClosed(10000));
    EXPECT_TRUE(link.server->Broken());
    link.server->Stop();
    EXPECT_EQ(std::vector<std::string>{"good"}, link.server->Handled());
}

TEST_F(FaultyPeer, OrderlyCloseMidMessageHandsOverOnlyWholeMessages) {
    Link link;
    const std::string second = Frame("second message");
    link.client.Send(Frame("first") + second.substr(0, 7));
    link.client.Close();
    ASSERT_TRUE(link.server->WaitClosed(10000));
    EXPECT_TRUE(link.server->PeerClosed());
    EXPECT_FALSE(link.server->Broken());
    EXPECT_EQ(0u, link.server->Socket().GetLastError());
    EXPECT_EQ(0u, link.server->Socket().GetSocket());
    link.server->Stop();
    EXPECT_EQ(std::vector<std::string>{"first"}, link.server->Handled());
    EXPECT_EQ((std::vector<std::string>{"receive", "disconnect"}), link.server->Events());
}

TEST_F(FaultyPeer, ResetMidMessageEndsTheReceiverWithTheErrorAndNoDisconnect) {
    Link link;
    link.client.Send(Frame("first") + Header(100) + "part");
    // The bytes must have been read before the reset, which may discard unread ones.
    for (int i = 0; i < 1000 && link.server->MessagesHandled() < 1; ++i) {
        Sleep(5);
    }
    link.client.Reset();
    ASSERT_TRUE(link.server->WaitClosed(10000));
    EXPECT_FALSE(link.server->PeerClosed());
    EXPECT_EQ(static_cast<unsigned long>(WSAECONNRESET), link.server->Socket().GetLastError());
    link.server->Stop();
    EXPECT_EQ(std::vector<std::string>{"first"}, link.server->Handled());
    EXPECT_EQ(std::vector<std::string>{"receive"}, link.server->Events());
}

using ShutdownRace = SocketTest;

TEST_F(ShutdownRace, ServerShutDownWhileClientsConnect) {
    demo::ListeningAgent server(L"127.0.0.1", 0);
    const unsigned short port = server.Start();
    ASSERT_NE(0, port);
    const unsigned int listenThread = static_cast<unsigned int>(server.Server()->GetThreadID());
    std::atomic<bool> stop{false};
    std::atomic<int> connects{0};
    std::vector<std::thread> clients;
    for (int i = 0; i < 4; ++i) {
        clients.emplace_back([&] {
            while (!stop) {
                CClientSocket socket(0);
                TSOSocketInfo info = MakeInfo(L"127.0.0.1", port);
                if (socket.Connect(&info)) {
                    ++connects;
                }
                socket.Shutdown();
            }
        });
    }
    const bool accepted = server.WaitAccepted(Scaled(20, 5), 10000);
    server.Stop();
    stop = true;
    for (auto& t : clients) {
        t.join();
    }
    ASSERT_TRUE(accepted);
    EXPECT_EQ(0, server.Error()) << "the owner's own shutdown is not an error";
    EXPECT_EQ(nullptr, GetThreadHandle(listenThread));
    CClientSocket late(0);
    TSOSocketInfo info = MakeInfo(L"127.0.0.1", port);
    EXPECT_FALSE(late.Connect(&info));
    EXPECT_EQ(static_cast<unsigned long>(WSAECONNREFUSED), late.GetLastError());
    late.Shutdown();
}

TEST_F(ShutdownRace, ClientsShutDownWhileTheServerSends) {
    // A library client reading what a library server streams at it.
    struct Pair {
        Peer peer;
        std::atomic<int> received{0};
        demo::Connection client{[this](demo::Connection&, const char*, int) { ++received; }};
        std::unique_ptr<demo::Connection> server;
    };
    const int clients = 4;
    std::vector<std::unique_ptr<Pair>> pairs;
    for (int i = 0; i < clients; ++i) {
        auto pair = std::make_unique<Pair>();
        TSOSocketInfo info = MakeInfo(L"127.0.0.1", pair->peer.Port());
        ASSERT_TRUE(pair->client.Connect(&info));
        ASSERT_TRUE(pair->client.Start());
        pair->peer.Accept();
        pair->server = std::make_unique<demo::Connection>(
            [](demo::Connection&, const char*, int) {}, pair->peer.Release());
        ASSERT_TRUE(pair->server->Start());
        pairs.push_back(std::move(pair));
    }
    const std::string text(4096, 'm');
    std::vector<std::thread> senders;
    for (auto& pair : pairs) {
        senders.emplace_back([&text, server = pair->server.get()] {
            while (server->SendText(text.data(), text.size())) {
            }
        });
    }
    for (auto& pair : pairs) {
        for (int i = 0; i < 2000 && pair->received < 3; ++i) {
            Sleep(5);
        }
        EXPECT_GE(pair->received.load(), 3);
        pair->client.Stop();  // with the server's data still arriving
    }
    for (auto& t : senders) {
        t.join();  // every send loop ends: the connections are gone
    }
    for (auto& pair : pairs) {
        EXPECT_FALSE(pair->client.PeerClosed()) << "the owner's shutdown is no disconnect";
        EXPECT_EQ(0u, pair->client.Socket().GetSocket());
        EXPECT_TRUE(pair->server->WaitClosed(10000));
        pair->server->Stop();
    }
}

using Lifecycle = SocketTest;

TEST_F(Lifecycle, ListenAcceptStopCyclesLeaveNoThreadOrDescriptor) {
    for (int cycle = 0; cycle < Scaled(40, 10); ++cycle) {
        SCOPED_TRACE(cycle);
        std::vector<unsigned int> threads;
        {
            demo::ListeningAgent server(L"127.0.0.1", 0);
            const unsigned short port = server.Start();
            ASSERT_NE(0, port);
            threads.push_back(static_cast<unsigned int>(server.Server()->GetThreadID()));
            demo::ConnectingAgent client(5, 32, 2);
            std::string error;
            ASSERT_TRUE(client.Connect(L"127.0.0.1", port, error)) << error;
            EXPECT_EQ("", client.Run(10000).error);
            threads.push_back(static_cast<unsigned int>(client.Link().Socket().GetThreadID()));
            for (demo::Connection* c : server.Accepted()) {
                threads.push_back(static_cast<unsigned int>(c->Socket().GetThreadID()));
            }
            client.Stop();
            server.Stop();
        }
        ASSERT_EQ(3u, threads.size());
        for (unsigned int id : threads) {
            EXPECT_EQ(nullptr, GetThreadHandle(id));
        }
    }
}

}  // namespace
}  // namespace TKV::test
