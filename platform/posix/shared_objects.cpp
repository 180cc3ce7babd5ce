// Named objects in /dev/shm segments, and the machine-wide wake counter their waits sleep on.
#include "platform/posix/shared_objects.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/futex.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <new>
#include <thread>

#include "platform/posix/utf8.h"

namespace TKV::platform::detail {

namespace {

constexpr unsigned kMaxHolders = 64;
// shm_open takes up to NAME_MAX bytes; the prefix and the escapes need room too.
constexpr size_t kMaxNameBytes = 200;

}  // namespace

struct SharedSegment {
    std::atomic<std::uint32_t> ready;  // 1 once the creator has initialised the rest
    std::uint32_t kind;
    pthread_mutex_t state;  // robust, process-shared: guards the plain fields below
    std::uint32_t unlinked;
    std::uint32_t manualReset;
    std::uint32_t signalled;
    pid_t holders[kMaxHolders];  // processes that have the name open; 0 is a free entry
    // A named mutex's ownership: robust, process-shared and error-checking, so the owner is
    // told apart from others; the levels of recursion are counted here by the owner.
    pthread_mutex_t owner;
    std::atomic<std::uint32_t> recursion;
    std::atomic<pid_t> ownerPid;
    std::atomic<std::uint32_t> abandoned;
};

namespace {

static_assert(std::atomic<std::uint32_t>::is_always_lock_free, "shared atomics must be lock-free");
static_assert(sizeof(SharedSegment) <= 4096, "one page per name");

struct WakeSegment {
    std::atomic<std::uint32_t> sequence;
    std::atomic<std::uint32_t> sleepers;
};

std::string Prefix() {
    return "/tkv-" + std::to_string(::getuid()) + "-";
}

// Characters safe in a file name stay; every other byte of the UTF-8 name is escaped.
bool PathFor(const wchar_t* name, std::string* path) {
    const std::string utf8 = WideToUtf8(name);
    if (utf8.empty() || utf8.size() > kMaxNameBytes) {
        return false;
    }
    static const char hex[] = "0123456789abcdef";
    std::string encoded = Prefix();
    for (unsigned char c : utf8) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '.' || c == '_' || c == '-') {
            encoded += static_cast<char>(c);
        } else {
            encoded += '%';
            encoded += hex[c >> 4];
            encoded += hex[c & 15];
        }
    }
    if (encoded.size() > NAME_MAX) {
        return false;
    }
    *path = encoded;
    return true;
}

void LockRobust(pthread_mutex_t* mutex) {
    if (pthread_mutex_lock(mutex) == EOWNERDEAD) {
        // The state is a few words written under the lock; whatever a dead holder left is
        // still a valid state.
        pthread_mutex_consistent(mutex);
    }
}

void InitMutex(pthread_mutex_t* mutex, int type) {
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED);
    pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST);
    pthread_mutexattr_settype(&attr, type);
    pthread_mutex_init(mutex, &attr);
    pthread_mutexattr_destroy(&attr);
}

bool Alive(pid_t pid) {
    return ::kill(pid, 0) == 0 || errno != ESRCH;
}

// Under the state lock: forgets processes that ended without closing, then adds this one.
bool AddHolder(SharedSegment* s) {
    const pid_t me = ::getpid();
    pid_t* free = nullptr;
    for (pid_t& holder : s->holders) {
        if (holder != 0 && holder != me && !Alive(holder)) {
            holder = 0;
        }
        if (holder == me) {
            return true;
        }
        if (holder == 0 && free == nullptr) {
            free = &holder;
        }
    }
    if (free == nullptr) {
        return false;
    }
    *free = me;
    return true;
}

// Under the state lock: true when no live process holds the name any more.
bool RemoveHolder(SharedSegment* s) {
    const pid_t me = ::getpid();
    bool others = false;
    for (pid_t& holder : s->holders) {
        if (holder == me || (holder != 0 && !Alive(holder))) {
            holder = 0;
        }
        others |= holder != 0;
    }
    return !others;
}

DWORD ErrorFromErrno(int error) {
    switch (error) {
        case ENOENT:
            return ERROR_FILE_NOT_FOUND;
        case ENAMETOOLONG:
            return ERROR_FILENAME_EXCED_RANGE;
        case EMFILE:
        case ENFILE:
            return ERROR_TOO_MANY_OPEN_FILES;
        case ENOMEM:
        case ENOSPC:
            return ERROR_NOT_ENOUGH_MEMORY;
        default:
            return ERROR_ACCESS_DENIED;
    }
}

