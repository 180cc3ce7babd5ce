// Helpers shared by the POSIX socket layer's files.
#ifndef TKV_PLATFORM_POSIX_WINSOCK_DETAIL_H
#define TKV_PLATFORM_POSIX_WINSOCK_DETAIL_H

namespace TKV::platform::detail {

// The Winsock number for an errno value; values without a Winsock twin give
// WSASYSCALLFAILURE.
int ErrorFromErrno(int error);
// The Winsock number for a getaddrinfo/getnameinfo result (EAI_SYSTEM consults systemError).
int ErrorFromResolver(int code, int systemError);

// True while WSAStartup calls outnumber WSACleanup calls.
bool Started();

// Store a Winsock error for the thread and return SOCKET_ERROR.
int Fail(int error);
// Store the Winsock error of the current errno and return SOCKET_ERROR.
int FailErrno();

}  // namespace TKV::platform::detail

#endif  // TKV_PLATFORM_POSIX_WINSOCK_DETAIL_H
