#include "tkv/client_socket.h"

#include <gtest/gtest.h>

#include <future>
#include <string>
#include <thread>
#include <utility>

#include "socket_test_support.h"

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

// How the receiver thread ends when the peer goes away after some bytes: an orderly close is
// reported as a disconnect, a reset only as the error.
TEST_F(ClientSocketTest, PeerEndAfterReceivedBytesEndsTheThread) {
    struct Row {
        bool ipv6, reset;
        Events events;
        DWORD error;
    } rows[] = {
        {true, false, {"IsStopping", "OnReceive:part", "IsStopping", "OnDisconnect"}, 0},
        {false, true, {"IsStopping", "OnReceive:part", "IsStopping"}, 10054},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.reset ? "peer reset over IPv4" : "orderly peer close over IPv6");
        Peer peer(row.ipv6);
        Recorder recorder;
        CClientSocket client(&recorder, 0);
        ConnectToPeer(client, peer, row.ipv6 ? L"::1" : L"127.0.0.1",
                      row.ipv6 ? SOFamilyInet6 : SOFamilyInet);
        EXPECT_STREQ(row.ipv6 ? L"[::1]" : L"127.0.0.1", client.GetIPAddress());
        EXPECT_EQ(peer.Port(), client.GetPort());
        void* thread = client.Receive(0);
        peer.Send("part");
        ASSERT_TRUE(recorder.log.WaitFor("OnReceive:part"));
        row.reset ? peer.Reset() : peer.CloseConnection();
        ExpectWorkerEnds(client);
        CloseHandle(thread);
        EXPECT_EQ(row.events, recorder.log.Events());
        EXPECT_EQ(0u, client.GetSocket());
        EXPECT_EQ(row.error, client.GetLastError());
    }
}

TEST_F(ClientSocketTest, UnknownHostFailsWithResolutionErrorAndKeepsAddressText) {
    Peer peer;
    CClientSocket client(0);
    ConnectToPeer(client, peer);
    TSOSocketInfo info = MakeInfo(L"no-such-host.invalid", 80);
    EXPECT_FALSE(client.Connect(&info));
    EXPECT_EQ(11001u, client.GetLastError());
    EXPECT_STREQ(L"No such host is known.", client.GetErrorDesc());
    EXPECT_STREQ(L"127.0.0.1", client.GetIPAddress());
    client.Shutdown();
}

TEST_F(ClientSocketTest, RefusedConnectionFailsAndSendThenDoesNothing) {
    unsigned short port;
    {
        Peer gone;
        port = gone.Port();
    }
    CClientSocket client(0);
    TSOSocketInfo info = MakeInfo(L"127.0.0.1", port);
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

// The receiver ends the thread itself: by stopping before the first bytes are handed over, or by
// refusing them. Either way without error, the connection closed, and no second receiver.
TEST_F(ClientSocketTest, ReceiverEndsTheThreadWithoutError) {
    struct Row {
        bool stopAtOnce, keepReceiving;
        Events events;
    } rows[] = {
        {true, true, {"IsStopping"}},
        {false, false, {"IsStopping", "OnReceive:bytes"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.stopAtOnce ? "stopping at once" : "refusing the bytes");
        Peer peer;
        Recorder recorder;
        recorder.stopAtOnce = row.stopAtOnce;
        recorder.keepReceiving = row.keepReceiving;
        CClientSocket client(&recorder, 0);
        ConnectToPeer(client, peer);
        peer.Send("bytes");
        void* thread = client.Receive(0);
        ASSERT_NE(nullptr, thread);
        ExpectWorkerEnds(client);
        CloseHandle(thread);
        EXPECT_EQ(row.events, recorder.log.Events());
        EXPECT_EQ(0u, client.GetLastError());
        EXPECT_EQ(0u, client.GetSocket());
        EXPECT_EQ("", peer.Receive()) << "the peer sees the connection end";
        EXPECT_EQ(nullptr, client.Receive(0)) << "one receiver thread in the object's life";
    }
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

TEST_F(ClientSocketTest, WrappedAcceptedHandleReportsPeerWithoutPort) {
    Peer peer;
    CClientSocket outgoing(0);
    TSOSocketInfo info = MakeInfo(L"127.0.0.1", peer.Port());
    ASSERT_TRUE(outgoing.Connect(&info));
    SOCKET accepted = peer.Accept();
    {
        CClientSocket wrapped(nullptr, accepted, 0);
        EXPECT_STREQ(L"127.0.0.1", wrapped.GetIPAddress());
        EXPECT_TRUE(std::wstring(wrapped.GetHost()) == L"localhost" ||
                    std::wstring(wrapped.GetHost()).empty());
        EXPECT_EQ(0, wrapped.GetPort());
        EXPECT_EQ(accepted, wrapped.GetSocket());
    }
    // Destroying the client socket left the handle open: it still sends.
    EXPECT_EQ(2, platform::send(accepted, "ok", 2, 0));
    outgoing.Shutdown();
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
