// Descriptor 0 is free when a program closed its standard input; a socket must never take it
// (agents test sockets against 0). Windows' sockets are handles, never 0.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/winsock.h"

namespace platform = TKV::platform;

TEST(SocketDescriptor, NeverZeroEvenWhenZeroIsFree) {
    platform::WSADATA data;
    ASSERT_EQ(platform::WSAStartup(0x0202, &data), 0);
    int savedStdin = dup(0);
    close(0);
    SOCKET s = platform::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    EXPECT_NE(s, 0u);
    EXPECT_NE(s, INVALID_SOCKET);
    EXPECT_EQ(fcntl(0, F_GETFD), -1);  // no descriptor left behind on 0 either
    dup2(savedStdin, 0);
    close(savedStdin);
    platform::closesocket(s);
    platform::WSACleanup();
}
