// An agent that cannot get a thread for an accepted connection: it refuses that connection and
// goes on listening. The shortage is real: the process drops to an unprivileged user whose
// thread count is capped where it stands.
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "examples/listening_agent.h"
#include "platform/winsock.h"
#include "tests/support/loopback.h"

namespace TKV::test {
namespace {

int ThreadCount() {
    int threads = 0;
    if (FILE* status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, status) != nullptr)
            if (std::sscanf(line, "Threads: %d", &threads) == 1)
                break;
        std::fclose(status);
    }
    return threads;
}

SOCKET ConnectTo(unsigned short port) {
    SOCKET s = platform::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = Loopback(port);
    platform::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    return s;
}

// Exits 0 when the first connection is closed unserved and the second one answered.
[[noreturn]] void RefuseThenServe() {
    alarm(20);  // whatever goes wrong, the child ends
    InitWSA();
    demo::ListeningAgent agent(L"127.0.0.1", 0);
    const unsigned short port = agent.Start();
    rlimit open{};
    getrlimit(RLIMIT_NPROC, &open);
    const rlimit capped{static_cast<rlim_t>(ThreadCount()), open.rlim_max};
    if (port == 0 || setgid(65534) != 0 || setuid(65534) != 0 ||
        setrlimit(RLIMIT_NPROC, &capped) != 0)
        _exit(2);

    SOCKET refused = ConnectTo(port);
    char byte;
    if (platform::recv(refused, &byte, 1, 0) > 0)
        _exit(3);  // served after all
    platform::closesocket(refused);

    setrlimit(RLIMIT_NPROC, &open);
    SOCKET served = ConnectTo(port);
    std::string packet;
    demo::AppendFrame(packet, "req 1", 5);
    platform::send(served, packet.data(), static_cast<int>(packet.size()), 0);
    std::string answer;
    char buffer[64];
    int n;
    while (answer.size() < packet.size() &&
           (n = platform::recv(served, buffer, sizeof buffer, 0)) > 0)
        answer.append(buffer, static_cast<size_t>(n));
    platform::closesocket(served);
    agent.Stop();
    _exit(answer.compare(demo::kHeaderSize, 5, "ans 1") == 0 ? 0 : 4);
}

TEST(ListeningAgentDeathTest, RefusesAConnectionItHasNoThreadForAndServesTheNext) {
    if (geteuid() != 0)
        GTEST_SKIP() << "capping the thread count needs a switch to another user, which needs root";
    EXPECT_EXIT(RefuseThenServe(), testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace TKV::test
