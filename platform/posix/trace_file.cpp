// Opening the trace file: file names are byte strings here, so the wide path is stored as UTF-8.
#include <fcntl.h>
#include <unistd.h>

#include "platform/posix/utf8.h"
#include "platform/trace_file.h"

namespace TKV::platform {

std::FILE* OpenTraceStream(const wchar_t* path) {
    int fd =
        ::open(detail::WideToUtf8(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        return nullptr;
    }
    std::FILE* stream = ::fdopen(fd, "wb");
    if (stream == nullptr) {
        ::close(fd);
    }
    return stream;
}

}  // namespace TKV::platform
