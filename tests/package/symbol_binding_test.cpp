// A program may define functions of its own under the Windows names the library exports; the
// library's calls to its own GetLastError, SetLastError ... must still reach its own.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cwchar>

#include <gtest/gtest.h>

#include "tkv/client_socket.h"
#include "tkv/socket_util.h"

namespace {
int g_programCalls = 0;
}  // namespace

// The program's own SetLastError, which keeps nothing.
extern "C" void SetLastError(DWORD) {
    ++g_programCalls;
}

TEST(SymbolBinding, ProgramsOwnSetLastErrorLeavesTheLibrarysErrorsAlone) {
    // A bound socket that does not listen: a connection to its port is refused.
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length), 0);

    TKV::InitWSA();
    TKV::CClientSocket client(0);
    TKV::TSOSocketInfo info{};
    info.family = TKV::SOFamilyInet;
    info.protocol = TKV::SOProtocolTCP;
    info.type = TKV::SOTypeStream;
    std::wcscpy(info.host, L"127.0.0.1");
    info.port = ntohs(address.sin_port);
    EXPECT_FALSE(client.Connect(&info));
    EXPECT_EQ(client.GetLastError(), 10061u);
    client.Shutdown();
    TKV::CloseWSA();
    close(fd);
    EXPECT_EQ(g_programCalls, 0);
}
