// The length of the file behind a standard C stream. Internal to the library.
#ifndef TKV_PLATFORM_FILE_STREAM_H
#define TKV_PLATFORM_FILE_STREAM_H

#include <cstdio>

namespace TKV::platform {

// The whole file's length in bytes, whatever the stream's position; -1 when the stream has no
// file with a length (a pipe, a terminal) or cannot be asked.
long long StreamFileLength(FILE* stream);

}  // namespace TKV::platform

#endif  // TKV_PLATFORM_FILE_STREAM_H
