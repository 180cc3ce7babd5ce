// The process-wide trace log: opening, closing, free-form traces and the shared write that every
// trace and dump goes through.
#include <cstdarg>

#include "foundation/logging.h"
#include "platform/format.h"
#include "platform/trace_file.h"
#include "platform/unload.h"
#include "tkv/diagnostics.h"
#include "tkv/tmp_string.h"

namespace {

// The file is flushed after every 16th write rather than on each one; the count runs on across
// files.
constexpr int kWritesPerFlush = 16;

// Longest formatted trace, as the temporary-string rings hand out no more.
constexpr int kMaxTraceChars = 512000;

using TKV::detail::TraceLogFile;

}  // namespace

// Thread-safe on its own: each write lands whole, opening and closing are serialised with it.
// Outlives the static objects, so that a trace written late in the process's exit finds it
// intact; an unload closes the file with it.
TKV::platform::TraceFile& TKV::detail::TraceLogFile() {
    return platform::UnloadOwned<platform::TraceFile, kWritesPerFlush>::Get();
}

bool TKVOpenTraceLog(const wchar_t* path) {
    return TraceLogFile().Open(path);
}

void TKVCloseTraceLog() {
    TraceLogFile().Close();
}

void TKVWriteTraceLog(const wchar_t* text) {
    TraceLogFile().Write(text);
}

// Formats into a wide temporary string even while no log is open, so every trace takes its
// turn in the ring whether or not a file receives it; the write then finds no file.
void TKVTrace(const wchar_t* format, ...) {
    if (format == nullptr) {
        return;
    }
    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    int length = TKV::platform::FormatLength(format, measure);
    va_end(measure);
    wchar_t* text = nullptr;
    if (length >= 0 && length < kMaxTraceChars &&
        TKV::TKVGetTmpString(text, static_cast<unsigned int>(length) + 1) != 0) {
        int written = TKV::platform::Format(text, static_cast<size_t>(length) + 1, format, args);
        text[written >= 0 ? written : 0] = L'\0';
        if (written >= 0) {
            TraceLogFile().Write(text);
        }
    }
    va_end(args);
}
