#include "tkv/client_socket.h"

#include <gtest/gtest.h>

#include <future>
#include <string>
#include <thread>
#include <utility>

#include "socket_test_support.h"
#include "tkv/socket.h"

namespace TKV::test {
namespace {

// Records every callback in order; answers as configured.
class Recorder : public ISOReceiver {
  public:
    bool stopAtOnce = false;
    bool keepReceiving = true;
    EventLog log;

    bool IsStopping() override {
        log.Add("IsStopping");
        return stopAtOnce;
    }
    bool OnReceive(CClientSocket*, unsigned char* data, int size) override {
        log.Add("OnReceive:" + std::string(reinterpret_cast<char*>(data), size));
        return keepReceiving;
    }
    void OnDisconnect(CClientSocket*) override { log.Add("OnDisconnect"); }
};

using Events = std::vector<std::string>;

using ClientSocketTest = SocketTest;

// How the receiver thread ends: the peer closing in order after some bytes (a disconnect) or
// resetting (only the error), or the receiver stopping before the first bytes are handed over or
// refusing them (no error). The connection is closed each time, and no second receiver follows.
TEST_F(ClientSocketTest, ReceiverThreadEndsAsThePeerOrTheReceiverDecides) {
    struct Row {
        const char* label;
        bool ipv6, peerEnds, reset, stopAtOnce, keepReceiving;
        Events events;
        DWORD error;
    } rows[] = {
        {"orderly peer close over IPv6",
         true,
         true,
         false,
         false,
         true,
         {"IsStopping", "OnReceive:part", "IsStopping", "OnDisconnect"},
         0},
        {"peer reset",
         false,
         true,
         true,
         false,
         true,
         {"IsStopping", "OnReceive:part", "IsStopping"},
         10054},
        {"stopping at once", false, false, false, true, true, {"IsStopping"}, 0},
        {"refusing the bytes",
         false,
         false,
         false,
         false,
         false,
         {"IsStopping", "OnReceive:part"},
         0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        Peer peer(row.ipv6);
        Recorder recorder;
        recorder.stopAtOnce = row.stopAtOnce;
        recorder.keepReceiving = row.keepReceiving;
        CClientSocket client(&recorder, 0);
        ConnectToPeer(client, peer, row.ipv6 ? L"::1" : L"127.0.0.1",
                      row.ipv6 ? SOFamilyInet6 : SOFamilyInet);
        EXPECT_STREQ(row.ipv6 ? L"[::1]" : L"127.0.0.1", client.GetIPAddress());
        EXPECT_EQ(peer.Port(), client.GetPort());
        peer.Send("part");
        void* thread = client.Receive(0);
        ASSERT_NE(nullptr, thread);
        if (row.peerEnds) {
            ASSERT_TRUE(recorder.log.WaitFor("OnReceive:part"));
            // The peer ends once the receiver waits in recv again: under Wine a reset that
            // arrives before the recv is posted reads as an orderly close.
            Sleep(100);
            row.reset ? peer.Reset() : peer.CloseConnection();
        }
        ExpectWorkerEnds(client);
        CloseHandle(thread);
        EXPECT_EQ(row.events, recorder.log.Events());
        EXPECT_EQ(0u, client.GetSocket());
        EXPECT_EQ(row.error, client.GetLastError());
        if (!row.peerEnds) {
            EXPECT_EQ("", peer.Receive()) << "the peer sees the connection end";
        }
        EXPECT_EQ(nullptr, client.Receive(0)) << "one receiver thread in the object's life";
    }
}

TEST_F(ClientSocketTest, FailedConnectsReportTheWindowsErrorsAndSendNothing) {
    Peer peer;
    CClientSocket client(0);
    ConnectToPeer(client, peer);
    TSOSocketInfo info = MakeInfo(L"no-such-host.invalid", 80);
    EXPECT_FALSE(client.Connect(&info));
    EXPECT_EQ(11001u, client.GetLastError());
    EXPECT_STREQ(L"No such host is known.", client.GetErrorDesc());
    EXPECT_STREQ(L"127.0.0.1", client.GetIPAddress());
    client.Shutdown();
    peer.CloseConnection();
    unsigned short port;
    {
        Peer gone;
        port = gone.Port();
    }
    info = MakeInfo(L"127.0.0.1", port);
    EXPECT_FALSE(client.Connect(&info));
    EXPECT_EQ(10061u, client.GetLastError());
    client.Shutdown();
    EXPECT_EQ(0, client.Send("x", 1));
    EXPECT_EQ(0, client.Read());
    EXPECT_EQ(10061u, client.GetLastError());
}

TEST_F(ClientSocketTest, ShutdownEndsABlockedConnect) {
    Peer full(false, 0);
    CClientSocket first(0), blocked(0);
    TSOSocketInfo info = MakeInfo(L"127.0.0.1", full.Port());
    ASSERT_TRUE(first.Connect(&info));  // fills the peer's queue: the next connect waits
    auto connecting = std::async(std::launch::async, [&] { return blocked.Connect(&info); });
    while (blocked.GetSocket() == 0 &&
           connecting.wait_for(std::chrono::milliseconds(1)) == std::future_status::timeout) {
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    blocked.Shutdown();
    ASSERT_EQ(std::future_status::ready, connecting.wait_for(kBound));
    EXPECT_FALSE(connecting.get());
    EXPECT_NE(0u, blocked.GetLastError());
    first.Shutdown();
}

TEST_F(ClientSocketTest, SendToAClosedPeerFailsWithBrokenConnection) {
    Peer peer;
    CClientSocket client(0);
    ConnectToPeer(client, peer);
    peer.CloseConnection();
    int sent = 0;
    for (int i = 0; i < 1000 && sent != SOCKET_ERROR; ++i) {
        sent = client.Send("x", 1);  // the first sends still go out; the reset then fails one
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(SOCKET_ERROR, sent);
    EXPECT_EQ(10054u, client.GetLastError());
    client.Shutdown();
}

// The owner's Shutdown from another thread while the receiver waits in recv, many times: the
// thread ends without a disconnect report, and no descriptor is lost or closed twice. Every third
// round a second owner thread and the receiver (seeing the peer close) shut down at once as well:
// the handle is closed once, since a second close could hit a descriptor another socket took.
TEST_F(ClientSocketTest, OwnerShutdownEndsTheReceiverAndClosesTheHandleOnce) {
    Peer peer;
    for (int round = 0; round < 300; ++round) {
        const bool racing = round % 3 == 2;
        Recorder recorder;
        auto client = std::make_unique<CClientSocket>(&recorder, 0);
        ConnectToPeer(*client, peer);
        void* thread = client->Receive(0);
        ASSERT_NE(nullptr, thread);
        std::thread closer, owner;
        if (racing) {
            closer = std::thread([&] { peer.CloseConnection(); });
            owner = std::thread([&] { client->Shutdown(); });
        } else if (round % 3 == 0) {
            std::this_thread::yield();  // lets some rounds reach recv before the shutdown
        }
        client->Shutdown();
        if (racing) {
            closer.join();
            owner.join();
        }
        EXPECT_EQ(0u, client->GetSocket());
        ExpectWorkerEnds(*client);
        client.reset();
        CloseHandle(thread);
        if (!racing) {
            ASSERT_EQ(Events{}, recorder.log.Events()) << "round " << round;
            EXPECT_EQ("", peer.Receive()) << "the peer sees the shutdown";
        }
        peer.CloseConnection();
    }
}

// The base class under a client: non-blocking reads, a buffer that only grows and not under a
// running receiver, and a plain socket that closes its handle when destroyed.
TEST_F(ClientSocketTest, PlainSocketModesBufferAndHandle) {
    Peer peer;
    Recorder recorder;
    CClientSocket client(&recorder, 0);
    ConnectToPeer(client, peer);
    client.SetAsyncMode(1);
    EXPECT_EQ(SOCKET_ERROR, client.Read());
    EXPECT_EQ(10035u, client.GetLastError());
    client.SetAsyncMode(0);
    peer.Send("y");
    EXPECT_EQ(1, client.Read());
    void* thread = client.Receive(0);
    EXPECT_EQ(nullptr, client.Receive(0));
    EXPECT_EQ(8912, client.SetBufferSize(20000));
    { CSocket wrapped(peer.Release(), 0); }
    EXPECT_TRUE(recorder.log.WaitFor("OnDisconnect")) << "the plain socket closed the peer's end";
    ExpectWorkerEnds(client);
    CloseHandle(thread);
    EXPECT_EQ(8912, client.SetBufferSize(100)) << "never shrinks";
    EXPECT_EQ(20000, client.SetBufferSize(20000));
    EXPECT_EQ(20000, client.SetBufferSize(0));
}

// Connect while the earlier connection's receiver thread still runs: that thread ends with the
// old connection and never reads, reports or shuts down the new one.
TEST_F(ClientSocketTest, ReconnectWhileTheReceiverRunsKeepsTheNewConnection) {
    Peer peer;
    for (int round = 0; round < 1000; ++round) {
        Recorder recorder;
        CClientSocket client(&recorder, 0);
        ConnectToPeer(client, peer);
        ASSERT_NE(nullptr, client.Receive(0));
        TSOSocketInfo info = MakeInfo(L"127.0.0.1", peer.Port());
        ASSERT_TRUE(client.Connect(&info));
        peer.CloseConnection();
        ASSERT_NE(INVALID_SOCKET, peer.Accept());
        ASSERT_EQ(1, client.Send("x", 1)) << "round " << round;
        ASSERT_EQ("x", peer.Receive()) << "round " << round;
        peer.Send("y");
        ASSERT_EQ(1, client.Read()) << "round " << round;
        for (const std::string& event : recorder.log.Events())
            ASSERT_EQ("IsStopping", event) << "round " << round;
        client.Shutdown();
        ExpectWorkerEnds(client);
        peer.CloseConnection();
    }
}

// A receiver that reconnects from its own callback: Connect does not wait for the calling
// thread to end, and that thread goes on receiving from the new connection.
TEST_F(ClientSocketTest, ReconnectFromTheReceiverCallbackGoesOnReceiving) {
    struct Switcher : Recorder {
        TSOSocketInfo next{};
        bool OnReceive(CClientSocket* socket, unsigned char* data, int size) override {
            Recorder::OnReceive(socket, data, size);
            if (next.port != 0) {
                TSOSocketInfo info = std::exchange(next, TSOSocketInfo{});
                log.Add(socket->Connect(&info) ? "reconnected" : "failed");
            }
            return true;
        }
    } switcher;
    Peer first, second;
    switcher.next = MakeInfo(L"127.0.0.1", second.Port());
    CClientSocket client(&switcher, 0);
    ConnectToPeer(client, first);
    ASSERT_NE(nullptr, client.Receive(0));
    first.Send("a");
    ASSERT_TRUE(switcher.log.WaitFor("reconnected"));
    ASSERT_NE(INVALID_SOCKET, second.Accept());
    second.Send("b");
    EXPECT_TRUE(switcher.log.WaitFor("OnReceive:b"));
    client.Shutdown();
    ExpectWorkerEnds(client);
}

}  // namespace
}  // namespace TKV::test
