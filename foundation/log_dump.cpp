// The dumps of received traffic into the trace log: hex lines and text.
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "foundation/logging.h"
#include "platform/trace_file.h"
#include "platform/unload.h"
#include "sync/lock_hold.h"
#include "tkv/diagnostics.h"
#include "tkv/lock.h"
#include "tkv/string_functions.h"

namespace {

constexpr unsigned int kUtf8CodePage = 65001;

// The hex-dump line, built in the trace file's encoding: reused by every LogHex, grows to the
// longest line, never shrinks. Plain data released by the module's unload (it must outlive the
// library's static objects). Guarded by LogLock().
unsigned char* g_hexLine = nullptr;
size_t g_hexLineBytes = 0;

void ReleaseHexLine() {
    std::free(g_hexLine);
    g_hexLine = nullptr;
    g_hexLineBytes = 0;
}

// Grows the line to exactly bytes, zero-filling the new part; false when it cannot.
bool ReserveHexLine(size_t bytes) {
    if (bytes <= g_hexLineBytes) {
        return true;
    }
    void* grown = std::realloc(g_hexLine, bytes);
    if (grown == nullptr) {
        return false;
    }
    if (g_hexLine == nullptr) {
        TKV::platform::RegisterUnloadAction(ReleaseHexLine);
    }
    std::memset(static_cast<char*>(grown) + g_hexLineBytes, 0, bytes - g_hexLineBytes);
    g_hexLine = static_cast<unsigned char*>(grown);
    g_hexLineBytes = bytes;
    return true;
}

// Serialises the three dumps and the line buffer; outlives the static objects.
TKV::CLock& LogLock() {
    return TKV::platform::UnloadOwned<TKV::CLock>::Get();
}

}  // namespace

namespace TKV {

void LogHex(const wchar_t* header, const unsigned char* data, unsigned long length) {
    if (!detail::IsLoggingOn()) {
        return;
    }
    TKV::detail::LockHold hold(LogLock());
    using platform::TraceFile;
    size_t headerChars = 0;
    if (header != nullptr && header[0] != L'\0') {
        headerChars = std::wcslen(header);
    }
    // Header, space, two digits per byte, CR LF. Lengths whose line size would overflow are
    // skipped like a failed growth.
    constexpr size_t kUnit = 2;
    if (headerChars > (SIZE_MAX / 2) / TraceFile::kMaxBytesPerChar) {
        return;
    }
    size_t fixed = headerChars * TraceFile::kMaxBytesPerChar + 3 * kUnit;
    if (length > (SIZE_MAX - fixed) / (2 * kUnit)) {
        return;
    }
    if (length > 0 && data == nullptr) {
        return;
    }
    if (!ReserveHexLine(fixed + static_cast<size_t>(length) * 2 * kUnit)) {
        return;
    }
    unsigned char* out = g_hexLine;
    if (headerChars != 0) {
        out += TraceFile::Encode(header, headerChars, out);
        *out++ = ' ';
        *out++ = 0;
    }
    // Plain arithmetic rather than a digit table: the compiler turns this loop into vector code.
    for (unsigned long i = 0; i < length; ++i) {
        unsigned char high = data[i] >> 4;
        unsigned char low = data[i] & 0x0F;
        out[4 * i] = static_cast<unsigned char>(high + (high > 9 ? 'A' - 10 : '0'));
        out[4 * i + 1] = 0;
        out[4 * i + 2] = static_cast<unsigned char>(low + (low > 9 ? 'A' - 10 : '0'));
        out[4 * i + 3] = 0;
    }
    out += 4 * static_cast<size_t>(length);
    static const unsigned char kLineEnd[] = {'\r', 0, '\n', 0};
    std::memcpy(out, kLineEnd, sizeof kLineEnd);
    out += sizeof kLineEnd;
    detail::TraceLogFile().WriteEncoded(g_hexLine, static_cast<size_t>(out - g_hexLine));
}

void LogTextA(const char* text) {
    if (!detail::IsLoggingOn() || text == nullptr || text[0] == '\0') {
        return;
    }
    TKV::detail::LockHold hold(LogLock());
    TKVWriteTraceLog(StrConvert(text, kUtf8CodePage));
}

void LogTextW(const wchar_t* text) {
    if (!detail::IsLoggingOn() || text == nullptr || text[0] == L'\0') {
        return;
    }
    TKV::detail::LockHold hold(LogLock());
    TKVWriteTraceLog(text);
}

}  // namespace TKV
