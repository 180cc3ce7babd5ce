// Name resolution and address texts with Windows results: resolver codes become Winsock error
// numbers, and addresses are written the way Windows writes them.
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include "platform/posix/winsock_detail.h"
#include "platform/winsock.h"

namespace TKV::platform {
namespace {

// Names under the reserved top-level domain "invalid" never resolve; they are answered at once
// instead of being sent to a name server that may be slow or unreachable.
bool IsReservedInvalidName(const char* host) {
    if (host == nullptr) {
        return false;
    }
    size_t length = strlen(host);
    if (length > 0 && host[length - 1] == '.') {
        --length;
    }
    static const char kLabel[] = "invalid";
    const size_t label = sizeof(kLabel) - 1;
    if (length < label || strncasecmp(host + length - label, kLabel, label) != 0) {
        return false;
    }
    return length == label || host[length - label - 1] == '.';
}

int ResolverResult(int code) {
    int error = detail::ErrorFromResolver(code, errno);
    if (error != 0) {
        WSASetLastError(error);
    }
    return error;
}

// The address as Windows formats it; 0, or the Winsock error for an address it cannot format.
int FormatAddress(const sockaddr* address, DWORD length, char* text, size_t room) {
    char host[INET6_ADDRSTRLEN] = {};
    if (address->sa_family == AF_INET) {
        if (length < sizeof(sockaddr_in)) {
            return WSAEFAULT;
        }
        const auto* in4 = reinterpret_cast<const sockaddr_in*>(address);
        inet_ntop(AF_INET, &in4->sin_addr, host, sizeof(host));
        const unsigned port = ntohs(in4->sin_port);
        if (port != 0) {
            snprintf(text, room, "%s:%u", host, port);
        } else {
            snprintf(text, room, "%s", host);
        }
        return 0;
    }
    if (address->sa_family == AF_INET6) {
        if (length < sizeof(sockaddr_in6)) {
            return WSAEFAULT;
        }
        const auto* in6 = reinterpret_cast<const sockaddr_in6*>(address);
        inet_ntop(AF_INET6, &in6->sin6_addr, host, sizeof(host));
        char scoped[INET6_ADDRSTRLEN + 16];
        if (in6->sin6_scope_id != 0) {
            snprintf(scoped, sizeof(scoped), "%s%%%u", host, in6->sin6_scope_id);
        } else {
            snprintf(scoped, sizeof(scoped), "%s", host);
        }
        const unsigned port = ntohs(in6->sin6_port);
        if (port != 0) {
            snprintf(text, room, "[%s]:%u", scoped, port);
        } else {
            snprintf(text, room, "%s", scoped);
        }
        return 0;
    }
    return WSAEINVAL;
}

// One body for both widths: the text is ASCII, so each character widens as it is.
template <class CharT>
int AddressToString(const sockaddr* address, DWORD length, CharT* text, DWORD* size) {
    if (!detail::Started()) {
        return detail::Fail(WSANOTINITIALISED);
    }
    if (address == nullptr || size == nullptr || length < sizeof(sa_family_t)) {
        return detail::Fail(WSAEFAULT);
    }
    char formatted[96];
    int error = FormatAddress(address, length, formatted, sizeof(formatted));
    if (error != 0) {
        return detail::Fail(error);
    }
    const DWORD needed = static_cast<DWORD>(strlen(formatted)) + 1;
    if (text == nullptr || *size < needed) {
        *size = needed;
        return detail::Fail(WSAEFAULT);
    }
    for (DWORD i = 0; i < needed; ++i) {
        text[i] = static_cast<CharT>(static_cast<unsigned char>(formatted[i]));
    }
    *size = needed;
    return 0;
}

}  // namespace

int getaddrinfo(const char* host, const char* service, const addrinfo* hints, addrinfo** result) {
    if (!detail::Started()) {
        WSASetLastError(WSANOTINITIALISED);
        return WSANOTINITIALISED;
    }
    if (result == nullptr) {
        WSASetLastError(WSAEINVAL);
        return WSAEINVAL;
    }
    *result = nullptr;
    if (IsReservedInvalidName(host)) {
        return ResolverResult(EAI_NONAME);
    }
    return ResolverResult(::getaddrinfo(host, service, hints, result));
}

void freeaddrinfo(addrinfo* list) {
    if (list != nullptr) {
        ::freeaddrinfo(list);
    }
}

int getnameinfo(const sockaddr* address, int length, char* host, DWORD hostLength, char* service,
                DWORD serviceLength, int flags) {
    if (!detail::Started()) {
        WSASetLastError(WSANOTINITIALISED);
        return WSANOTINITIALISED;
    }
    if (address == nullptr || length <= 0) {
        WSASetLastError(WSAEFAULT);
        return WSAEFAULT;
    }
    return ResolverResult(::getnameinfo(address, static_cast<socklen_t>(length), host,
                                        static_cast<socklen_t>(hostLength), service,
                                        static_cast<socklen_t>(serviceLength), flags));
}

int WSAAddressToStringA(const sockaddr* address, DWORD length, void* /*protocolInfo*/, char* text,
                        DWORD* size) {
    return AddressToString(address, length, text, size);
}

int WSAAddressToStringW(const sockaddr* address, DWORD length, void* /*protocolInfo*/,
                        wchar_t* text, DWORD* size) {
    return AddressToString(address, length, text, size);
}

unsigned long inet_addr(const char* text) {
    if (text == nullptr) {
        return INADDR_NONE;
    }
    return static_cast<unsigned long>(::inet_addr(text));
}

char* inet_ntoa(in_addr address) {
    thread_local char text[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, &address, text, sizeof(text));
    return text;
}

}  // namespace TKV::platform
