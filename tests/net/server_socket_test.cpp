#include "tkv/server_socket.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "platform/share_handle.h"
#include "socket_test_support.h"
#include "tkv/client_socket.h"

namespace TKV::test {
namespace {

// Records the listen thread's callbacks; keeps accepted handles until the test ends.
class Listener : public ISOListener {
  public:
    std::atomic<bool> stopping{false};
    std::atomic<bool> stopAfterAccept{false};  // IsStopping turns true as an accept returns
    EventLog log;
    std::wstring host, ip;
    unsigned short port = 0;
    std::vector<SOCKET> accepted;

    ~Listener() {
        for (SOCKET s : accepted)
            platform::closesocket(s);
    }
    bool IsStopping() override {
        if (stopAfterAccept && stopAccepting_)
            return true;
        stopAccepting_ = stopAfterAccept.load();
        return stopping;
    }
    void OnSocketCreated(unsigned int) override { log.Add("OnSocketCreated"); }
    void OnAccept(CServerSocket*, unsigned int socket) override {
        accepted.push_back(socket);
        log.Add("OnAccept");
    }
    void OnListen(const wchar_t* h, const wchar_t* i, unsigned short p) override {
        host = h;
        ip = i;
        port = p;
        log.Add("OnListen");
    }
    void OnError(CServerSocket*, int error) override {
        log.Add("OnError:" + std::to_string(error));
    }

  private:
    bool stopAccepting_ = false;
};

using Events = std::vector<std::string>;
using ServerSocketTest = SocketTest;

void Stop(CServerSocket& server, Listener& listener) {
    listener.stopping = true;
    server.Shutdown();
    ExpectWorkerEnds(server);
}

// On a named address, the wildcard and IPv6: the listener hears of the address text and of the
// configured port, then of each accept, in that order; the accepted handle carries data.
TEST_F(ServerSocketTest, ReportsCreationListeningAndAcceptsInOrder) {
    unsigned short freeV6;
    {
        Peer probe(true);  // a port that is free on ::1
        freeV6 = probe.Port();
    }
    struct Row {
        const wchar_t *host, *ip, *target;
        unsigned short family, port;
    } rows[] = {{L"127.0.0.1", L"127.0.0.1", L"127.0.0.1", SOFamilyInet, 0},
                {L"ANY", L"0.0.0.0", L"127.0.0.1", SOFamilyInet, 0},
                {L"::1", L"[::1]", L"::1", SOFamilyInet6, freeV6}};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "host " << row.host);
        Listener listener;
        TSOSocketInfo info = MakeInfo(row.host, row.port, row.family);
        CServerSocket server(&listener, 0, &info);
        ASSERT_EQ(1, server.Listen());
        EXPECT_EQ(-1, server.Listen());
        ASSERT_TRUE(listener.log.WaitFor("OnListen"));
        EXPECT_EQ(row.ip, listener.ip);
        EXPECT_EQ(row.port, listener.port);
        EXPECT_EQ(0u, server.GetLastError());
        EXPECT_TRUE(server.Pause());
        EXPECT_TRUE(server.Resume());

        CClientSocket client(0);
        TSOSocketInfo target = MakeInfo(row.target, PortOf(server.GetSocket()), row.family);
        ASSERT_TRUE(client.Connect(&target));
        ASSERT_TRUE(listener.log.WaitFor("OnAccept"));
        const SOCKET accepted = listener.accepted.at(0);
        {
            CClientSocket wrapped(nullptr, accepted, 0);
            EXPECT_STREQ(row.family == SOFamilyInet6 ? L"[::1]" : L"127.0.0.1",
                         wrapped.GetIPAddress());
            EXPECT_EQ(0, wrapped.GetPort());
            EXPECT_EQ(accepted, wrapped.GetSocket());
            EXPECT_EQ(3, client.Send("six", 3));
            EXPECT_EQ(3, wrapped.Read());
        }
        EXPECT_EQ(2, platform::send(accepted, "ok", 2, 0)) << "the wrapper left the handle open";
        Stop(server, listener);
        EXPECT_EQ((Events{"OnSocketCreated", "OnListen", "OnAccept"}), listener.log.Events());
        client.Shutdown();
    }
}

TEST_F(ServerSocketTest, PortInUseReportsErrorWithoutStoringIt) {
    Peer holder;
    Listener listener;
    TSOSocketInfo info = MakeInfo(L"127.0.0.1", holder.Port());
    CServerSocket server(&listener, 0, &info);
    ASSERT_NE(-1, server.Listen()) << "0 when the thread has ended already";
    ExpectWorkerEnds(server);
    EXPECT_EQ((Events{"OnSocketCreated", "OnError:10048"}), listener.log.Events());
    EXPECT_EQ(0u, server.GetLastError());
    EXPECT_NE(0u, server.GetSocket()) << "the handle stays open until Shutdown";
}

TEST_F(ServerSocketTest, StoppingDuringAcceptClosesTheConnectionUnreported) {
    Listener listener;
    listener.stopAfterAccept = true;
    TSOSocketInfo info = MakeInfo(L"127.0.0.1", 0);
    CServerSocket server(&listener, 0, &info);
    ASSERT_EQ(1, server.Listen());
    ASSERT_TRUE(listener.log.WaitFor("OnListen"));
    // A handle of the test's own: the registry's goes with the thread's deregistration.
    void* thread =
        platform::ShareHandle(GetThreadHandle(static_cast<unsigned int>(server.GetThreadID())));
    ASSERT_NE(nullptr, thread);
    CClientSocket client(0);
    TSOSocketInfo target = MakeInfo(L"127.0.0.1", PortOf(server.GetSocket()));
    ASSERT_TRUE(client.Connect(&target));
    ExpectWorkerEnds(server);
    // Leaving the registry is the worker's last act, not its end: wait for the thread itself.
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 10000));
    DWORD code = 99;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(0u, code);
    EXPECT_EQ(0, client.Read()) << "the connection was closed, not handed over";
    EXPECT_EQ((Events{"OnSocketCreated", "OnListen"}), listener.log.Events());
    EXPECT_EQ(0u, server.GetSocket());
    client.Shutdown();
    CloseHandle(thread);
}

// Shutdown from the owner, many times: while the listen thread waits in accept (which returns
// at once with the interruption error), or right after Listen, before the thread has even run.
// Either way the thread ends and nothing leaks.
TEST_F(ServerSocketTest, OwnerShutdownEndsTheListenThread) {
    for (int round = 0; round < 400; ++round) {
        const bool listening = round % 2 == 0;
        Listener listener;
        TSOSocketInfo info = MakeInfo(L"127.0.0.1", 0);
        auto server = std::make_unique<CServerSocket>(&listener, 0, &info);
        ASSERT_EQ(1, server->Listen());
        if (listening) {
            ASSERT_TRUE(listener.log.WaitFor("OnListen"));
        }
        server->Shutdown();
        ExpectWorkerEnds(*server);
        server.reset();
        if (listening) {
            EXPECT_EQ((Events{"OnSocketCreated", "OnListen", "OnError:10004"}),
                      listener.log.Events())
                << "round " << round;
        }
    }
}

}  // namespace
}  // namespace TKV::test
