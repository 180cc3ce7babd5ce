// Peers that misbehave and shutdowns that race with traffic: every connection ends the
// documented way, callbacks come in order, and no thread, descriptor or message is left behind.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "examples/connecting_agent.h"
#include "examples/listening_agent.h"
#include "net_test_scale.h"
#include "platform/winsock.h"
#include "socket_test_support.h"
#include "tests/support/threads.h"

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

// A raw client of the test, standing for a misbehaving peer, connected to a recording server
// connection.
struct Link {
    SOCKET listener = ListenOnLoopback();
    LoopbackPair pair{listener};
    std::unique_ptr<RecordingConnection> server{
        new RecordingConnection(std::exchange(pair.server, INVALID_SOCKET))};
    Link() { EXPECT_TRUE(server->Start()); }
    ~Link() { platform::closesocket(listener); }
};

// How a connection to a misbehaving peer ends.
enum class End { kAgentCloses, kPeerCloses, kPeerResets };

struct FaultCase {
    const char* label;
    std::string bytes;
    End end;
    std::vector<std::string> handled;  // the whole messages before the fault
};

std::string Garbage() {
    std::mt19937 rng(7);
    std::string garbage(4096, '\0');
    for (char& c : garbage) {
        c = static_cast<char>(rng());
    }
    garbage[0] = '\x7f';  // whatever follows, the length is beyond the maximum
    return garbage;
}

using FaultyPeer = SocketTest;

TEST_F(FaultyPeer, EachFaultEndsTheConnectionAfterTheWholeMessagesOnly) {
    std::string badTrailer = Frame("bad");
    badTrailer.back() = 'X';
    auto absurd = [](uint32_t length) {
        return Frame("one") + Frame("two") + Header(length) + "xyz";
    };
    const std::vector<FaultCase> cases = {
        {"length 0", absurd(0), End::kAgentCloses, {"one", "two"}},
        {"length max+1", absurd(uint32_t(demo::kMaxText) + 1), End::kAgentCloses, {"one", "two"}},
        {"length 0x7FFFFFFF", absurd(0x7FFFFFFFu), End::kAgentCloses, {"one", "two"}},
        {"length 0xFFFFFFFF", absurd(0xFFFFFFFFu), End::kAgentCloses, {"one", "two"}},
        {"garbage", Garbage(), End::kAgentCloses, {}},
        {"missing trailer",
         Frame("good") + badTrailer + Frame("late"),
         End::kAgentCloses,
         {"good"}},
        {"orderly close mid-message",
         Frame("first") + Frame("second message").substr(0, 7),
         End::kPeerCloses,
         {"first"}},
        {"reset mid-message", Frame("first") + Header(100) + "part", End::kPeerResets, {"first"}},
    };
    for (const FaultCase& c : cases) {
        SCOPED_TRACE(c.label);
        Link link;
        SOCKET& client = link.pair.client;
        ASSERT_EQ(int(c.bytes.size()),
                  platform::send(client, c.bytes.data(), int(c.bytes.size()), 0));
        if (c.end == End::kPeerResets) {
            // The bytes must have been read before the reset, which may discard unread ones.
            for (int i = 0; i < 1000 && link.server->MessagesHandled() < 1; ++i) {
                Sleep(5);
            }
            linger abortive{1, 0};
            platform::setsockopt(client, SOL_SOCKET, SO_LINGER, &abortive, sizeof(abortive));
        }
        if (c.end != End::kAgentCloses) {
            LoopbackPair::Close(client);
        }
        ASSERT_TRUE(link.server->WaitClosed(10000));
        EXPECT_EQ(c.end == End::kAgentCloses, link.server->Broken());
        EXPECT_EQ(c.end == End::kPeerCloses, link.server->PeerClosed());
        // Only a reset is an error: the agent's own choice to close is not.
        EXPECT_EQ(c.end == End::kPeerResets ? static_cast<unsigned long>(WSAECONNRESET) : 0ul,
                  link.server->Socket().GetLastError());
        if (c.end == End::kAgentCloses) {
            char buffer[64];  // the client sees the end or a reset
            EXPECT_LE(platform::recv(client, buffer, sizeof(buffer), 0), 0);
        } else if (c.end == End::kPeerCloses) {
            EXPECT_EQ(0u, link.server->Socket().GetSocket());
        }
        link.server->Stop();
        EXPECT_EQ(c.handled, link.server->Handled());
        EXPECT_EQ(c.end == End::kPeerCloses ? (std::vector<std::string>{"receive", "disconnect"})
                                            : std::vector<std::string>{"receive"},
                  link.server->Events());
    }
}

