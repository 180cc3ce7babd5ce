// Windows Sockets on Windows: the system's own calls, offered in TKV::platform under the names
// the networking code uses. The buffer and option arguments, which Winsock types as char, are
// adapted to the void pointers of the portable declarations. Windows wakes a blocked accept or
// recv only when its socket is closed, so shutdown, accept, recv and closesocket are the
// library's own (winsock.cpp): a shutdown of the receiving side also wakes and refuses them.
// Sockets are inheritable by default there; socket and accept make them private to the process.
#ifndef TKV_PLATFORM_WIN32_WINSOCK_H
#define TKV_PLATFORM_WIN32_WINSOCK_H

#include <winsock2.h>
#include <ws2tcpip.h>

namespace TKV::platform {

using ::bind;
using ::connect;
using ::freeaddrinfo;
using ::getaddrinfo;
using ::getpeername;
using ::getsockname;
using ::inet_addr;
using ::inet_ntoa;
using ::ioctlsocket;
using ::listen;
using ::WSAAddressToStringA;
using ::WSAAddressToStringW;
using ::WSACleanup;
using ::WSADATA;
using ::WSAStartup;

// A shutdown of the receiving side (SD_RECEIVE, SD_BOTH) ends an accept or recv blocked on s
// in another thread with WSAEINTR, and every later one fails with it at once, until closesocket.
int shutdown(SOCKET s, int how);
// Sockets, made and accepted, are not inherited by programs the process starts.
SOCKET socket(int af, int type, int protocol);
SOCKET accept(SOCKET s, sockaddr* address, int* addressLength);
int recv(SOCKET s, void* buffer, int length, int flags);
int closesocket(SOCKET s);

inline int send(SOCKET s, const void* buffer, int length, int flags) {
    return ::send(s, static_cast<const char*>(buffer), length, flags);
}
inline int setsockopt(SOCKET s, int level, int option, const void* value, int length) {
    return ::setsockopt(s, level, option, static_cast<const char*>(value), length);
}
inline int getsockopt(SOCKET s, int level, int option, void* value, int* length) {
    return ::getsockopt(s, level, option, static_cast<char*>(value), length);
}
inline int getnameinfo(const sockaddr* address, int length, char* host, DWORD hostLength,
                       char* service, DWORD serviceLength, int flags) {
    return ::getnameinfo(address, length, host, hostLength, service, serviceLength, flags);
}

}  // namespace TKV::platform

#endif  // TKV_PLATFORM_WIN32_WINSOCK_H
