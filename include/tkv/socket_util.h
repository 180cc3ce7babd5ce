// Starting Windows Sockets, the records in which sockets are set up and names are passed, and
// CSocketUtil, the resolution and conversion helpers that the socket classes and agents share.
#ifndef TKV_SOCKET_UTIL_H
#define TKV_SOCKET_UTIL_H

#include "tkv/export.h"
#include "tkv/winsock.h"

namespace TKV {

// Start (version 2.2) and stop Windows Sockets for the process; each InitWSA is matched by one
// CloseWSA, after the last socket object is gone.
TKV_API void InitWSA();
TKV_API void CloseWSA();

// The setup of a socket, filled in field by field by the agent (no constructor). family, type
// and protocol take the platform's values (TKV::SOFamilyInet, SOTypeStream, SOProtocolTCP).
struct TKV_API TSOSocketInfo {
    unsigned short family;
    IPPROTO protocol;
    unsigned short type;
    wchar_t host[1025];   // name or numeric address; empty or "any" means every local address
    unsigned short port;  // host byte order
};

// Fixed-size name buffers, copied whole on assignment; each reads as its text.
template <class CharT, int Size>
struct TSOName {
    CharT name[Size];
    operator CharT*() { return name; }
    operator const CharT*() const { return name; }
};
typedef TSOName<char, 1025> TSOHostNameA;  // the largest host name a reverse look-up gives
typedef TSOName<wchar_t, 1025> TSOHostNameW;
typedef TSOName<char, 32> TSOServiceNameA;  // the largest service name
typedef TSOName<wchar_t, 32> TSOServiceNameW;

// Static helpers over Winsock. Failures are reported by the result alone; the thread's Winsock
// error (WSAGetLastError) is left for the caller to read.
class TKV_API CSocketUtil {
  public:
    CSocketUtil() = default;
    CSocketUtil(const CSocketUtil&) = default;
    CSocketUtil& operator=(const CSocketUtil&) { return *this; }
    CSocketUtil& operator=(CSocketUtil&&) { return *this; }

    // getaddrinfo on the host and service (either may be null); free the list with freeaddrinfo.
    static bool GetAddrInfo(const wchar_t* host, const wchar_t* service, const addrinfo* hints,
                            addrinfo** result);
    // The same with a port number; false at once for a null host.
    static bool GetAddrInfo(const wchar_t* host, unsigned short port, const addrinfo* hints,
                            addrinfo** result);
    // Resolves host into a MemAlloc copy of its address (the last IPv4/IPv6 entry found), or the
    // family's wildcard address for a null, empty or "any" host. 1 on success, 0 on failure.
    static int GetHostAddress(const wchar_t* host, unsigned short family, IPPROTO protocol,
                              unsigned short type, unsigned short port, SOCKET_ADDRESS* address);
    // Reverse look-ups; 0, or the Winsock error with the record left unchanged.
    static int GetHostNameW(const sockaddr* address, int length, TSOHostNameW* name, int flags);
    static int GetServName(const sockaddr* address, int length, TSOServiceNameW* name, int flags);
    // getpeername/getsockname: 0 or SOCKET_ERROR.
    static int GetPeerName(unsigned int socket, sockaddr* address, int* length);
    static int GetSockName(unsigned int socket, sockaddr* address, int* length);
    // getsockopt/setsockopt: 0 or SOCKET_ERROR. GetOptions does not report the length read.
    static int GetOptions(unsigned int socket, int level, int option, void* value, int length);
    static int SetOptions(unsigned int socket, int level, int option, const void* value,
                          int length);
    // Dotted text of an IPv4 address as a temporary string; null for a null address.
    static const wchar_t* IP4SockIPToStrIP(const sockaddr_in* address);
    // The IPv4 address (network byte order) of dotted text; 0xFFFFFFFF when it is none.
    static unsigned long IP4StrIPToSockIP(const wchar_t* text);
    // The address as text without its port, size in characters; returns the character count of
    // the full text (terminator included), 0 on failure.
    static int IPAddressToString(const SOCKET_ADDRESS* address, wchar_t* text, unsigned long size);
    // True when text holds a character that is neither a letter nor a digit; false for null,
    // empty or all-alphanumeric text.
    static bool IsHostName(const wchar_t* text);
    // The English sentence for a Winsock error number; "Unknown socket error" for others.
    static const wchar_t* PrintSocketError(int error);
};

}  // namespace TKV

#endif  // TKV_SOCKET_UTIL_H