// Waits a little for another process to finish what it is doing to a new segment.
template <typename Done>
bool Await(Done done) {
    for (int i = 0; i < 2000; ++i) {
        if (done()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return done();
}

WakeSegment* MapWake() {
    const std::string path = Prefix() + "wake";
    const int fd = ::shm_open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0) {
        struct stat info;
        void* map = MAP_FAILED;
        if (::fstat(fd, &info) == 0 && (info.st_size >= static_cast<off_t>(sizeof(WakeSegment)) ||
                                        ::ftruncate(fd, sizeof(WakeSegment)) == 0)) {
            map = ::mmap(nullptr, sizeof(WakeSegment), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        }
        ::close(fd);
        if (map != MAP_FAILED) {
            return static_cast<WakeSegment*>(map);
        }
    }
    // Without the shared counter named objects still work inside this process.
    static WakeSegment local{};
    return &local;
}

WakeSegment& TheWake() {
    static WakeSegment* const wake = MapWake();
    return *wake;
}

std::uint32_t* FutexWord(std::atomic<std::uint32_t>& word) {
    return reinterpret_cast<std::uint32_t*>(&word);
}

}  // namespace

std::uint32_t WakeSequence() {
    return TheWake().sequence.load();
}

void SleepOnWake(std::uint32_t seen, DWORD milliseconds) {
    WakeSegment& wake = TheWake();
    wake.sleepers.fetch_add(1);
    // A change after `seen` was read makes the futex return at once: no wake is lost.
    if (wake.sequence.load() == seen) {
        struct timespec timeout = {static_cast<time_t>(milliseconds / 1000),
                                   static_cast<long>(milliseconds % 1000) * 1000000L};
        ::syscall(SYS_futex, FutexWord(wake.sequence), FUTEX_WAIT, seen,
                  milliseconds == INFINITE ? nullptr : &timeout, nullptr, 0);
    }
    wake.sleepers.fetch_sub(1);
}

void WakeSleepers() {
    WakeSegment& wake = TheWake();
    wake.sequence.fetch_add(1);
    if (wake.sleepers.load() != 0) {
        ::syscall(SYS_futex, FutexWord(wake.sequence), FUTEX_WAKE, INT_MAX, nullptr, nullptr, 0);
    }
}

SharedObject::SharedObject(ObjectKind kind, std::string path, SharedSegment* segment)
    : KernelObject(kind), m_path(std::move(path)), m_segment(segment) {}

SharedObject::~SharedObject() {
    Lock();
    if (RemoveHolder(m_segment)) {
        m_segment->unlinked = 1;
        ::shm_unlink(m_path.c_str());
    }
    Unlock();
    // A thread of this process that still owns the mutex has it on its robust list, which
    // the C library walks: that mapping must stay.
    if (kind != ObjectKind::Mutex || m_segment->ownerPid.load() != ::getpid()) {
        ::munmap(m_segment, sizeof(SharedSegment));
    }
}

void SharedObject::Lock() {
    LockRobust(&m_segment->state);
}

void SharedObject::Unlock() {
    pthread_mutex_unlock(&m_segment->state);
}

bool SharedObject::EventSignalled() const {
    return m_segment->signalled != 0;
}

SharedObject::Take SharedObject::TryTake() {
    SharedSegment* s = m_segment;
    if (kind == ObjectKind::Event) {
        if (s->manualReset == 0) {
            s->signalled = 0;
        }
        return Take::Owned;
    }
    int result = pthread_mutex_trylock(&s->owner);
    if (result == EDEADLK) {
        s->recursion.fetch_add(1);
        return Take::Owned;
    }
    if (result == EOWNERDEAD) {
        pthread_mutex_consistent(&s->owner);
        s->abandoned.store(1);
        result = 0;
    }
    if (result != 0) {
        return Take::Busy;
    }
    s->ownerPid.store(::getpid());
    s->recursion.store(1);
    return s->abandoned.exchange(0) != 0 ? Take::Abandoned : Take::Owned;
}

void SharedObject::Untake(Take how) {
    SharedSegment* s = m_segment;
    if (kind != ObjectKind::Mutex || how == Take::Busy) {
        return;
    }
    if (s->recursion.fetch_sub(1) > 1) {
        return;
    }
    s->ownerPid.store(0);
    if (how == Take::Abandoned) {
        s->abandoned.store(1);
    }
    pthread_mutex_unlock(&s->owner);
}

void SharedObject::SetSignalled(bool signalled) {
    Lock();
    m_segment->signalled = signalled ? 1 : 0;
    Unlock();
    if (signalled) {
        WakeSleepers();
    }
}

bool SharedObject::ReleaseOwnership() {
    SharedSegment* s = m_segment;
    const int result = pthread_mutex_trylock(&s->owner);
    if (result == EDEADLK) {
        if (s->recursion.fetch_sub(1) == 1) {
            s->ownerPid.store(0);
            pthread_mutex_unlock(&s->owner);
            WakeSleepers();
        }
        return true;
    }
    // Not ours. Had we just taken it, give it straight back as it was.
    if (result == EOWNERDEAD) {
        pthread_mutex_consistent(&s->owner);
        s->abandoned.store(1);
    }
    if (result == 0 || result == EOWNERDEAD) {
        pthread_mutex_unlock(&s->owner);
    }
    return false;
}

SharedObject* OpenShared(ObjectKind kind, const wchar_t* name, bool create, bool manualReset,
                         bool initialState, bool* created, DWORD* error) {
    *created = false;
    std::string path;
    if (!PathFor(name, &path)) {
        *error = ERROR_FILENAME_EXCED_RANGE;
        return nullptr;
    }
    const std::uint32_t kindValue = kind == ObjectKind::Event ? 1 : 2;
    // A closing process may unlink the name between our open and our lock: then start over.
    for (int attempt = 0; attempt < 100; ++attempt) {
        int fd =
            create ? ::shm_open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600) : -1;
        const bool fresh = fd >= 0;
        if (!fresh) {
            if (create && errno != EEXIST) {
                *error = ErrorFromErrno(errno);
                return nullptr;
            }
            fd = ::shm_open(path.c_str(), O_RDWR | O_CLOEXEC, 0);
            if (fd < 0) {
                if (errno == ENOENT && create) {
                    continue;
                }
                *error = ErrorFromErrno(errno);
                return nullptr;
            }
        }
        bool sized = fresh && ::ftruncate(fd, sizeof(SharedSegment)) == 0;
        if (!fresh) {
            sized = Await([&] {
                struct stat info;
                return ::fstat(fd, &info) == 0 &&
                       info.st_size >= static_cast<off_t>(sizeof(SharedSegment));
            });
        }
        void* map = sized ? ::mmap(nullptr, sizeof(SharedSegment), PROT_READ | PROT_WRITE,
                                   MAP_SHARED, fd, 0)
                          : MAP_FAILED;
        ::close(fd);
        if (map == MAP_FAILED) {
            if (fresh) {
                ::shm_unlink(path.c_str());
            }
            *error = ERROR_NOT_ENOUGH_MEMORY;
            return nullptr;
        }
        auto* s = static_cast<SharedSegment*>(map);
        if (fresh) {
            s->kind = kindValue;
            InitMutex(&s->state, PTHREAD_MUTEX_NORMAL);
            InitMutex(&s->owner, PTHREAD_MUTEX_ERRORCHECK);
            s->manualReset = manualReset ? 1 : 0;
            s->signalled = initialState ? 1 : 0;
            s->holders[0] = ::getpid();
            s->ready.store(1);
        } else if (!Await([&] { return s->ready.load() == 1; })) {
            ::munmap(map, sizeof(SharedSegment));
            *error = ERROR_ACCESS_DENIED;  // a creator that never finished
            return nullptr;
        } else {
            LockRobust(&s->state);
            const bool gone = s->unlinked != 0;
            const bool sameKind = s->kind == kindValue;
            const bool added = !gone && sameKind && AddHolder(s);
            pthread_mutex_unlock(&s->state);
            if (!added) {
                ::munmap(map, sizeof(SharedSegment));
                if (gone) {
                    continue;
                }
                *error = sameKind ? ERROR_TOO_MANY_OPEN_FILES : ERROR_INVALID_HANDLE;
                return nullptr;
            }
        }
        auto* object = new (std::nothrow) SharedObject(kind, path, s);
        if (object == nullptr) {
            // Dropping our hold as a close would.
            SharedObject dropped(kind, path, s);
            *error = ERROR_NOT_ENOUGH_MEMORY;
            return nullptr;
        }
        *created = fresh;
        return object;
    }
    *error = ERROR_ACCESS_DENIED;
    return nullptr;
}

}  // namespace TKV::platform::detail
