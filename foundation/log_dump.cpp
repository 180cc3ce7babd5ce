// The dumps of received traffic into the trace log: hex lines and text.
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "foundation/logging.h"
#include "foundation/module_state.h"
#include "tkv/diagnostics.h"
#include "tkv/lock.h"
#include "tkv/string_functions.h"

namespace {

constexpr unsigned int kUtf8CodePage = 65001;

// The hex-dump line: reused by every LogHex, grows to the longest line, never shrinks. Plain data
// released by the module's unload (it must outlive the library's static objects). Guarded by
// g_logLock.
wchar_t* g_hexLine = nullptr;
size_t g_hexLineBytes = 0;

void ReleaseHexLine() {
    std::free(g_hexLine);
    g_hexLine = nullptr;
    g_hexLineBytes = 0;
}

// Grows the line to exactly needed characters, zero-filling the new part; false when it cannot.
bool ReserveHexLine(size_t needed) {
    size_t bytes = needed * sizeof(wchar_t);
    if (bytes <= g_hexLineBytes) {
        return true;
    }
    void* grown = std::realloc(g_hexLine, bytes);
    if (grown == nullptr) {
        return false;
    }
    if (g_hexLine == nullptr) {
        TKV::detail::RegisterUnloadAction(ReleaseHexLine);
    }
    std::memset(static_cast<char*>(grown) + g_hexLineBytes, 0, bytes - g_hexLineBytes);
    g_hexLine = static_cast<wchar_t*>(grown);
    g_hexLineBytes = bytes;
    return true;
}

TKV::CLock g_logLock;     // serialises the three dumps and the line buffer

// RAII hold of a CLock for one dump.
class LogLockHold {
  public:
    LogLockHold() { g_logLock.Lock(); }
    ~LogLockHold() { g_logLock.Unlock(); }
    LogLockHold(const LogLockHold&) = delete;
    LogLockHold& operator=(const LogLockHold&) = delete;
};

constexpr wchar_t kHexDigits[] = L"0123456789ABCDEF";

}  // namespace

namespace TKV {

void LogHex(const wchar_t* header, const unsigned char* data, unsigned long length) {
    if (!detail::IsLoggingOn()) {
        return;
    }
    LogLockHold hold;
    size_t headerChars = 0;  // the header and its separating space
    if (header != nullptr && header[0] != L'\0') {
        headerChars = std::wcslen(header) + 1;
    }
    // Lengths whose line size would overflow are skipped like a failed growth.
    const size_t maxChars = SIZE_MAX / sizeof(wchar_t);
    if (length > (maxChars - 3 - headerChars) / 2) {
        return;
    }
    if (length > 0 && data == nullptr) {
        return;
    }
    size_t needed = static_cast<size_t>(length) * 2 + 3 + headerChars;
    if (!ReserveHexLine(needed)) {
        return;
    }
    wchar_t* line = g_hexLine;
    if (headerChars != 0) {
        std::wmemcpy(line, header, headerChars - 1);
        line[headerChars - 1] = L' ';
    }
    wchar_t* out = line + headerChars;
    for (unsigned long i = 0; i < length; ++i) {
        out[0] = kHexDigits[data[i] >> 4];
        out[1] = kHexDigits[data[i] & 0x0F];
        out += 2;
    }
    out[0] = L'\n';
    out[1] = L'\0';
    TKVWriteTraceLog(line);
}

void LogTextA(const char* text) {
    if (!detail::IsLoggingOn() || text == nullptr || text[0] == '\0') {
        return;
    }
    LogLockHold hold;
    TKVWriteTraceLog(StrConvert(text, kUtf8CodePage));
}

void LogTextW(const wchar_t* text) {
    if (!detail::IsLoggingOn() || text == nullptr || text[0] == L'\0') {
        return;
    }
    LogLockHold hold;
    TKVWriteTraceLog(text);
}

}  // namespace TKV
