// Opening the trace file: Windows names files in UTF-16, so the wide path is used as it is.
#include <cstdio>

#include "platform/trace_file.h"

namespace TKV::platform {

std::FILE* OpenTraceStream(const wchar_t* path) {
    return _wfopen(path, L"wb");
}

}  // namespace TKV::platform
