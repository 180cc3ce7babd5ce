// tkv_demo: a listening and a connecting agent talking over TCP through the library. By default
// both run in this process on loopback; --role runs one side alone.
//
//   tkv_demo [--role both|listen|connect] [--host H] [--port P] [--count N] [--size BYTES]
//            [--log hex|text|off] [--log-file PATH]
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include <tkv/tkvagent.h>

#include "connecting_agent.h"
#include "demo_framing.h"
#include "listening_agent.h"

namespace {

struct Options {
    std::string role = "both";
    std::string host = "127.0.0.1";
    unsigned short port = 0;  // 0: the system picks a free one (role both or listen)
    long long count = 10000;
    int size = 64;
    std::string log = "text";
    std::string logFile = "tkv_demo.log";
    bool help = false;
};

int Usage(const char* program, FILE* out = stderr) {
    std::fprintf(out,
                 "usage: %s [--role both|listen|connect] [--host H] [--port P] [--count N]\n"
                 "          [--size BYTES] [--log hex|text|off] [--log-file PATH]\n"
                 "defaults: both sides in this process, 127.0.0.1, a free port, 10000 messages\n"
                 "of 64 bytes (16 to %d), text trace log in tkv_demo.log. --role listen\n"
                 "serves until its connections have ended; --role connect needs --port.\n",
                 program, demo::kMaxText);
    return 2;
}

// A whole decimal number from min to max; otherwise a message that names the flag.
bool ParseNumber(const std::string& flag, const char* value, long long min, long long max,
                 long long& out) {
    char* end = nullptr;
    errno = 0;
    const long long n = std::strtoll(value, &end, 10);
    if (end == value || *end != '\0' || errno == ERANGE || n < min || n > max) {
        std::fprintf(stderr, "%s: '%s' is not a whole number from %lld to %lld\n", flag.c_str(),
                     value, min, max);
        return false;
    }
    out = n;
    return true;
}

bool ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i];
        if (flag == "--help" || flag == "-h") {
            o.help = true;
            return true;
        }
        if (i + 1 >= argc) {
            return false;
        }
        const char* value = argv[++i];
        if (flag == "--role") {
            o.role = value;
        } else if (flag == "--host") {
            o.host = value;
        } else if (flag == "--port") {
            long long port = 0;
            if (!ParseNumber(flag, value, 0, 65535, port))
                return false;
            o.port = static_cast<unsigned short>(port);
        } else if (flag == "--count") {
            if (!ParseNumber(flag, value, 1, 1000000000000LL, o.count))
                return false;
        } else if (flag == "--size") {
            long long size = 0;
            if (!ParseNumber(flag, value, demo::kMinRequestSize, demo::kMaxText, size))
                return false;
            o.size = static_cast<int>(size);
        } else if (flag == "--log") {
            o.log = value;
        } else if (flag == "--log-file") {
            o.logFile = value;
        } else {
            return false;
        }
    }
    const bool roleOk = o.role == "both" || o.role == "listen" || o.role == "connect";
    const bool logOk = o.log == "hex" || o.log == "text" || o.log == "off";
    return roleOk && logOk && o.count >= 1 && o.size >= demo::kMinRequestSize &&
           o.size <= demo::kMaxText && !(o.role == "connect" && o.port == 0);
}

std::wstring Wide(const std::string& s) {
    const wchar_t* w = TKV::StrConvert(s.c_str(), 65001);
    return w != nullptr ? w : L"";
}

std::string Narrow(const wchar_t* s) {
    const char* n = TKV::StrConvert(s, 65001);
    return n != nullptr ? n : "";
}

void PrintLog(const Options& o) {
    if (o.log == "off") {
        std::printf("trace log:  off\n");
        return;
    }
    std::error_code ec;
    const auto bytes = std::filesystem::file_size(o.logFile, ec);
    std::printf("trace log:  %s (%s mode, %.1f KiB)\n", o.logFile.c_str(), o.log.c_str(),
                ec ? 0.0 : static_cast<double>(bytes) / 1024.0);
}

// Runs the connecting side against host:port; 0 when every answer came back right.
int RunConnect(const Options& o, unsigned short port) {
    demo::ConnectingAgent agent(o.count, o.size, 64);
    std::string error;
    if (!agent.Connect(Wide(o.host).c_str(), port, error)) {
        std::fprintf(stderr, "connect to %s port %u failed: %s\n", o.host.c_str(), port,
                     error.c_str());
        return 1;
    }
    const demo::RunResult r = agent.Run(10000);
    agent.Stop();
    std::printf("exchanged:  %lld requests, %lld answers of %d bytes of text each\n", r.sent,
                r.answered, o.size);
    std::printf("bytes:      %lld sent, %lld received (with framing)\n", r.bytesSent,
                r.bytesReceived);
    std::printf("rate:       %.0f round trips/s, %.0f messages/s both ways (%.3f s)\n",
                static_cast<double>(r.answered) / r.seconds,
                2.0 * static_cast<double>(r.answered) / r.seconds, r.seconds);
    if (!r.error.empty()) {
        std::printf("result:     FAILED: %s\n", r.error.c_str());
        return 1;
    }
    std::printf("result:     every answer arrived whole and in order\n");
    return 0;
}

int Run(const Options& o) {
    const std::wstring host = Wide(o.host);
    if (o.role == "connect") {
        return RunConnect(o, o.port);
    }
    demo::ListeningAgent listener(host.c_str(), o.port);
    const unsigned short port = listener.Start();
    if (port == 0) {
        std::fprintf(stderr, "listening on %s port %u failed: %s\n", o.host.c_str(), o.port,
                     Narrow(TKV::CSocketUtil::PrintSocketError(listener.Error())).c_str());
        return 1;
    }
    std::printf("listening:  %s port %u\n", o.host.c_str(), port);
    std::fflush(stdout);
    int status = 0;
    if (o.role == "listen") {
        // Serves until the connections that came have all gone again.
        while (!listener.WaitIdle(60000)) {
        }
        std::printf("answered:   %lld requests on %d connection(s)\n", listener.MessagesAnswered(),
                    listener.Connections());
    } else {
        status = RunConnect(o, port);
        std::printf("listener:   answered %lld requests, received %lld bytes, sent %lld\n",
                    listener.MessagesAnswered(), listener.BytesReceived(), listener.BytesSent());
    }
    listener.Stop();
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        return Usage(argv[0]);
    }
    if (options.help) {
        Usage(argv[0], stdout);
        return 0;
    }
    TKV::InitWSA();
    if (options.log != "off") {
        if (!TKVOpenTraceLog(Wide(options.logFile).c_str())) {
            std::fprintf(stderr, "cannot open the trace log %s\n", options.logFile.c_str());
            options.log = "off";
        }
        TKV::EnableLogging(options.log != "off", options.log == "text" ? 1 : 0);
    }
    const int status = Run(options);
    // Every agent object has stopped its threads; this catches any the library still runs.
    TKV::WaitRegisteredThreadsExit(5000);
    TKV::EnableLogging(false, 0);
    TKVCloseTraceLog();
    TKV::CloseWSA();
    PrintLog(options);
    return status;
}
