#include "tkv/socket.h"

#include <gtest/gtest.h>

#include "socket_test_support.h"
#include "tkv/client_socket.h"

namespace TKV::test {
namespace {

using SocketBaseTest = SocketTest;

TEST_F(SocketBaseTest, DestroyingAPlainSocketClosesItsHandle) {
    Peer peer;
    CClientSocket client(0);
    ConnectToPeer(client, peer);
    { CSocket wrapped(peer.Release(), 0); }
    EXPECT_EQ(0, client.Read()) << "the peer's end was closed";
    client.Shutdown();
}

TEST_F(SocketBaseTest, AsyncModeMakesAnEmptyReadWouldBlock) {
    Peer peer;
    CClientSocket client(0);
    ConnectToPeer(client, peer);
    client.SetAsyncMode(1);
    EXPECT_EQ(SOCKET_ERROR, client.Read());
    EXPECT_EQ(10035u, client.GetLastError());
    client.SetAsyncMode(0);
    peer.Send("y");
    EXPECT_EQ(1, client.Read());
    client.Shutdown();
}

class Silent : public ISOReceiver {
  public:
    bool IsStopping() override { return false; }
    bool OnReceive(CClientSocket*, unsigned char*, int) override { return true; }
    void OnDisconnect(CClientSocket*) override {}
};

TEST_F(SocketBaseTest, BufferOnlyGrowsAndNotUnderARunningReceiver) {
    Peer peer;
    Silent receiver;
    CClientSocket client(&receiver, 0);
    ConnectToPeer(client, peer);
    void* thread = client.Receive(0);
    EXPECT_EQ(nullptr, client.Receive(0));
    EXPECT_EQ(8912, client.SetBufferSize(20000));
    client.Shutdown();
    ExpectWorkerEnds(client);
    CloseHandle(thread);
    EXPECT_EQ(8912, client.SetBufferSize(100)) << "never shrinks";
    EXPECT_EQ(20000, client.SetBufferSize(20000));
    EXPECT_EQ(20000, client.SetBufferSize(0));
}

}  // namespace
}  // namespace TKV::test
