// The demo's connecting agent: numbered requests out, checked answers back.
#include "connecting_agent.h"

#include <chrono>
#include <cstdio>
#include <cwchar>

#include "listening_agent.h"

namespace demo {

void MakeRequest(long long seq, int size, std::string& request) {
    char head[32];
    const int n = std::snprintf(head, sizeof(head), "req %010lld ", seq);
    request.assign(head, static_cast<size_t>(n));
    for (int i = n; i < size - 1; ++i) {
        request.push_back(static_cast<char>('a' + (seq + i) % 26));
    }
    request.push_back('\n');
}

ConnectingAgent::ConnectingAgent(long long count, int size, int window)
    : count_(count),
      size_(size < kMinRequestSize ? kMinRequestSize : size),
      window_(window < 1 ? 1 : window),
      connection_([this](Connection&, const char* text, int length) { OnAnswer(text, length); }) {}

ConnectingAgent::~ConnectingAgent() {
    Stop();
}

bool ConnectingAgent::Connect(const wchar_t* host, unsigned short port, std::string& error) {
    TKV::TSOSocketInfo info{};
    info.family = std::wcschr(host, L':') != nullptr ? TKV::SOFamilyInet6 : TKV::SOFamilyInet;
    info.protocol = TKV::SOProtocolTCP;
    info.type = TKV::SOTypeStream;
    std::wcsncpy(info.host, host, 1024);
    info.port = port;
    if (!connection_.Connect(&info)) {
        const char* text = TKV::StrConvert(connection_.Socket().GetErrorDesc(), 65001);
        error = text != nullptr ? text : "connect failed";
        connection_.Socket().Shutdown();  // a failed Connect leaves its handle open
        return false;
    }
    TKVTrace(L"demo: connected to %s port %u\n", connection_.Socket().GetIPAddress(),
             static_cast<unsigned>(port));
    return connection_.Start();
}

void ConnectingAgent::OnAnswer(const char* text, int length) {
    std::lock_guard<std::mutex> guard(lock_);
    if (error_.empty()) {
        std::string request;
        MakeRequest(answered_, size_, request);
        MakeAnswer(request.data(), static_cast<int>(request.size()), expected_);
        if (expected_.compare(0, std::string::npos, text, static_cast<size_t>(length)) != 0) {
            error_ = "answer " + std::to_string(answered_) + " differs from the one expected";
        }
    }
    ++answered_;
    changed_.notify_all();
}

RunResult ConnectingAgent::Run(int stallTimeout) {
    using Clock = std::chrono::steady_clock;
    RunResult result;
    const auto start = Clock::now();
    std::string request;
    std::unique_lock<std::mutex> guard(lock_);
    long long seen = answered_;
    auto lastMove = start;
    // Waits until ready() holds; false when the run has stalled or the connection is gone.
    auto wait = [&](auto ready) {
        while (!ready()) {
            changed_.wait_for(guard, std::chrono::milliseconds(100));
            if (answered_ != seen) {
                seen = answered_;
                lastMove = Clock::now();
            } else if (Clock::now() - lastMove > std::chrono::milliseconds(stallTimeout)) {
                result.error = "no answer for " + std::to_string(stallTimeout) + " ms";
                return false;
            } else if (connection_.WaitClosed(0) && !ready()) {
                // The receiver ended: what it queued is still being handled for a moment.
                if (Clock::now() - lastMove > std::chrono::seconds(1)) {
                    result.error = "the connection closed early";
                    return false;
                }
            }
        }
        return true;
    };
    for (long long seq = 0; seq < count_ && result.error.empty(); ++seq) {
        if (!wait([&] { return seq - answered_ < window_; })) {
            break;
        }
        guard.unlock();
        MakeRequest(seq, size_, request);
        const bool sent = connection_.SendText(request.data(), request.size());
        guard.lock();
        if (!sent) {
            result.error = "sending failed: ";
            const char* text = TKV::StrConvert(connection_.Socket().GetErrorDesc(), 65001);
            result.error += text != nullptr ? text : "connection gone";
            break;
        }
        ++result.sent;
    }
    if (result.error.empty()) {
        wait([&] { return answered_ >= count_; });
    }
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    result.answered = answered_;
    if (result.error.empty()) {
        result.error = error_;
    }
    guard.unlock();
    result.bytesSent = connection_.BytesSent();
    result.bytesReceived = connection_.BytesReceived();
    return result;
}

void ConnectingAgent::Stop() {
    connection_.Stop();
}

}  // namespace demo
