// Socket calls over BSD sockets with Windows results: Winsock error numbers, no SIGPIPE, no
// EINTR, close-on-exec descriptors, and a shutdown that makes a blocked recv or accept fail as
// closing the handle does on Windows.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <string.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <unordered_map>

#include "platform/posix/winsock_detail.h"
#include "platform/unload.h"
#include "platform/winsock.h"

namespace TKV::platform {
namespace {

using detail::Fail;
using detail::FailErrno;

std::atomic<int> g_startups{0};  // WSAStartup calls not yet matched by WSACleanup

// The directions of each descriptor that this process shut down. A recv that then returns 0, or
// an accept that then fails, was woken by that shutdown rather than by the peer; a send that
// then fails met the local shutdown, not a broken connection.
constexpr int kShutReceive = 1;
constexpr int kShutSend = 2;

class ShutdownMarks {
  public:
    void Set(int fd, int directions) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_fds[fd] |= directions;
    }
    void Clear(int fd) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_fds.erase(fd);
    }
    bool Has(int fd, int direction) {
        std::lock_guard<std::mutex> guard(m_lock);
        auto found = m_fds.find(fd);
        return found != m_fds.end() && (found->second & direction) != 0;
    }

  private:
    std::mutex m_lock;
    std::unordered_map<int, int> m_fds;  // descriptor -> kShut... bits; guarded by m_lock
};

// Destroyed only by an unload: a worker thread may still shut a socket down while the process
// exits.
ShutdownMarks& Marks() {
    return UnloadOwned<ShutdownMarks>::Get();
}

int Fd(SOCKET s) {
    return static_cast<int>(s);
}

// Library code reads handle 0 as "no socket"; a socket that lands on descriptor 0 (stdin closed)
// moves to another number.
int KeepOffZero(int fd) {
    if (fd != 0) {
        return fd;
    }
    int moved = fcntl(fd, F_DUPFD_CLOEXEC, 1);
    int saved = errno;
    close(fd);
    errno = saved;
    return moved;
}

bool IsStreamSocket(int fd) {
    int type = 0;
    socklen_t length = sizeof(type);
    return ::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length) == 0 && type == SOCK_STREAM;
}

// A call interrupted by a signal is made again, as Windows calls are never interrupted.
template <class Call>
auto RetryOnSignal(Call call) {
    decltype(call()) r;
    do {
        r = call();
    } while (r < 0 && errno == EINTR);
    return r;
}

// An interrupted blocking connect goes on in the background: wait for it rather than retry.
int FinishInterruptedConnect(int fd) {
    pollfd p{fd, POLLOUT, 0};
    if (RetryOnSignal([&] { return poll(&p, 1, -1); }) < 0) {
        return -1;
    }
    int error = 0;
    socklen_t length = sizeof(error);
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
        return -1;
    }
    errno = error;
    return error == 0 ? 0 : -1;
}

// The checks recv and send share: 0 when the transfer may go ahead, else the failed result.
int CheckTransfer(const void* buffer, int length) {
    if (!detail::Started()) {
        return Fail(WSANOTINITIALISED);
    }
    if (length < 0 || (buffer == nullptr && length > 0)) {
        return Fail(WSAEFAULT);
    }
    return 0;
}

template <class Call>
int AddressQuery(Call call, SOCKET s, sockaddr* address, int* length) {
    if (!detail::Started()) {
        return Fail(WSANOTINITIALISED);
    }
    if (address == nullptr || length == nullptr || *length < 0) {
        return Fail(WSAEFAULT);
    }
    sockaddr_storage storage{};
    socklen_t actual = sizeof(storage);
    if (call(Fd(s), reinterpret_cast<sockaddr*>(&storage), &actual) != 0) {
        return FailErrno();
    }
    // Windows refuses a buffer that is too small instead of truncating the address.
    if (static_cast<socklen_t>(*length) < actual) {
        return Fail(WSAEFAULT);
    }
    memcpy(address, &storage, actual);
    *length = static_cast<int>(actual);
    return 0;
}

}  // namespace

namespace detail {
bool Started() {
    return g_startups.load(std::memory_order_acquire) > 0;
}
}  // namespace detail

int WSAStartup(WORD version, WSADATA* data) {
    const int major = version & 0xFF;
    const int minor = (version >> 8) & 0xFF;
    if (major < 1 || (major == 1 && minor < 1)) {
        return WSAVERNOTSUPPORTED;
    }
    if (data == nullptr) {
        return WSAEFAULT;
    }
    memset(data, 0, sizeof(*data));
    data->wVersion = (major > 2 || (major == 2 && minor >= 2)) ? 0x0202 : version;
    data->wHighVersion = 0x0202;
    strcpy(data->szDescription, "BSD sockets");
    strcpy(data->szSystemStatus, "Running");
    g_startups.fetch_add(1, std::memory_order_acq_rel);
    return 0;
}

int WSACleanup() {
    int count = g_startups.load(std::memory_order_acquire);
    while (count > 0 &&
           !g_startups.compare_exchange_weak(count, count - 1, std::memory_order_acq_rel)) {
    }
    return count > 0 ? 0 : Fail(WSANOTINITIALISED);
}

