// The trace log's file writer: a UTF-16 little-endian text file as the Windows wide stream with
// the mode "w,ccs=UNICODE" writes it (byte-order mark, CR LF line ends).
#ifndef TKV_PLATFORM_TRACE_FILE_H
#define TKV_PLATFORM_TRACE_FILE_H

#include <cstdio>
#include <mutex>
#include <vector>

namespace TKV::platform {

// One process-wide trace file. Every call is thread-safe: each Write lands whole in the file,
// and opening or closing while other threads write never touches a closed stream.
class TraceFile {
  public:
    // flushEvery: the stream is flushed after every flushEvery-th write (counted across files).
    explicit TraceFile(int flushEvery);
    ~TraceFile();
    TraceFile(const TraceFile&) = delete;
    TraceFile& operator=(const TraceFile&) = delete;

    // Opens (creating or emptying) the file unless one is open; true when one is open after.
    bool Open(const wchar_t* path);
    // Closes the file if open; the write count runs on.
    void Close();
    // Writes the text as UTF-16LE, LF as CR LF; nothing when no file is open or text is null.
    void Write(const wchar_t* text);
    // Writes bytes already in the file's encoding (see Encode) as one write.
    void WriteEncoded(const unsigned char* bytes, size_t size);

    // The file's encoding of length characters of text: UTF-16LE, LF as CR LF, a character
    // above U+FFFF as a surrogate pair. out needs room for length * kMaxBytesPerChar bytes;
    // returns the bytes written.
    static size_t Encode(const wchar_t* text, size_t length, unsigned char* out);
    static constexpr size_t kMaxBytesPerChar = 4;

  private:
    // The shared write; m_mutex held.
    void WriteLocked(const unsigned char* bytes, size_t size);

    std::mutex m_mutex;
    std::FILE* m_stream = nullptr;     // guarded by m_mutex
    int m_writes = 0;                  // writes since the last flush; guarded by m_mutex
    const int m_flushEvery;            // constant
    std::vector<unsigned char> m_out;  // encoding scratch, reused; guarded by m_mutex
};

// Opens path for binary writing, created or emptied; null when it cannot. The platform's part
// of the trace file: how a wide path names a file.
std::FILE* OpenTraceStream(const wchar_t* path);

}  // namespace TKV::platform

#endif  // TKV_PLATFORM_TRACE_FILE_H
