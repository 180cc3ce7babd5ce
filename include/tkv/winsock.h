// The socket types, error numbers and constants that the library's networking interface is
// written in: the system's Windows Sockets headers on Windows, the library's own declarations
// (tkv/posix/winsock.h) elsewhere, with the same names and numbers.
//
// The address family, socket type, protocol and option values an agent puts into TSOSocketInfo
// or passes to CSocketUtil::SetOptions are the platform's own; they are offered below as
// TKV::SO... constants, whose names do not collide with the system's AF_/SOCK_/IPPROTO_ macros
// when an agent includes those headers as well.
#ifndef TKV_WINSOCK_H
#define TKV_WINSOCK_H

#include "tkv/export.h"
#include "tkv/winapi.h"

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#if defined(__MINGW32__)
// The Windows SDK names the protocol numbers' enumeration IPPROTO; mingw-w64 has only the values.
typedef int IPPROTO;
#endif
#else
#include "tkv/posix/winsock.h"
#endif

namespace TKV {

// Address families, socket types and protocols with the platform's values, for TSOSocketInfo.
TKV_API extern const unsigned short SOFamilyUnspec;  // any family (resolution picks)
TKV_API extern const unsigned short SOFamilyInet;    // IPv4
TKV_API extern const unsigned short SOFamilyInet6;   // IPv6
TKV_API extern const unsigned short SOTypeStream;
TKV_API extern const unsigned short SOTypeDgram;
TKV_API extern const IPPROTO SOProtocolTCP;
TKV_API extern const IPPROTO SOProtocolUDP;

// Option levels and names for CSocketUtil::GetOptions/SetOptions. SOOptionDontLinger takes an
// int: non-zero turns lingering on close off.
TKV_API extern const int SOLevelSocket;
TKV_API extern const int SOLevelTCP;
TKV_API extern const int SOOptionReuseAddr;
TKV_API extern const int SOOptionKeepAlive;
TKV_API extern const int SOOptionLinger;
TKV_API extern const int SOOptionDontLinger;
TKV_API extern const int SOOptionRcvBuf;
TKV_API extern const int SOOptionSndBuf;
TKV_API extern const int SOOptionError;
TKV_API extern const int SOOptionTCPNoDelay;

// Flags for CSocketUtil::GetHostNameW/GetServName.
TKV_API extern const int SONameNumericHost;
TKV_API extern const int SONameNumericServ;
TKV_API extern const int SONameRequired;

}  // namespace TKV

#endif  // TKV_WINSOCK_H
