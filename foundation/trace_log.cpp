// The process-wide trace log: opening, closing and the shared write that every trace and dump
// goes through.
#include "platform/trace_file.h"
#include "tkv/diagnostics.h"

namespace {

// The file is flushed after every 16th write rather than on each one; the count runs on across
// files.
constexpr int kWritesPerFlush = 16;

// Thread-safe on its own: each write lands whole, opening and closing are serialised with it.
TKV::detail::TraceFile g_traceFile(kWritesPerFlush);

}  // namespace

bool TKVOpenTraceLog(const wchar_t* path) {
    return g_traceFile.Open(path);
}

void TKVCloseTraceLog() {
    g_traceFile.Close();
}

void TKVWriteTraceLog(const wchar_t* text) {
    g_traceFile.Write(text);
}
