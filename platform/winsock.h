// Windows Sockets calls as the networking code uses them, in namespace TKV::platform so that they
// sit beside the system's own functions of the same names. Results and errors follow Windows: a
// failing call returns SOCKET_ERROR (or INVALID_SOCKET) and leaves a Winsock error number for
// WSAGetLastError; the resolver calls return that number. This header also brings the system's
// address structures (sockaddr_in, sockaddr_in6, addrinfo) and the AF_/SOCK_/IPPROTO_/SOL_/SO_
// constants, whose values are the platform's own.
#ifndef TKV_PLATFORM_WINSOCK_H
#define TKV_PLATFORM_WINSOCK_H

#include "tkv/winapi.h"
#include "tkv/winsock.h"

#if defined(_WIN32)
#include "platform/win32/winsock.h"
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

// What Windows Sockets adds to the system's constants, at the same scope as its macros.
constexpr int SD_RECEIVE = 0;
constexpr int SD_SEND = 1;
constexpr int SD_BOTH = 2;

// An int option at SOL_SOCKET: non-zero turns lingering off, 0 turns it on with the current
// linger time. Its value is the complement of SO_LINGER, so it matches no real option.
constexpr int SO_DONTLINGER = ~SO_LINGER;

namespace TKV::platform {

struct WSADATA {
    WORD wVersion;
    WORD wHighVersion;
    unsigned short iMaxSockets;
    unsigned short iMaxUdpDg;
    char* lpVendorInfo;
    char szDescription[257];
    char szSystemStatus[129];
};

// Start and stop: counted per process; every other call but shutdown and closesocket fails with
// WSANOTINITIALISED while the count is 0. WSAStartup returns its error instead of setting it.
int WSAStartup(WORD version, WSADATA* data);
int WSACleanup();

// Sockets are close-on-exec and never descriptor 0 (0 means "no socket" to the library).
SOCKET socket(int af, int type, int protocol);
int connect(SOCKET s, const sockaddr* name, int nameLength);
// A stream socket is bound with SO_REUSEADDR, so a port held only by TIME_WAIT connections is
// free at once; a port that another socket listens on still gives WSAEADDRINUSE.
int bind(SOCKET s, const sockaddr* name, int nameLength);
int listen(SOCKET s, int backlog);
// After a shutdown of the listening socket (from any thread) accept fails with WSAEINTR.
SOCKET accept(SOCKET s, sockaddr* address, int* addressLength);
// After a local shutdown of the receiving side, recv fails with WSAEINTR instead of returning 0.
int recv(SOCKET s, void* buffer, int length, int flags);
// Never raises SIGPIPE: a broken connection gives WSAECONNRESET, a send after the local
// shutdown of the sending side WSAESHUTDOWN.
int send(SOCKET s, const void* buffer, int length, int flags);
// how: SD_RECEIVE, SD_SEND or SD_BOTH. Wakes a recv or accept blocked on s in another thread.
int shutdown(SOCKET s, int how);
int closesocket(SOCKET s);
// cmd: FIONBIO (argp non-zero: non-blocking) or FIONREAD (bytes ready to read).
int ioctlsocket(SOCKET s, long cmd, unsigned long* argp);
int setsockopt(SOCKET s, int level, int option, const void* value, int length);
int getsockopt(SOCKET s, int level, int option, void* value, int* length);
int getpeername(SOCKET s, sockaddr* address, int* length);
int getsockname(SOCKET s, sockaddr* address, int* length);

// Resolution: 0 on success, else the Winsock error number (also stored for WSAGetLastError).
int getaddrinfo(const char* host, const char* service, const addrinfo* hints, addrinfo** result);
void freeaddrinfo(addrinfo* list);
int getnameinfo(const sockaddr* address, int length, char* host, DWORD hostLength, char* service,
                DWORD serviceLength, int flags);

// "a.b.c.d[:port]" or "addr[%scope]" / "[addr[%scope]]:port"; *size is in characters and counts
// the terminator. A buffer too small gives WSAEFAULT with *size set to the size needed.
int WSAAddressToStringA(const sockaddr* address, DWORD length, void* protocolInfo, char* text,
                        DWORD* size);
int WSAAddressToStringW(const sockaddr* address, DWORD length, void* protocolInfo, wchar_t* text,
                        DWORD* size);

// IPv4 text conversions; inet_ntoa's text is the calling thread's own until its next call.
unsigned long inet_addr(const char* text);
char* inet_ntoa(in_addr address);

}  // namespace TKV::platform

#endif  // !_WIN32

#endif  // TKV_PLATFORM_WINSOCK_H
