// CBuffer: reading streams and cutting the text into lines.
#include <climits>
#include <cstring>
#include <cwchar>
#include <string>

#include "foundation/string_traits.h"
#include "platform/file_stream.h"
#include "tkv/buffer.h"

namespace TKV {
namespace {

// Characters read per step of Load: small enough to stay in cache between the read and the
// passes that drop carriage returns and cut lines.
constexpr size_t kChunk = 64 * 1024;

// Reads up to room characters; fewer only at the end of the stream or on an error.
size_t ReadChars(FILE* stream, char* out, size_t room) {
    return std::fread(out, 1, room, stream);
}
size_t ReadChars(FILE* stream, wchar_t* out, size_t room) {
    // The stream's own conversion decides how bytes become characters.
    size_t n = 0;
    while (n < room) {
        const wint_t c = std::fgetwc(stream);
        if (c == WEOF) {
            break;
        }
        out[n++] = static_cast<wchar_t>(c);
    }
    return n;
}

// Whether the stream has nothing more to read; what it had stays unread.
bool AtEnd(FILE* stream, char*) {
    const int c = std::fgetc(stream);
    return c == EOF || std::ungetc(c, stream) == EOF;
}
bool AtEnd(FILE* stream, wchar_t*) {
    const wint_t c = std::fgetwc(stream);
    return c == WEOF || std::ungetwc(c, stream) == WEOF;
}

int ReadChar(FILE* stream, char*) {
    const int c = std::fgetc(stream);
    return c == EOF ? -1 : static_cast<unsigned char>(c);
}
long long ReadChar(FILE* stream, wchar_t*) {
    const wint_t c = std::fgetwc(stream);
    return c == WEOF ? -1 : static_cast<long long>(c);
}

// The first line feed in [s, end), or end.
template <typename T>
const T* NextLineFeed(const T* s, const T* end) {
    const T* found = detail::FindIn(s, T('\n'), static_cast<size_t>(end - s));
    return found != nullptr ? found : end;
}

// Removes every carriage return from the n characters at s; returns how many are left.
template <typename T>
size_t DropCarriageReturns(T* s, size_t n) {
    T* cr = const_cast<T*>(detail::FindIn(s, T('\r'), n));
    if (cr == nullptr) {
        return n;
    }
    T* out = cr;
    const T* in = cr + 1;
    const T* end = s + n;
    while (in < end) {
        const T* next = detail::FindIn(in, T('\r'), static_cast<size_t>(end - in));
        const T* stop = next != nullptr ? next : end;
        std::memmove(out, in, static_cast<size_t>(stop - in) * sizeof(T));
        out += stop - in;
        in = stop + 1;
    }
    return static_cast<size_t>(out - s);
}

}  // namespace

template <typename T>
int CBuffer<T>::ReAllocForFile(FILE* stream) {
    const long long bytes = platform::StreamFileLength(stream);
    if (bytes < 0 || bytes > (INT_MAX - 16) / static_cast<long long>(sizeof(T))) {
        return 0;
    }
    // Any stream mode yields at most one character per byte of the file.
    const int needed = static_cast<int>(bytes) * static_cast<int>(sizeof(T));
    Realloc(needed);
    return needed;
}

template <typename T>
int CBuffer<T>::Load(FILE* stream) {
    length = 0;
    lines.Reset();
    if (results != nullptr) {
        results->Reset();
    }
    if (buffer != nullptr) {
        buffer[0] = 0;
    }
    if (stream == nullptr) {
        return 0;
    }
    ReAllocForFile(stream);
    size_t lineStart = 0;
    for (;;) {
        size_t room = static_cast<size_t>(Room()) - static_cast<size_t>(length);
        if (room == 0) {
            if (AtEnd(stream, buffer)) {
                break;
            }
            // The file grew since it was measured, or has no length (a pipe): grow by a chunk.
            const long long bytes = (static_cast<long long>(length) + kChunk) * sizeof(T);
            if (bytes > INT_MAX - 16 || Realloc(static_cast<int>(bytes)) == nullptr ||
                Room() == length) {
                break;
            }
            room = static_cast<size_t>(Room()) - static_cast<size_t>(length);
        }
        T* chunk = buffer + length;
        size_t got = ReadChars(stream, chunk, room < kChunk ? room : kChunk);
        if (got == 0) {
            break;
        }
        got = DropCarriageReturns(chunk, got);
        const T* end = chunk + got;
        if (detail::FindIn(chunk, T(0), got) == nullptr) {
            // No NUL from the file: only line feeds end lines.
            for (T* p = chunk; (p = const_cast<T*>(NextLineFeed(p, end))) != end;) {
                AddLine(buffer + lineStart, p);
                lineStart = static_cast<size_t>(++p - buffer);
            }
        } else {
            for (T* p = chunk; p < end; ++p) {
                if (*p == '\n' || *p == 0) {
                    AddLine(buffer + lineStart, p);
                    lineStart = static_cast<size_t>(p + 1 - buffer);
                }
            }
        }
        length += static_cast<int>(got);
    }
    if (buffer != nullptr) {
        if (lineStart < static_cast<size_t>(length)) {
            AddLine(buffer + lineStart, buffer + length);
        }
        buffer[length] = 0;
    }
    return lines.Count();
}

template <typename T>
T* CBuffer<T>::GetNext(FILE*& stream, int index) {
    if (stream == nullptr) {
        TLineEntry<T> entry = lines.Get(index);
        return index >= 0 && index < lines.Count() ? entry.line : nullptr;
    }
    // The line is gathered apart and appended once, so the text grows once per line.
    std::basic_string<T> line;
    for (;;) {
        const auto c = ReadChar(stream, static_cast<T*>(nullptr));
        if (c < 0) {
            Add(line.data(), static_cast<int>(line.size()));
            std::fclose(stream);
            stream = nullptr;
            return nullptr;
        }
        if (c == '\r') {
            continue;
        }
        if (c == '\n' || c == 0) {
            const int start = length;
            line.push_back(0);
            Add(line.data(), static_cast<int>(line.size()));
            if (length != start + static_cast<int>(line.size())) {
                return nullptr;  // no room for the line
            }
            // The terminator stays in the text, which accumulates every line read.
            lines.Add(TLineEntry<T>{buffer + start});
            return buffer + start;
        }
        line.push_back(static_cast<T>(c));
    }
}

template <typename T>
bool CBuffer<T>::CutLines(T delimiter) {
    lines.Reset();
    T* start = buffer;
    T* const end = buffer + length;
    for (T* p = buffer;
         (p = const_cast<T*>(detail::FindIn(p, delimiter, static_cast<size_t>(end - p))));) {
        p = AddLine(start, p);
        start = p;
    }
    if (start < end) {
        AddLine(start, end);
    }
    return lines.Count() > 0;
}

template <typename T>
bool CBuffer<T>::ToLines() {
    if (length == 0 || buffer == nullptr || buffer[0] == 0) {
        return false;
    }
    return CutLines(T('\n'));
}

template <typename T>
bool CBuffer<T>::Split(T c) {
    return buffer != nullptr && CutLines(c);
}

template int CBuffer<char>::ReAllocForFile(FILE*);
template int CBuffer<wchar_t>::ReAllocForFile(FILE*);
template int CBuffer<char>::Load(FILE*);
template int CBuffer<wchar_t>::Load(FILE*);
template char* CBuffer<char>::GetNext(FILE*&, int);
template wchar_t* CBuffer<wchar_t>::GetNext(FILE*&, int);
template bool CBuffer<char>::CutLines(char);
template bool CBuffer<wchar_t>::CutLines(wchar_t);
template bool CBuffer<char>::ToLines();
template bool CBuffer<wchar_t>::ToLines();
template bool CBuffer<char>::Split(char);
template bool CBuffer<wchar_t>::Split(wchar_t);

}  // namespace TKV
