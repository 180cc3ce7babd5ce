// Many clients against one server through the whole receive path: sockets, receiver threads,
// message framing, queues and consumers, with the sends cut at random points.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "examples/listening_agent.h"
#include "net_test_scale.h"
#include "socket_test_support.h"
#include "tests/support/threads.h"

namespace TKV::test {
namespace {

// Message seq of client c: its client and sequence numbers, then bytes that depend on both.
std::string MakeText(uint32_t client, uint32_t seq, size_t size) {
    std::string text(size, '\0');
    std::memcpy(&text[0], &client, 4);
    std::memcpy(&text[4], &seq, 4);
    for (size_t i = 8; i < size; ++i) {
        text[i] = static_cast<char>(client * 131 + seq * 7 + i * 13);
    }
    return text;
}

// Sizes mostly small, some beyond the socket's receive buffer so that one message takes
// several receives.
size_t RandomSize(std::mt19937& rng) {
    const unsigned pick = rng() % 10;
    return 8 + rng() % (pick == 0 ? 20000 : pick < 5 ? 32 : 1500);
}

// Chunks of one byte, a few bytes, about a message, or many messages at once.
size_t RandomChunk(std::mt19937& rng) {
    static const unsigned kLimits[] = {1, 16, 2000, 65536, 65536};
    const unsigned limit = kLimits[rng() % 5];
    return 1 + rng() % limit;
}

// Checks on the server that each connection's messages come complete, once and in order.
class Verifier {
  public:
    void Check(demo::Connection& connection, const char* text, int length) {
        std::lock_guard<std::mutex> guard(lock_);
        if (length < 8) {
            failures.push_back("short message");
            return;
        }
        uint32_t client = 0, seq = 0;
        std::memcpy(&client, text, 4);
        std::memcpy(&seq, text + 4, 4);
        auto [state, fresh] = next_.try_emplace(&connection, client, 0u);
        auto which = [&] {
            return "client " + std::to_string(client) + " message " + std::to_string(seq);
        };
        if (state->second.first != client || state->second.second != seq) {
            failures.push_back(which() + " out of order");
        } else if (MakeText(client, seq, static_cast<size_t>(length)) !=
                   std::string(text, length)) {
            failures.push_back(which() + " damaged");
        }
        state->second.second = seq + 1;
        ++total;
    }
    // Read once the server has stopped and its consumers have ended.
    std::vector<std::string> failures;
    long long total = 0;

  private:
    std::mutex lock_;  // guards every field while the consumers run
    std::map<demo::Connection*, std::pair<uint32_t, uint32_t>> next_;  // client, next seq
};

using Stress = SocketTest;

TEST_F(Stress, ManyClientsEveryMessageArrivesIntactOnceAndInOrder) {
    const int clients = 32;
    const int messages = Scaled(2000, 400);
    Verifier verifier;
    demo::ListeningAgent server(L"127.0.0.1", 0,
                                [&](demo::Connection& c, const char* text, int length) {
                                    verifier.Check(c, text, length);
                                });
    const unsigned short port = server.Start();
    ASSERT_NE(0, port);

    std::atomic<int> sendFailures{0};
    TKV::test::ThreadGroup(clients, [&](int c) {
        std::mt19937 rng(static_cast<unsigned>(c) + 1);
        std::string stream;
        for (int s = 0; s < messages; ++s) {
            const std::string text = MakeText(c, s, RandomSize(rng));
            demo::AppendFrame(stream, text.data(), text.size());
        }
        CClientSocket socket(0);
        TSOSocketInfo info = MakeInfo(L"127.0.0.1", port);
        bool sent = socket.Connect(&info);
        if (sent) {  // small sends leave at once instead of being gathered into segments
            const int on = 1;
            CSocketUtil::SetOptions(socket.GetSocket(), SOLevelTCP, SOOptionTCPNoDelay, &on,
                                    sizeof(on));
        }
        for (size_t at = 0, n = 0; sent && at < stream.size(); at += n) {
            n = std::min(RandomChunk(rng), stream.size() - at);
            sent = demo::SendAll(socket, stream.data() + at, n);
        }
        sendFailures += sent ? 0 : 1;
        socket.Shutdown();  // an orderly end once everything was sent
    }).Join();
    ASSERT_EQ(0, sendFailures.load());
    ASSERT_TRUE(server.WaitAccepted(clients, 10000));
    ASSERT_TRUE(server.WaitIdle(30000)) << "a connection did not end";

    for (demo::Connection* c : server.Accepted()) {
        EXPECT_TRUE(c->PeerClosed());
        EXPECT_FALSE(c->Broken());
    }
    server.Stop();  // the consumers finish what was queued before they end
    EXPECT_EQ(static_cast<long long>(clients) * messages, verifier.total);
    EXPECT_EQ(std::vector<std::string>{}, verifier.failures);
}

}  // namespace
}  // namespace TKV::test
