// The trace file over a stdio stream. The bytes are those of the Windows "w,ccs=UNICODE" stream:
// agents' tools read the log as UTF-16LE text with a byte-order mark.
#include "platform/trace_file.h"

#include <cwchar>

namespace TKV::platform {

namespace {

inline unsigned char* PutUnit(unsigned char* p, unsigned long unit) {
    p[0] = static_cast<unsigned char>(unit & 0xFF);
    p[1] = static_cast<unsigned char>(unit >> 8);
    return p + 2;
}

}  // namespace

TraceFile::TraceFile(int flushEvery) : m_flushEvery(flushEvery) {}

TraceFile::~TraceFile() {
    Close();
}

bool TraceFile::Open(const wchar_t* path) {
    std::lock_guard<std::mutex> guard(m_mutex);
    if (m_stream != nullptr) {
        return true;
    }
    if (path == nullptr || *path == L'\0') {
        return false;
    }
    std::FILE* stream = OpenTraceStream(path);
    if (stream == nullptr) {
        return false;
    }
    static const unsigned char kBom[2] = {0xFF, 0xFE};
    std::fwrite(kBom, 1, sizeof kBom, stream);
    m_stream = stream;
    return true;
}

void TraceFile::Close() {
    std::lock_guard<std::mutex> guard(m_mutex);
    if (m_stream != nullptr) {
        std::fclose(m_stream);
        m_stream = nullptr;
    }
}

size_t TraceFile::Encode(const wchar_t* text, size_t length, unsigned char* out) {
    unsigned char* p = out;
    for (size_t i = 0; i < length; ++i) {
        auto c = static_cast<unsigned long>(text[i]);
        if (c < 0x10000) {
            if (c == L'\n') {
                p = PutUnit(p, L'\r');
            }
            p = PutUnit(p, c);
        } else if (c <= 0x10FFFF) {
            c -= 0x10000;
            p = PutUnit(p, 0xD800 | (c >> 10));
            p = PutUnit(p, 0xDC00 | (c & 0x3FF));
        } else {
            p = PutUnit(p, 0xFFFD);  // no UTF-16 form exists
        }
    }
    return static_cast<size_t>(p - out);
}

void TraceFile::WriteLocked(const unsigned char* bytes, size_t size) {
    std::fwrite(bytes, 1, size, m_stream);
    if (++m_writes >= m_flushEvery) {
        std::fflush(m_stream);
        m_writes = 0;
    }
}

void TraceFile::Write(const wchar_t* text) {
    if (text == nullptr) {
        return;
    }
    size_t length = std::wcslen(text);
    std::lock_guard<std::mutex> guard(m_mutex);
    if (m_stream == nullptr) {
        return;
    }
    if (m_out.size() < length * kMaxBytesPerChar) {
        m_out.resize(length * kMaxBytesPerChar);
    }
    WriteLocked(m_out.data(), Encode(text, length, m_out.data()));
}

void TraceFile::WriteEncoded(const unsigned char* bytes, size_t size) {
    std::lock_guard<std::mutex> guard(m_mutex);
    if (m_stream != nullptr) {
        WriteLocked(bytes, size);
    }
}

}  // namespace TKV::platform
