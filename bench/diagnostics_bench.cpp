// Dumping received messages into the trace log beside writing the same bytes with fwrite.
// Argument 0 writes to /dev/null (the work in the process only: formatting, encoding, the
// stream), argument 1 to a file in the temporary directory (what an agent pays), emptied every
// 1024 writes on both sides so that it stays small.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "tkv/diagnostics.h"

using namespace std::string_literals;

namespace {

constexpr size_t kMessageBytes = 4096;
constexpr int64_t kWritesPerFile = 1024;

std::string SinkPath(int64_t kind) {
    if (kind == 0) {
        return "/dev/null";
    }
    return "/tmp/tkv_diagnostics_bench_" + std::to_string(::getpid()) + ".log";
}

std::vector<unsigned char> Message() {
    std::vector<unsigned char> data(kMessageBytes);
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<unsigned char>(i * 31 + 7);
    }
    return data;
}

void BM_Dump4KiB_LogHex(benchmark::State& state) {
    std::vector<unsigned char> data = Message();
    std::string path = SinkPath(state.range(0));
    std::wstring widePath(path.begin(), path.end());
    if (!TKVOpenTraceLog(widePath.c_str())) {
        state.SkipWithError("cannot open the trace log");
        return;
    }
    TKV::EnableLogging(true, 0);
    int64_t writes = 0;
    for (auto _ : state) {
        TKV::LogHex(L"recv:", data.data(), kMessageBytes);
        if (++writes % kWritesPerFile == 0) {
            state.PauseTiming();
            TKVCloseTraceLog();
            TKVOpenTraceLog(widePath.c_str());
            state.ResumeTiming();
        }
    }
    TKV::EnableLogging(false, 0);
    TKVCloseTraceLog();
    if (state.range(0) != 0) {
        std::remove(path.c_str());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kMessageBytes));
}
BENCHMARK(BM_Dump4KiB_LogHex)->Arg(0)->Arg(1);

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
    std::string path = SinkPath(state.range(0));
    std::FILE* sink = std::fopen(path.c_str(), "wb");
    if (sink == nullptr) {
        state.SkipWithError("cannot open the sink");
        return;
    }
    int64_t writes = 0;
    for (auto _ : state) {
        std::fwrite(line.data(), 1, line.size(), sink);
        if (++writes % kWritesPerFile == 0) {
            state.PauseTiming();
            sink = std::freopen(path.c_str(), "wb", sink);
            state.ResumeTiming();
            if (sink == nullptr) {
                state.SkipWithError("cannot reopen the sink");
                return;
            }
        }
    }
    std::fclose(sink);
    if (state.range(0) != 0) {
        std::remove(path.c_str());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kMessageBytes));
}
BENCHMARK(BM_Dump4KiB_FwriteEncodedLine)->Arg(0)->Arg(1);

}  // namespace