SOCKET socket(int af, int type, int protocol) {
    if (!detail::Started()) {
        Fail(WSANOTINITIALISED);
        return INVALID_SOCKET;
    }
    int fd = KeepOffZero(::socket(af, type | SOCK_CLOEXEC, protocol));
    if (fd < 0) {
        FailErrno();
        return INVALID_SOCKET;
    }
    Marks().Clear(fd);
    return static_cast<SOCKET>(fd);
}

int connect(SOCKET s, const sockaddr* name, int nameLength) {
    if (!detail::Started()) {
        return Fail(WSANOTINITIALISED);
    }
    if (name == nullptr || nameLength <= 0) {
        return Fail(WSAEFAULT);
    }
    int r = ::connect(Fd(s), name, static_cast<socklen_t>(nameLength));
    if (r < 0 && errno == EINTR) {
        r = FinishInterruptedConnect(Fd(s));
    }
    if (r < 0) {
        // A non-blocking connect under way is "would block" in Windows terms.
        return errno == EINPROGRESS ? Fail(WSAEWOULDBLOCK) : FailErrno();
    }
    return 0;
}

int bind(SOCKET s, const sockaddr* name, int nameLength) {
    if (!detail::Started()) {
        return Fail(WSANOTINITIALISED);
    }
    if (name == nullptr || nameLength <= 0) {
        return Fail(WSAEFAULT);
    }
    if ((name->sa_family == AF_INET || name->sa_family == AF_INET6) && IsStreamSocket(Fd(s))) {
        int on = 1;
        ::setsockopt(Fd(s), SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    }
    if (::bind(Fd(s), name, static_cast<socklen_t>(nameLength)) != 0) {
        return FailErrno();
    }
    return 0;
}

int listen(SOCKET s, int backlog) {
    if (!detail::Started()) {
        return Fail(WSANOTINITIALISED);
    }
    // Windows does not bind an unbound socket to a port of its choosing on listen.
    sockaddr_storage local{};
    socklen_t length = sizeof(local);
    if (::getsockname(Fd(s), reinterpret_cast<sockaddr*>(&local), &length) != 0) {
        return FailErrno();
    }
    if ((local.ss_family == AF_INET && reinterpret_cast<sockaddr_in&>(local).sin_port == 0) ||
        (local.ss_family == AF_INET6 && reinterpret_cast<sockaddr_in6&>(local).sin6_port == 0)) {
        return Fail(WSAEINVAL);
    }
    if (::listen(Fd(s), backlog) != 0) {
        return FailErrno();
    }
    return 0;
}

SOCKET accept(SOCKET s, sockaddr* address, int* addressLength) {
    if (!detail::Started()) {
        Fail(WSANOTINITIALISED);
        return INVALID_SOCKET;
    }
    if ((address == nullptr) != (addressLength == nullptr) ||
        (addressLength != nullptr && *addressLength < 0)) {
        Fail(WSAEFAULT);
        return INVALID_SOCKET;
    }
    // An accepted socket takes the listening socket's blocking mode, as on Windows.
    int flags = SOCK_CLOEXEC;
    int status = fcntl(Fd(s), F_GETFL);
    if (status >= 0 && (status & O_NONBLOCK) != 0) {
        flags |= SOCK_NONBLOCK;
    }
    socklen_t length = addressLength != nullptr ? static_cast<socklen_t>(*addressLength) : 0;
    int fd = RetryOnSignal([&] {
        return ::accept4(Fd(s), address, addressLength != nullptr ? &length : nullptr, flags);
    });
    if (fd < 0) {
        const int error = errno;
        Fail(Marks().Has(Fd(s), kShutReceive) ? WSAEINTR : detail::ErrorFromErrno(error));
        return INVALID_SOCKET;
    }
    fd = KeepOffZero(fd);
    if (fd < 0) {
        FailErrno();
        return INVALID_SOCKET;
    }
    Marks().Clear(fd);
    if (addressLength != nullptr) {
        *addressLength = static_cast<int>(length);
    }
    return static_cast<SOCKET>(fd);
}

int recv(SOCKET s, void* buffer, int length, int flags) {
    if (CheckTransfer(buffer, length) != 0) {
        return SOCKET_ERROR;
    }
    const ssize_t n =
        RetryOnSignal([&] { return ::recv(Fd(s), buffer, static_cast<size_t>(length), flags); });
    if (n < 0) {
        return FailErrno();
    }
    if (n == 0 && length > 0 && Marks().Has(Fd(s), kShutReceive)) {
        return Fail(WSAEINTR);
    }
    return static_cast<int>(n);
}

int send(SOCKET s, const void* buffer, int length, int flags) {
    if (CheckTransfer(buffer, length) != 0) {
        return SOCKET_ERROR;
    }
    const ssize_t n = RetryOnSignal(
        [&] { return ::send(Fd(s), buffer, static_cast<size_t>(length), flags | MSG_NOSIGNAL); });
    if (n < 0) {
        const int error = errno;
        if (error == EPIPE && Marks().Has(Fd(s), kShutSend)) {
            return Fail(WSAESHUTDOWN);
        }
        return Fail(detail::ErrorFromErrno(error));
    }
    return static_cast<int>(n);
}

int shutdown(SOCKET s, int how) {
    int mode;
    switch (how) {
        case SD_RECEIVE:
            mode = SHUT_RD;
            break;
        case SD_SEND:
            mode = SHUT_WR;
            break;
        case SD_BOTH:
            mode = SHUT_RDWR;
            break;
        default:
            return Fail(WSAEINVAL);
    }
    const int directions = how == SD_RECEIVE ? kShutReceive
                           : how == SD_SEND  ? kShutSend
                                             : kShutReceive | kShutSend;
    // Marked before the call, so the thread it wakes already sees why.
    Marks().Set(Fd(s), directions);
    if (::shutdown(Fd(s), mode) != 0) {
        int error = errno;
        if (error == EBADF || error == ENOTSOCK) {
            Marks().Clear(Fd(s));
        }
        return Fail(detail::ErrorFromErrno(error));
    }
    return 0;
}

int closesocket(SOCKET s) {
    Marks().Clear(Fd(s));
    // close is never retried: after EINTR the descriptor is already released.
    if (::close(Fd(s)) != 0 && errno != EINTR) {
        return FailErrno();
    }
    return 0;
}

int ioctlsocket(SOCKET s, long cmd, unsigned long* argp) {
    if (!detail::Started()) {
        return Fail(WSANOTINITIALISED);
    }
    if (argp == nullptr) {
        return Fail(WSAEFAULT);
    }
    if (cmd == static_cast<long>(FIONBIO)) {
        int status = fcntl(Fd(s), F_GETFL);
        if (status < 0) {
            return FailErrno();
        }
        status = *argp != 0 ? (status | O_NONBLOCK) : (status & ~O_NONBLOCK);
        return fcntl(Fd(s), F_SETFL, status) == 0 ? 0 : FailErrno();
    }
    if (cmd == static_cast<long>(FIONREAD)) {
        int ready = 0;
        if (::ioctl(Fd(s), FIONREAD, &ready) != 0) {
            return FailErrno();
        }
        *argp = static_cast<unsigned long>(ready);
        return 0;
    }
    return Fail(WSAEINVAL);
}

int setsockopt(SOCKET s, int level, int option, const void* value, int length) {
    if (!detail::Started()) {
        return Fail(WSANOTINITIALISED);
    }
    if (value == nullptr || length < 0) {
        return Fail(WSAEFAULT);
    }
    if (level == SOL_SOCKET && option == SO_DONTLINGER) {
        if (length < static_cast<int>(sizeof(int))) {
            return Fail(WSAEFAULT);
        }
        linger current{};
        socklen_t size = sizeof(current);
        if (::getsockopt(Fd(s), SOL_SOCKET, SO_LINGER, &current, &size) != 0) {
            return FailErrno();
        }
        current.l_onoff = *static_cast<const int*>(value) != 0 ? 0 : 1;
        if (::setsockopt(Fd(s), SOL_SOCKET, SO_LINGER, &current, sizeof(current)) != 0) {
            return FailErrno();
        }
        return 0;
    }
    if (::setsockopt(Fd(s), level, option, value, static_cast<socklen_t>(length)) != 0) {
        return FailErrno();
    }
    return 0;
}

int getsockopt(SOCKET s, int level, int option, void* value, int* length) {
    if (!detail::Started()) {
        return Fail(WSANOTINITIALISED);
    }
    if (value == nullptr || length == nullptr || *length < 0) {
        return Fail(WSAEFAULT);
    }
    if (level == SOL_SOCKET && option == SO_DONTLINGER) {
        if (*length < static_cast<int>(sizeof(int))) {
            return Fail(WSAEFAULT);
        }
        linger current{};
        socklen_t size = sizeof(current);
        if (::getsockopt(Fd(s), SOL_SOCKET, SO_LINGER, &current, &size) != 0) {
            return FailErrno();
        }
        *static_cast<int*>(value) = current.l_onoff == 0 ? 1 : 0;
        *length = sizeof(int);
        return 0;
    }
    socklen_t size = static_cast<socklen_t>(*length);
    if (::getsockopt(Fd(s), level, option, value, &size) != 0) {
        return FailErrno();
    }
    // A pending socket error is reported in the Winsock numbering.
    if (level == SOL_SOCKET && option == SO_ERROR && size >= sizeof(int)) {
        int* error = static_cast<int*>(value);
        *error = detail::ErrorFromErrno(*error);
    }
    *length = static_cast<int>(size);
    return 0;
}

int getpeername(SOCKET s, sockaddr* address, int* length) {
    return AddressQuery(::getpeername, s, address, length);
}

int getsockname(SOCKET s, sockaddr* address, int* length) {
    return AddressQuery(::getsockname, s, address, length);
}

}  // namespace TKV::platform
