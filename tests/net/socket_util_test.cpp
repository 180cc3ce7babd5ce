#include <string.h>

#include <set>
#include <string>

#include <gtest/gtest.h>

#include "platform/winsock.h"
#include "tests/support/loopback.h"
#include "tkv/heap.h"
#include "tkv/socket_util.h"

using TKV::CSocketUtil;
using TKV::test::Loopback;

namespace {

class SocketUtil : public ::testing::Test {
  protected:
    void SetUp() override { TKV::InitWSA(); }
    void TearDown() override {
        TKV::MemFree(address.lpSockaddr);
        TKV::CloseWSA();
    }
    int Resolve(const wchar_t* host, unsigned short family, unsigned short port) {
        return CSocketUtil::GetHostAddress(host, family, TKV::SOProtocolTCP, TKV::SOTypeStream,
                                           port, &address);
    }
    const sockaddr_in& In4() const { return *reinterpret_cast<sockaddr_in*>(address.lpSockaddr); }
    const sockaddr_in6& In6() const { return *reinterpret_cast<sockaddr_in6*>(address.lpSockaddr); }

    SOCKET_ADDRESS address{nullptr, 0};
};

}  // namespace

// The IPv4 wildcard is checked through CServerSocket listening on "ANY".
TEST_F(SocketUtil, ResolvesWildcardsNamesAndServices) {
    ASSERT_EQ(Resolve(L"", TKV::SOFamilyInet6, 443), 1);
    ASSERT_EQ(address.iSockaddrLength, 28);
    EXPECT_EQ(In6().sin6_family, AF_INET6);
    EXPECT_EQ(In6().sin6_port, htons(443));
    EXPECT_TRUE(IN6_IS_ADDR_UNSPECIFIED(&In6().sin6_addr));
    TKV::MemFree(address.lpSockaddr);

    EXPECT_EQ(Resolve(L"any", 0, 80), 1);
    EXPECT_EQ(address.lpSockaddr, nullptr);
    EXPECT_EQ(address.iSockaddrLength, 0);
    // A name resolves with the port set. Any family and type lists the address once per socket
    // type; only the last copy is kept (the leak check of the sanitizer build sees the others
    // released).
    ASSERT_EQ(CSocketUtil::GetHostAddress(L"localhost", TKV::SOFamilyUnspec, 0, 0, 7, &address), 1);
    const int family = address.lpSockaddr->sa_family;
    ASSERT_TRUE(family == AF_INET || family == AF_INET6);
    EXPECT_EQ(address.iSockaddrLength, family == AF_INET ? 16 : 28);
    EXPECT_TRUE(family == AF_INET ? In4().sin_addr.s_addr == htonl(INADDR_LOOPBACK)
                                  : IN6_IS_ADDR_LOOPBACK(&In6().sin6_addr));
    EXPECT_EQ(In4().sin_port, htons(7));  // same offset in both families
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    ASSERT_TRUE(CSocketUtil::GetAddrInfo(L"127.0.0.1", L"8081", &hints, &list));
    EXPECT_EQ(reinterpret_cast<sockaddr_in*>(list->ai_addr)->sin_port, htons(8081));
    TKV::platform::freeaddrinfo(list);

    WSASetLastError(0);
    EXPECT_FALSE(CSocketUtil::GetAddrInfo(nullptr, static_cast<unsigned short>(80), &hints, &list));
    EXPECT_EQ(WSAGetLastError(), 0);  // the resolver was never asked
}

TEST_F(SocketUtil, AddressTextCutsThePortAndReverseLookupsFillRecordOnlyOnSuccess) {
    sockaddr_in a = Loopback(8080);
    SOCKET_ADDRESS s{reinterpret_cast<sockaddr*>(&a), sizeof(a)};
    wchar_t text[64];
    EXPECT_EQ(CSocketUtil::IPAddressToString(&s, text, 64), 15);  // "127.0.0.1:8080" + NUL
    EXPECT_STREQ(text, L"127.0.0.1");
    a.sin_port = 0;
    EXPECT_EQ(CSocketUtil::IPAddressToString(&s, text, 64), 10);
    EXPECT_STREQ(text, L"127.0.0.1");

    sockaddr_in6 v6{};
    v6.sin6_family = AF_INET6;
    v6.sin6_addr = in6addr_loopback;
    v6.sin6_port = htons(80);
    SOCKET_ADDRESS s6{reinterpret_cast<sockaddr*>(&v6), sizeof(v6)};
    EXPECT_EQ(CSocketUtil::IPAddressToString(&s6, text, 64), 9);
    EXPECT_STREQ(text, L"[::1]");
    EXPECT_EQ(CSocketUtil::IPAddressToString(&s6, text, 8), 0);  // no room for "[::1]:80"
    a.sin_port = htons(80);
    TKV::TSOHostNameW host;
    ASSERT_EQ(CSocketUtil::GetHostNameW(reinterpret_cast<sockaddr*>(&a), sizeof(a), &host,
                                        TKV::SONameNumericHost),
              0);
    EXPECT_STREQ(host, L"127.0.0.1");
    TKV::TSOServiceNameW service;
    ASSERT_EQ(CSocketUtil::GetServName(reinterpret_cast<sockaddr*>(&a), sizeof(a), &service,
                                       TKV::SONameNumericServ),
              0);
    EXPECT_STREQ(service, L"80");

    wcscpy(host.name, L"kept");
    EXPECT_NE(CSocketUtil::GetHostNameW(reinterpret_cast<sockaddr*>(&a), 3, &host, 0), 0);
    EXPECT_STREQ(host, L"kept");
}

TEST(SocketUtilText, ConvertsIPv4TextsAndTellsHostNames) {
    EXPECT_EQ(CSocketUtil::IP4SockIPToStrIP(nullptr), nullptr);
    sockaddr_in a{};
    a.sin_addr.s_addr = htonl(0x0A010203);
    EXPECT_STREQ(CSocketUtil::IP4SockIPToStrIP(&a), L"10.1.2.3");
    EXPECT_EQ(CSocketUtil::IP4StrIPToSockIP(nullptr), 0xFFFFFFFFul);
    EXPECT_EQ(CSocketUtil::IP4StrIPToSockIP(L"127.0.0.1"), htonl(INADDR_LOOPBACK));
    EXPECT_EQ(CSocketUtil::IP4StrIPToSockIP(L""), 0xFFFFFFFFul);
    EXPECT_EQ(CSocketUtil::IP4StrIPToSockIP(L"localhost"), 0xFFFFFFFFul);
    // A host name has something besides letters and digits.
    EXPECT_FALSE(CSocketUtil::IsHostName(nullptr));
    EXPECT_FALSE(CSocketUtil::IsHostName(L""));
    EXPECT_FALSE(CSocketUtil::IsHostName(L"server01"));
    EXPECT_TRUE(CSocketUtil::IsHostName(L"my-host"));
    EXPECT_TRUE(CSocketUtil::IsHostName(L"10.0.0.1"));
}
