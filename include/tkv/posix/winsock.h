// The socket types and error numbers that the library's networking interface is written in,
// where the system has no Windows Sockets. A SOCKET is the operating system's descriptor number,
// so agents may hand it to their own system calls. Errors are kept in the Windows Sockets
// numbering (10004, 10061, 11001 ...) in the thread's last error, which WSAGetLastError and
// GetLastError both read. This header includes no system socket header.
// Agents include tkv/winsock.h, which picks this header or the system's.
#ifndef TKV_POSIX_WINSOCK_H
#define TKV_POSIX_WINSOCK_H

#include "tkv/export.h"

struct sockaddr;
struct sockaddr_in;
struct addrinfo;

typedef unsigned int SOCKET;
constexpr SOCKET INVALID_SOCKET = ~0u;
constexpr int SOCKET_ERROR = -1;

// A protocol number (6 for TCP), as the platform numbers them.
typedef int IPPROTO;

// A socket address handed around by pointer and byte length.
struct SOCKET_ADDRESS {
    sockaddr* lpSockaddr;
    int iSockaddrLength;
};
typedef SOCKET_ADDRESS* PSOCKET_ADDRESS;
typedef SOCKET_ADDRESS* LPSOCKET_ADDRESS;

// Error numbers in the Windows Sockets numbering.
constexpr int WSA_NOT_ENOUGH_MEMORY = 8;
constexpr int WSAEINTR = 10004;
constexpr int WSAEBADF = 10009;
constexpr int WSAEACCES = 10013;
constexpr int WSAEFAULT = 10014;
constexpr int WSAEINVAL = 10022;
constexpr int WSAEMFILE = 10024;
constexpr int WSAEWOULDBLOCK = 10035;
constexpr int WSAEINPROGRESS = 10036;
constexpr int WSAEALREADY = 10037;
constexpr int WSAENOTSOCK = 10038;
constexpr int WSAEDESTADDRREQ = 10039;
constexpr int WSAEMSGSIZE = 10040;
constexpr int WSAEPROTOTYPE = 10041;
constexpr int WSAENOPROTOOPT = 10042;
constexpr int WSAEPROTONOSUPPORT = 10043;
constexpr int WSAESOCKTNOSUPPORT = 10044;
constexpr int WSAEOPNOTSUPP = 10045;
constexpr int WSAEPFNOSUPPORT = 10046;
constexpr int WSAEAFNOSUPPORT = 10047;
constexpr int WSAEADDRINUSE = 10048;
constexpr int WSAEADDRNOTAVAIL = 10049;
constexpr int WSAENETDOWN = 10050;
constexpr int WSAENETUNREACH = 10051;
constexpr int WSAENETRESET = 10052;
constexpr int WSAECONNABORTED = 10053;
constexpr int WSAECONNRESET = 10054;
constexpr int WSAENOBUFS = 10055;
constexpr int WSAEISCONN = 10056;
constexpr int WSAENOTCONN = 10057;
constexpr int WSAESHUTDOWN = 10058;
constexpr int WSAETOOMANYREFS = 10059;
constexpr int WSAETIMEDOUT = 10060;
constexpr int WSAECONNREFUSED = 10061;
constexpr int WSAELOOP = 10062;
constexpr int WSAENAMETOOLONG = 10063;
constexpr int WSAEHOSTDOWN = 10064;
constexpr int WSAEHOSTUNREACH = 10065;
constexpr int WSAENOTEMPTY = 10066;
constexpr int WSAEPROCLIM = 10067;
constexpr int WSAEUSERS = 10068;
constexpr int WSAEDQUOT = 10069;
constexpr int WSAESTALE = 10070;
constexpr int WSAEREMOTE = 10071;
constexpr int WSASYSNOTREADY = 10091;
constexpr int WSAVERNOTSUPPORTED = 10092;
constexpr int WSANOTINITIALISED = 10093;
constexpr int WSAEDISCON = 10101;
constexpr int WSASYSCALLFAILURE = 10107;
constexpr int WSATYPE_NOT_FOUND = 10109;
constexpr int WSAHOST_NOT_FOUND = 11001;
constexpr int WSATRY_AGAIN = 11002;
constexpr int WSANO_RECOVERY = 11003;
constexpr int WSANO_DATA = 11004;

extern "C" {

// The calling thread's socket error; the same storage as GetLastError.
TKV_API int WSAGetLastError();
TKV_API void WSASetLastError(int error);

}  // extern "C"

#endif  // TKV_POSIX_WINSOCK_H
