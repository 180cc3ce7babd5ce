// The trace file over a POSIX descriptor and a stdio stream. The bytes are those of the Windows
// "w,ccs=UNICODE" stream: agents' tools read the log as UTF-16LE text with a byte-order mark.
#include "platform/trace_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cwchar>

#include "platform/posix/utf8.h"

namespace TKV::detail {

namespace {

inline unsigned char* PutUnit(unsigned char* p, unsigned long unit) {
    p[0] = static_cast<unsigned char>(unit & 0xFF);
    p[1] = static_cast<unsigned char>(unit >> 8);
    return p + 2;
}

}  // namespace

TraceFile::TraceFile(int flushEvery) : flushEvery_(flushEvery) {}

TraceFile::~TraceFile() {
    Close();
}

bool TraceFile::Open(const wchar_t* path) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (stream_ != nullptr) {
        return true;
    }
    if (path == nullptr || *path == L'\0') {
        return false;
    }
    // File names are byte strings here; the wide path is stored as UTF-8.
    int fd = ::open(WideToUtf8(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        return false;
    }
    std::FILE* stream = ::fdopen(fd, "wb");
    if (stream == nullptr) {
        ::close(fd);
        return false;
    }
    static const unsigned char kBom[2] = {0xFF, 0xFE};
    std::fwrite(kBom, 1, sizeof kBom, stream);
    stream_ = stream;
    return true;
}

void TraceFile::Close() {
    std::lock_guard<std::mutex> guard(mutex_);
    if (stream_ != nullptr) {
        std::fclose(stream_);
        stream_ = nullptr;
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
    std::fwrite(bytes, 1, size, stream_);
    if (++writes_ >= flushEvery_) {
        std::fflush(stream_);
        writes_ = 0;
    }
}

void TraceFile::Write(const wchar_t* text) {
    if (text == nullptr) {
        return;
    }
    size_t length = std::wcslen(text);
    std::lock_guard<std::mutex> guard(mutex_);
    if (stream_ == nullptr) {
        return;
    }
    if (out_.size() < length * kMaxBytesPerChar) {
        out_.resize(length * kMaxBytesPerChar);
    }
    WriteLocked(out_.data(), Encode(text, length, out_.data()));
}

void TraceFile::WriteEncoded(const unsigned char* bytes, size_t size) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (stream_ != nullptr) {
        WriteLocked(bytes, size);
    }
}

}  // namespace TKV::detail
