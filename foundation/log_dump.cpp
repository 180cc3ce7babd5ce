// The dumps of received traffic into the trace log: hex lines and text.
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>

#include "foundation/logging.h"
#include "tkv/diagnostics.h"
#include "tkv/lock.h"
#include "tkv/string_func.h"
#include "tkv/tmp_string.h"

namespace {

constexpr unsigned int kUtf8CodePage = 65001;

struct FreeDeleter {
    void operator()(void* block) const { std::free(block); }
};

// The hex-dump line: reused by every LogHex, grows to the longest line, never shrinks, and is
// released when the module unloads. Guarded by g_logLock.
struct HexLineBuffer {
    std::unique_ptr<wchar_t, FreeDeleter> chars;
    size_t capacityBytes = 0;

    // Grows to exactly needed characters, zero-filling the new part; false when it cannot.
    bool Reserve(size_t needed) {
        size_t bytes = needed * sizeof(wchar_t);
        if (bytes <= capacityBytes) {
            return true;
        }
        void* grown = std::realloc(chars.get(), bytes);
        if (grown == nullptr) {
            return false;
        }
        (void)chars.release();
        chars.reset(static_cast<wchar_t*>(grown));
        std::memset(static_cast<char*>(grown) + capacityBytes, 0, bytes - capacityBytes);
        capacityBytes = bytes;
        return true;
    }
};

TKV::CLock g_logLock;     // serialises the three dumps and the line buffer
HexLineBuffer g_hexLine;  // guarded by g_logLock

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
    if (!g_hexLine.Reserve(needed)) {
        return;
    }
    wchar_t* line = g_hexLine.chars.get();
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
