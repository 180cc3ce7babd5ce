#include <io.h>

#include "platform/file_stream.h"
#include "tkv/winapi.h"

namespace TKV::platform {

long long StreamFileLength(FILE* stream) {
    if (stream == nullptr)
        return -1;
    const int fd = _fileno(stream);
    if (fd < 0)
        return -1;
    const auto file = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    // Pipes and consoles have no length; only disk files do.
    if (file == INVALID_HANDLE_VALUE || GetFileType(file) != FILE_TYPE_DISK)
        return -1;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size))
        return -1;
    return size.QuadPart;
}

}  // namespace TKV::platform
