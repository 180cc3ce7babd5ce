// The English sentences of the Windows Sockets error numbers, once for the library: the socket
// classes show them and FormatMessage gives them. Internal to the library.
#ifndef TKV_PLATFORM_WINSOCK_ERROR_TEXT_H
#define TKV_PLATFORM_WINSOCK_ERROR_TEXT_H

namespace TKV::platform {

// The sentence for a Winsock error number (10004 ... 11031), without a line break; null for a
// number that has none.
const wchar_t* WinsockErrorText(int error);

}  // namespace TKV::platform

#endif  // TKV_PLATFORM_WINSOCK_ERROR_TEXT_H
