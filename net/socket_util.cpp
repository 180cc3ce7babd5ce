// Winsock start-up and the CSocketUtil helpers: resolution into an owned address, reverse
// look-ups, IPv4 texts and socket options. Host and service texts reach the resolver as narrow
// text in the ANSI code page, converted in buffers of their own.
#include <stdio.h>
#include <string.h>
#include <wctype.h>

#include <string>

#include "foundation/string_convert.h"
#include "platform/winsock.h"
#include "tkv/heap.h"
#include "tkv/socket_util.h"
#include "tkv/string_functions.h"

namespace TKV {
namespace {

constexpr unsigned int kAnsiCodePage = 0;

// Resolution runs on many threads at once (every Connect and listen thread), so its texts are
// converted into buffers of their own: a temporary-string slot could be handed to another
// thread while getaddrinfo still reads it.
const char* Narrow(const wchar_t* text, std::string& out) {
    return detail::ConvertInto(text, kAnsiCodePage, out);
}

// Fills address with a MemAlloc copy of length bytes; false when the heap refuses.
bool SetAddressCopy(SOCKET_ADDRESS* address, const void* bytes, size_t length) {
    void* copy = MemAlloc(static_cast<unsigned int>(length));
    if (copy == nullptr) {
        return false;
    }
    memcpy(copy, bytes, length);
    address->lpSockaddr = static_cast<sockaddr*>(copy);
    address->iSockaddrLength = static_cast<int>(length);
    return true;
}

// The last IPv4 or IPv6 entry of the list; earlier copies are released as later ones replace
// them, so the caller owns exactly one block.
bool KeepLastInternetAddress(const addrinfo* list, SOCKET_ADDRESS* address) {
    for (const addrinfo* entry = list; entry != nullptr; entry = entry->ai_next) {
        if (entry->ai_family != AF_INET && entry->ai_family != AF_INET6) {
            continue;
        }
        SOCKET_ADDRESS copy{nullptr, 0};
        if (SetAddressCopy(&copy, entry->ai_addr, entry->ai_addrlen)) {
            MemFree(address->lpSockaddr);
            *address = copy;
        }
    }
    return address->lpSockaddr != nullptr;
}

// The wildcard address of the family with the port; true with nothing built for a family
// that is neither IPv4 nor IPv6.
bool BuildWildcard(unsigned short family, unsigned short port, SOCKET_ADDRESS* address) {
    if (family == AF_INET) {
        sockaddr_in any{};
        any.sin_family = AF_INET;
        any.sin_port = htons(port);
        any.sin_addr.s_addr = htonl(INADDR_ANY);
        return SetAddressCopy(address, &any, sizeof(any));
    }
    if (family == AF_INET6) {
        sockaddr_in6 any{};
        any.sin6_family = AF_INET6;
        any.sin6_port = htons(port);
        any.sin6_addr = in6addr_any;
        return SetAddressCopy(address, &any, sizeof(any));
    }
    return true;
}

// Converts a reverse look-up's narrow text into the wide record, bounded to its size.
template <class Record>
void StoreName(Record* record, const char* text) {
    constexpr int capacity = static_cast<int>(sizeof(record->name) / sizeof(record->name[0]));
    std::wstring wide;  // not a temporary string, for the same reason as Narrow
    StrSafeCopy(record->name, detail::ConvertInto(text, kAnsiCodePage, wide), capacity - 1);
}

}  // namespace

void InitWSA() {
    platform::WSADATA data;
    platform::WSAStartup(0x0202, &data);
}

void CloseWSA() {
    platform::WSACleanup();
}

bool CSocketUtil::GetAddrInfo(const wchar_t* host, const wchar_t* service, const addrinfo* hints,
                              addrinfo** result) {
    std::string narrowHost, narrowService;
    return platform::getaddrinfo(Narrow(host, narrowHost), Narrow(service, narrowService), hints,
                                 result) == 0;
}

bool CSocketUtil::GetAddrInfo(const wchar_t* host, unsigned short port, const addrinfo* hints,
                              addrinfo** result) {
    if (host == nullptr) {
        return false;
    }
    std::string narrowHost;
    char narrowPort[8];
    snprintf(narrowPort, sizeof(narrowPort), "%d", static_cast<int>(port));
    return platform::getaddrinfo(Narrow(host, narrowHost), narrowPort, hints, result) == 0;
}

int CSocketUtil::GetHostAddress(const wchar_t* host, unsigned short family, IPPROTO protocol,
                                unsigned short type, unsigned short port, SOCKET_ADDRESS* address) {
    if (address == nullptr) {
        WSASetLastError(WSAEFAULT);
        return 0;
    }
    address->lpSockaddr = nullptr;
    address->iSockaddrLength = 0;
    const bool wildcard = host == nullptr || host[0] == L'\0' || StrEqual(host, L"any", false);
    if (wildcard) {
        if (!BuildWildcard(family, port, address)) {
            WSASetLastError(WSA_NOT_ENOUGH_MEMORY);
            return 0;
        }
        return 1;
    }
    addrinfo hints{};
    hints.ai_family = family;
    hints.ai_socktype = type;
    hints.ai_protocol = protocol;
    addrinfo* list = nullptr;
    if (!GetAddrInfo(host, port, &hints, &list)) {
        return 0;
    }
    const bool found = KeepLastInternetAddress(list, address);
    platform::freeaddrinfo(list);
    if (!found) {
        // Resolved, but to nothing a TCP endpoint can use: say so rather than leave a stale error.
        WSASetLastError(WSANO_DATA);
        return 0;
    }
    return 1;
}

int CSocketUtil::GetHostNameW(const sockaddr* address, int length, TSOHostNameW* name, int flags) {
    char host[1025] = {};
    int result = platform::getnameinfo(address, length, host, sizeof(host), nullptr, 0, flags);
    if (result == 0 && name != nullptr) {
        StoreName(name, host);
    }
    return result;
}

int CSocketUtil::GetServName(const sockaddr* address, int length, TSOServiceNameW* name,
                             int flags) {
    char service[32] = {};
    int result =
        platform::getnameinfo(address, length, nullptr, 0, service, sizeof(service), flags);
    if (result == 0 && name != nullptr) {
        StoreName(name, service);
    }
    return result;
}

int CSocketUtil::GetPeerName(unsigned int socket, sockaddr* address, int* length) {
    return platform::getpeername(socket, address, length);
}

int CSocketUtil::GetSockName(unsigned int socket, sockaddr* address, int* length) {
    return platform::getsockname(socket, address, length);
}

int CSocketUtil::GetOptions(unsigned int socket, int level, int option, void* value, int length) {
    int copy = length;
    return platform::getsockopt(socket, level, option, value, &copy);
}

int CSocketUtil::SetOptions(unsigned int socket, int level, int option, const void* value,
                            int length) {
    return platform::setsockopt(socket, level, option, value, length);
}

const wchar_t* CSocketUtil::IP4SockIPToStrIP(const sockaddr_in* address) {
    if (address == nullptr) {
        return nullptr;
    }
    return StrConvert(platform::inet_ntoa(address->sin_addr), kAnsiCodePage);
}

unsigned long CSocketUtil::IP4StrIPToSockIP(const wchar_t* text) {
    if (text == nullptr) {
        return INADDR_NONE;
    }
    return platform::inet_addr(StrConvert(text, kAnsiCodePage));
}

int CSocketUtil::IPAddressToString(const SOCKET_ADDRESS* address, wchar_t* text,
                                   unsigned long size) {
    if (address == nullptr) {
        WSASetLastError(WSAEFAULT);
        return 0;
    }
    DWORD count = size;
    if (platform::WSAAddressToStringW(address->lpSockaddr,
                                      static_cast<DWORD>(address->iSockaddrLength), nullptr, text,
                                      &count) != 0) {
        return 0;
    }
    // The port is whatever follows the last ':'; the first character is never looked at.
    for (DWORD i = count - 1; count != 0 && i >= 1; --i) {
        if (text[i] == L':') {
            text[i] = L'\0';
            break;
        }
    }
    return static_cast<int>(count);
}

bool CSocketUtil::IsHostName(const wchar_t* text) {
    if (text == nullptr || text[0] == L'\0') {
        return false;
    }
    for (const wchar_t* c = text; *c != L'\0'; ++c) {
        if (!iswalnum(static_cast<wint_t>(*c))) {
            return true;
        }
    }
    return false;
}

}  // namespace TKV