// A peer that sends requests and never reads the answers: the agent's handler blocks in its
// send, and the receiver must stop reading instead of queueing without bound, so the peer's
// own sends stall after a bounded amount.
TEST_F(FaultyPeer, PeerThatNeverReadsIsThrottled) {
    SOCKET listener = ListenOnLoopback();
    LoopbackPair pair{listener};
    auto agent = std::make_unique<demo::Connection>(demo::AnswerRequest,
                                                    std::exchange(pair.server, INVALID_SOCKET));
    ASSERT_TRUE(agent->Start());
    const std::string request = Frame("req" + std::string(64 * 1024, 'x'));
    // Far more than the agent may hold: its backlog, the socket buffers and one chunk.
    constexpr long long kBound = 4 * demo::Connection::kMaxBacklogBytes;
    std::atomic<long long> sent{0};
    std::thread peer([&] {
        while (sent < kBound &&
               platform::send(pair.client, request.data(), int(request.size()), 0) > 0) {
            sent += static_cast<long long>(request.size());
        }
    });
    long long before = -1;
    while (sent != before && sent < kBound) {  // until a whole second passes without progress
        before = sent;
        Sleep(1000);
    }
    EXPECT_LT(sent.load(), kBound) << "the agent kept reading what it could not answer";
    EXPECT_LE(agent->Queue().Backlog(), demo::Connection::kMaxBacklog);
    agent->Stop();  // ends the handler's blocked send and the paused receiver
    platform::shutdown(pair.client, SD_BOTH);  // and the peer's blocked send
    peer.join();
    platform::closesocket(listener);
}

using ShutdownRace = SocketTest;

TEST_F(ShutdownRace, ServerShutDownWhileClientsConnect) {
    demo::ListeningAgent server(L"127.0.0.1", 0);
    const unsigned short port = server.Start();
    ASSERT_NE(0, port);
    const unsigned int listenThread = static_cast<unsigned int>(server.Server()->GetThreadID());
    std::atomic<bool> stop{false};
    TKV::test::ThreadGroup clients(4, [&](int) {
        while (!stop) {
            CClientSocket socket(0);
            TSOSocketInfo info = MakeInfo(L"127.0.0.1", port);
            socket.Connect(&info);  // refused or cut off once the server stops
            socket.Shutdown();
        }
    });
    const bool accepted = server.WaitAccepted(Scaled(20, 5), 10000);
    server.Stop();
    stop = true;
    clients.Join();
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
    TKV::test::ThreadGroup senders(static_cast<int>(pairs.size()), [&](int i) {
        while (pairs[i]->server->SendText(text.data(), text.size())) {
        }
    });
    for (auto& pair : pairs) {
        for (int i = 0; i < 2000 && pair->received < 3; ++i) {
            Sleep(5);
        }
        EXPECT_GE(pair->received.load(), 3);
        pair->client.Stop();  // with the server's data still arriving
    }
    senders.Join();  // every send loop ends: the connections are gone
    for (auto& pair : pairs) {
        EXPECT_FALSE(pair->client.PeerClosed()) << "the owner's shutdown is no disconnect";
        EXPECT_EQ(0u, pair->client.Socket().GetSocket());
        EXPECT_TRUE(pair->server->WaitClosed(10000));
        pair->server->Stop();
    }
}

}  // namespace
}  // namespace TKV::test
