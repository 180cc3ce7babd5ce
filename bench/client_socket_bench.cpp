// Receiving through CClientSocket (receiver thread + OnReceive) beside a plain recv loop with the
// same buffer size, and the cost of a connect and shutdown cycle beside the bare calls.
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/loopback_listener.h"
#include "platform/winsock.h"
#include "tkv/client_socket.h"
#include "tkv/server_socket.h"
#include "tkv/socket_util.h"

namespace {

using namespace TKV;

constexpr long long kChunk = 4 << 20;  // bytes received per iteration

// A loopback connection whose far end streams kChunk bytes each time it is asked to.
class Stream {
  public:
    Stream() : listener_(1) {}
    ~Stream() {
        {
            std::lock_guard<std::mutex> guard(lock_);
            stop_ = true;
        }
        wake_.notify_all();
        if (sender_.joinable())
            sender_.join();
        platform::closesocket(connection_);
    }
    TSOSocketInfo Target() const {
        TSOSocketInfo info{};
        info.family = SOFamilyInet;
        info.protocol = SOProtocolTCP;
        info.type = SOTypeStream;
        wcscpy(info.host, L"127.0.0.1");
        info.port = listener_.Port();
        return info;
    }
    // Call once the client has connected.
    void Start() {
        connection_ = platform::accept(listener_.Socket(), nullptr, nullptr);
        sender_ = std::thread([this] { Send(); });
    }
    void Request() {
        std::lock_guard<std::mutex> guard(lock_);
        ++requests_;
        wake_.notify_all();
    }

  private:
    void Send() {
        std::vector<char> data(64 << 10, 'x');
        for (;;) {
            {
                std::unique_lock<std::mutex> guard(lock_);
                wake_.wait(guard, [&] { return stop_ || requests_ > 0; });
                if (stop_)
                    return;
                --requests_;
            }
            for (long long left = kChunk; left > 0;) {
                int n = platform::send(connection_, data.data(),
                                       static_cast<int>(std::min<long long>(left, data.size())), 0);
                if (n <= 0)
                    return;
                left -= n;
            }
        }
    }

    bench::LoopbackListener listener_;
    SOCKET connection_ = 0;
    std::thread sender_;
    std::mutex lock_;
    std::condition_variable wake_;
    int requests_ = 0;   // guarded by lock_
    bool stop_ = false;  // guarded by lock_
};

// Counts the bytes and wakes the benchmark thread when an iteration's chunk is in.
class Counter : public ISOReceiver {
  public:
    bool IsStopping() override { return false; }
    bool OnReceive(CClientSocket*, unsigned char* data, int size) override {
        benchmark::DoNotOptimize(data[0]);
        if (received_.fetch_add(size, std::memory_order_relaxed) + size >= target_.load()) {
            std::lock_guard<std::mutex> guard(lock_);
            done_.notify_all();
        }
        return true;
    }
    void OnDisconnect(CClientSocket*) override {}
    void WaitFor(long long total) {
        target_.store(total);
        std::unique_lock<std::mutex> guard(lock_);
        done_.wait(guard, [&] { return received_.load() >= total; });
    }

  private:
    std::atomic<long long> received_{0};
    std::atomic<long long> target_{0};
    std::mutex lock_;
    std::condition_variable done_;
};

void BM_Receive_ClientSocket(benchmark::State& state) {
    Stream stream;
    Counter counter;
    CClientSocket client(&counter, 0);
    TSOSocketInfo target = stream.Target();
    client.Connect(&target);
    stream.Start();
    void* thread = client.Receive(0);
    long long total = 0;
    for (auto _ : state) {
        stream.Request();
        total += kChunk;
        counter.WaitFor(total);
    }
    state.SetBytesProcessed(total);
    client.Shutdown();
    client.WaitForThreadExit(10000);
    CloseHandle(thread);
}
BENCHMARK(BM_Receive_ClientSocket)->UseRealTime();

void BM_Receive_RawRecv(benchmark::State& state) {
    Stream stream;
    CClientSocket client(0);  // only to connect; the loop below receives on its handle
    TSOSocketInfo target = stream.Target();
    client.Connect(&target);
    stream.Start();
    std::vector<unsigned char> buffer(CSocket::DefaultBufferSize);
    long long total = 0;
    for (auto _ : state) {
        stream.Request();
        for (long long left = kChunk; left > 0;) {
            int n = platform::recv(client.GetSocket(), buffer.data(),
                                   static_cast<int>(buffer.size()), 0);
            if (n <= 0)
                break;
            benchmark::DoNotOptimize(buffer[0]);
            left -= n;
        }
        total += kChunk;
    }
    state.SetBytesProcessed(total);
    client.Shutdown();
}
BENCHMARK(BM_Receive_RawRecv)->UseRealTime();

// Accepts and closes every connection, so the connecting side can cycle.
class Closer : public ISOListener {
  public:
    bool IsStopping() override { return stopping; }
    void OnSocketCreated(unsigned int) override {}
    void OnAccept(CServerSocket*, unsigned int socket) override { platform::closesocket(socket); }
    void OnListen(const wchar_t*, const wchar_t*, unsigned short) override { ready = true; }
    void OnError(CServerSocket*, int) override {}
    std::atomic<bool> stopping{false}, ready{false};
};

template <class Cycle>
void RunConnectCycles(benchmark::State& state, Cycle cycle) {
    InitWSA();
    unsigned short port;
    {
        Stream probe;  // a free loopback port
        port = probe.Target().port;
    }
    TSOSocketInfo info = Stream().Target();
    info.port = port;
    Closer closer;
    CServerSocket server(&closer, 0, &info);
    server.Listen();
    while (!closer.ready)
        std::this_thread::yield();
    for (auto _ : state) {
        cycle(info);
    }
    closer.stopping = true;
    server.Shutdown();
    server.WaitForThreadExit(10000);
    CloseWSA();
}

void BM_ConnectShutdown_ClientSocket(benchmark::State& state) {
    RunConnectCycles(state, [](TSOSocketInfo& info) {
        CClientSocket client(0);
        benchmark::DoNotOptimize(client.Connect(&info));
        client.Shutdown();
    });
}
BENCHMARK(BM_ConnectShutdown_ClientSocket)->UseRealTime();

void BM_ConnectShutdown_RawCalls(benchmark::State& state) {
    RunConnectCycles(state, [](TSOSocketInfo& info) {
        SOCKET s = platform::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(info.port);
        benchmark::DoNotOptimize(
            platform::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)));
        platform::shutdown(s, SD_BOTH);
        platform::closesocket(s);
    });
}
BENCHMARK(BM_ConnectShutdown_RawCalls)->UseRealTime();

}  // namespace
