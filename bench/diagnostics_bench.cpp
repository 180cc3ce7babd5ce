// Dumping received messages into the trace log beside writing the same bytes with fwrite.
#include <cstdio>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "tkv/diagnostics.h"

using namespace std::string_literals;

namespace {

// /dev/null keeps the disk out of the measurement: both sides pay only for the work in the
// process (formatting, encoding, the stream's buffering).
constexpr const char* kSink = "/dev/null";
constexpr size_t kMessageBytes = 4096;

std::vector<unsigned char> Message() {
    std::vector<unsigned char> data(kMessageBytes);
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<unsigned char>(i * 31 + 7);
    }
    return data;
}

void BM_Dump4KiB_LogHex(benchmark::State& state) {
    std::vector<unsigned char> data = Message();
    if (!TKVOpenTraceLog(L"/dev/null")) {
        state.SkipWithError("cannot open the trace log");
        return;
    }
    TKV::EnableLogging(true, 0);
    for (auto _ : state) {
        TKV::LogHex(L"recv:", data.data(), kMessageBytes);
    }
    TKV::EnableLogging(false, 0);
    TKVCloseTraceLog();
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kMessageBytes));
}
BENCHMARK(BM_Dump4KiB_LogHex);

// The bytes the trace log receives for one dump: the UTF-16LE line, already encoded.
void BM_Dump4KiB_FwriteEncodedLine(benchmark::State& state) {
    std::vector<unsigned char> data = Message();
    std::string line = "r\0e\0c\0v\0:\0 \0"s;
    static const char kHex[] = "0123456789ABCDEF";
    for (unsigned char byte : data) {
        line += kHex[byte >> 4];
        line += '\0';
        line += kHex[byte & 0x0F];
        line += '\0';
    }
    line += "\r\0\n\0"s;
    std::FILE* sink = std::fopen(kSink, "wb");
    if (sink == nullptr) {
        state.SkipWithError("cannot open the sink");
        return;
    }
    for (auto _ : state) {
        std::fwrite(line.data(), 1, line.size(), sink);
    }
    std::fclose(sink);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kMessageBytes));
}
BENCHMARK(BM_Dump4KiB_FwriteEncodedLine);

}  // namespace
