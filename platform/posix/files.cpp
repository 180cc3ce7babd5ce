// Files: CreateFileW/ReadFile/GetFileSize over a descriptor that lives in a kernel-table entry,
// and the length of a standard stream's file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>
#include <string>

#include "platform/file_stream.h"
#include "platform/posix/kernel.h"
#include "platform/posix/utf8.h"

namespace TKV::platform {
namespace detail {
namespace {

class FileObject : public KernelObject {
  public:
    explicit FileObject(int fd) : KernelObject(ObjectKind::File), m_fd(fd) {}
    ~FileObject() override { close(m_fd); }

    // A file handle is always signalled: no I/O of it is ever pending.
    bool Available(DWORD) const override { return true; }
    bool Acquire(DWORD) override { return false; }
    int Fd() const { return m_fd; }

  private:
    const int m_fd;
};

DWORD ErrorOf(int error) {
    switch (error) {
        case ENOENT:
            return ERROR_FILE_NOT_FOUND;
        case ENOTDIR:
        case ENAMETOOLONG:
            return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EISDIR:
        case EROFS:
            return ERROR_ACCESS_DENIED;
        case EMFILE:
        case ENFILE:
            return ERROR_TOO_MANY_OPEN_FILES;
        case EEXIST:
            return ERROR_FILE_EXISTS;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        default:
            return ERROR_INVALID_PARAMETER;
    }
}

// What a path that does not exist lacks: Windows tells a missing file (in a folder that is
// there) from a missing folder on its way.
DWORD MissingOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ERROR_FILE_NOT_FOUND;
    const std::string folder = slash == 0 ? "/" : path.substr(0, slash);
    struct stat info;
    return stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) ? ERROR_FILE_NOT_FOUND
                                                                     : ERROR_PATH_NOT_FOUND;
}

// Holds a reference to an open file so the descriptor outlives a concurrent CloseHandle while
// a read runs without the kernel lock.
class FileRef {
  public:
    explicit FileRef(HANDLE handle) {
        Kernel& kernel = TheKernel();
        std::lock_guard<std::mutex> hold(kernel.lock);
        m_file = static_cast<FileObject*>(LookupKind(kernel, handle, ObjectKind::File));
        if (m_file != nullptr) {
            ++m_file->refs;
        }
    }
    ~FileRef() {
        if (m_file != nullptr) {
            Kernel& kernel = TheKernel();
            std::lock_guard<std::mutex> hold(kernel.lock);
            ReleaseObject(kernel, m_file);
        }
    }
    FileRef(const FileRef&) = delete;
    FileRef& operator=(const FileRef&) = delete;
    FileObject* get() const { return m_file; }

  private:
    FileObject* m_file = nullptr;
};

}  // namespace
}  // namespace detail

long long StreamFileLength(FILE* stream) {
    struct stat info;
    if (stream == nullptr || fstat(fileno(stream), &info) != 0 || !S_ISREG(info.st_mode)) {
        return -1;
    }
    return static_cast<long long>(info.st_size);
}

}  // namespace TKV::platform

extern "C" {

HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD disposition,
                   DWORD, HANDLE) {
    using namespace TKV::platform::detail;
    if (name == nullptr || *name == 0) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    int flags = O_CLOEXEC;
    const bool reads = (access & GENERIC_READ) != 0, writes = (access & GENERIC_WRITE) != 0;
    flags |= reads && writes ? O_RDWR : writes ? O_WRONLY : O_RDONLY;
    switch (disposition) {
        case CREATE_NEW:
            flags |= O_CREAT | O_EXCL;
            break;
        case CREATE_ALWAYS:
            flags |= O_CREAT | O_TRUNC;
            break;
        case OPEN_EXISTING:
            break;
        case OPEN_ALWAYS:
            flags |= O_CREAT;
            break;
        case TRUNCATE_EXISTING:
            flags |= O_TRUNC;
            break;
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return INVALID_HANDLE_VALUE;
    }
    const std::string path = WideToUtf8(name);
    int fd;
    do {
        fd = open(path.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        SetLastError(errno == ENOENT ? MissingOf(path) : ErrorOf(errno));
        return INVALID_HANDLE_VALUE;
    }
    struct stat info;
    if (fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        close(fd);
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    auto* file = new (std::nothrow) FileObject(fd);
    if (file == nullptr) {
        close(fd);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return INVALID_HANDLE_VALUE;
    }
    Kernel& kernel = TheKernel();
    std::lock_guard<std::mutex> hold(kernel.lock);
    HANDLE handle = NewHandle(kernel, file);
    if (handle == nullptr) {
        delete file;
        return INVALID_HANDLE_VALUE;
    }
    SetLastError(ERROR_SUCCESS);
    return handle;
}

BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD toRead, DWORD* read, void* overlapped) {
    using namespace TKV::platform::detail;
    if (read != nullptr) {
        *read = 0;
    }
    FileRef file(handle);
    if (file.get() == nullptr) {
        return FALSE;
    }
    if (overlapped != nullptr || (buffer == nullptr && toRead != 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto* out = static_cast<unsigned char*>(buffer);
    DWORD done = 0;
    while (done < toRead) {
        const ssize_t got = ::read(file.get()->Fd(), out + done, toRead - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            SetLastError(ErrorOf(errno));
            return FALSE;
        }
        if (got == 0) {
            break;
        }
        done += static_cast<DWORD>(got);
    }
    if (read != nullptr) {
        *read = done;
    }
    return TRUE;
}

DWORD GetFileSize(HANDLE handle, DWORD* high) {
    using namespace TKV::platform::detail;
    FileRef file(handle);
    struct stat info;
    if (file.get() == nullptr || fstat(file.get()->Fd(), &info) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_FILE_SIZE;
    }
    const auto bytes = static_cast<unsigned long long>(info.st_size);
    if (high != nullptr) {
        *high = static_cast<DWORD>(bytes >> 32);
    }
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(bytes & 0xFFFFFFFFULL);
}

}  // extern "C"
