// The platform's socket numbers behind the exported constants of tkv/winsock.h.
#include "platform/winsock.h"

namespace TKV {

const unsigned short SOFamilyUnspec = AF_UNSPEC;
const unsigned short SOFamilyInet = AF_INET;
const unsigned short SOFamilyInet6 = AF_INET6;
const unsigned short SOTypeStream = SOCK_STREAM;
const unsigned short SOTypeDgram = SOCK_DGRAM;
const IPPROTO SOProtocolTCP = IPPROTO_TCP;
const IPPROTO SOProtocolUDP = IPPROTO_UDP;

const int SOLevelSocket = SOL_SOCKET;
const int SOLevelTCP = IPPROTO_TCP;
const int SOOptionReuseAddr = SO_REUSEADDR;
const int SOOptionKeepAlive = SO_KEEPALIVE;
const int SOOptionLinger = SO_LINGER;
const int SOOptionDontLinger = SO_DONTLINGER;
const int SOOptionRcvBuf = SO_RCVBUF;
const int SOOptionSndBuf = SO_SNDBUF;
const int SOOptionError = SO_ERROR;
const int SOOptionTCPNoDelay = TCP_NODELAY;

const int SONameNumericHost = NI_NUMERICHOST;
const int SONameNumericServ = NI_NUMERICSERV;
const int SONameRequired = NI_NAMEREQD;

}  // namespace TKV
