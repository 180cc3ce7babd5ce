// Message rate on loopback: framed messages received through CClientSocket's receiver thread,
// cut by a CSocketMsgReceiver and taken with Pop on another thread, beside one thread running a
// plain recv loop with a hand-written framing loop. Then the same library path over 1 to 32
// connections at once.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/loopback_listener.h"
#include "examples/demo_framing.h"
#include "platform/winsock.h"

namespace {

using namespace TKV;

constexpr long long kWindow = 256 << 10;  // bytes a sender keeps ahead of the consumer

// The bytes of size-byte messages the sender writes in one go (a whole number of packets).
std::string MakeBlock(int size) {
    const std::string text(static_cast<size_t>(size), 't');
    std::string block;
    while (block.size() < (64u << 10)) {
        demo::AppendFrame(block, text.data(), text.size());
    }
    return block;
}

// Keeps a sender at most kWindow bytes ahead of what the consumer has taken, so that queues
// stay bounded however the threads are scheduled.
class Credit {
  public:
    void Consumed(long long bytes) {
        consumed_.fetch_add(bytes, std::memory_order_release);
        if (waiting_.load()) {
            std::lock_guard<std::mutex> guard(lock_);
            room_.notify_one();
        }
    }
    // False once stopped.
    bool WaitRoom(long long sent) {
        if (sent - consumed_.load(std::memory_order_acquire) < kWindow) {
            return true;
        }
        std::unique_lock<std::mutex> guard(lock_);
        waiting_ = true;
        room_.wait(guard, [&] { return stop_ || sent - consumed_.load() < kWindow; });
        waiting_ = false;
        return !stop_;
    }
    void Stop() {
        std::lock_guard<std::mutex> guard(lock_);
        stop_ = true;
        room_.notify_all();
    }

  private:
    std::atomic<long long> consumed_{0};
    std::atomic<bool> waiting_{false};
    std::mutex lock_;  // guards stop_, pairs with room_
    std::condition_variable room_;
    bool stop_ = false;
};

// Wakes the consumer when a receiver thread queued a message while it was waiting.
class Signal {
  public:
    void Notify() {
        if (waiting_.load()) {
            std::lock_guard<std::mutex> guard(lock_);
            set_ = true;
            wake_.notify_one();
        }
    }
    // Yields to the receiver threads a while before it sleeps: a wake-up per message would cost
    // more than the message. Rechecks with waiting_ set before sleeping, so a message queued
    // meanwhile is not missed.
    template <class Try>
    auto Wait(Try tryTake) {
        for (int i = 0; i < 64; ++i) {
            std::this_thread::yield();
            if (auto taken = tryTake()) {
                return taken;
            }
        }
        std::unique_lock<std::mutex> guard(lock_);
        waiting_ = true;
        auto taken = tryTake();
        while (!taken) {
            wake_.wait(guard, [&] { return set_; });
            set_ = false;
            taken = tryTake();
        }
        waiting_ = false;
        return taken;
    }

  private:
    std::atomic<bool> waiting_{false};
    std::mutex lock_;  // guards set_, pairs with wake_
    std::condition_variable wake_;
    bool set_ = false;
};

// One loopback connection: a plain sending end and the receiving end's handle.
class Wire {
  public:
    Wire(SOCKET listener, unsigned short port, const std::string& block, Credit& credit) {
        sendEnd_ = ws::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(port);
        ws::connect(sendEnd_, reinterpret_cast<sockaddr*>(&a), sizeof(a));
        receiveEnd_ = ws::accept(listener, nullptr, nullptr);
        sender_ = std::thread([this, &block, &credit] {
            for (long long sent = 0; credit.WaitRoom(sent);) {
                for (size_t at = 0; at < block.size();) {
                    const int n = ws::send(sendEnd_, block.data() + at,
                                           static_cast<int>(block.size() - at), 0);
                    if (n <= 0) {
                        return;
                    }
                    at += static_cast<size_t>(n);
                }
                sent += static_cast<long long>(block.size());
            }
        });
    }
    // Call after the receiving end was shut down, so that a blocked send returns.
    void Join() {
        ws::shutdown(sendEnd_, ws::SD_BOTH);
        sender_.join();
        ws::closesocket(sendEnd_);
    }
    // Hands the receiving end over.
    SOCKET TakeReceiveEnd() { return std::exchange(receiveEnd_, 0); }
    ~Wire() {
        if (receiveEnd_ != 0) {
            ws::closesocket(receiveEnd_);
        }
    }

  private:
    SOCKET sendEnd_ = 0;
    SOCKET receiveEnd_ = 0;
    std::thread sender_;
};

// The library's receiving end: receiver thread -> AddMessage -> queue.
class Endpoint : public ISOReceiver {
  public:
    Endpoint(SOCKET handle, Signal& signal) : signal_(signal), socket_(this, handle, 0) {
        thread_ = socket_.Receive(0);
    }
    ~Endpoint() {
        socket_.Shutdown();
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
    bool IsStopping() override { return false; }
    bool OnReceive(CClientSocket*, unsigned char* data, int size) override {
        if (queue.AddMessage(data, size)) {
            signal_.Notify();
        }
        return true;
    }
    void OnDisconnect(CClientSocket*) override {}

    demo::MessageQueue queue;

  private:
    Signal& signal_;
    CClientSocket socket_;
    void* thread_;
};

// Takes messages round the connections; returns the bytes each packet held to its sender's
// credit every 64 messages.
void RunLibrary(benchmark::State& state, int connections, int size) {
    bench::LoopbackListener listener(64);
    const std::string block = MakeBlock(size);
    const long long packet = size + demo::kHeaderSize + demo::kTrailerSize;
    Signal signal;
    std::vector<std::unique_ptr<Credit>> credits;
    std::vector<std::unique_ptr<Wire>> wires;
    std::vector<std::unique_ptr<Endpoint>> endpoints;
    for (int i = 0; i < connections; ++i) {
        credits.push_back(std::make_unique<Credit>());
        wires.push_back(
            std::make_unique<Wire>(listener.Socket(), listener.Port(), block, *credits.back()));
        endpoints.push_back(std::make_unique<Endpoint>(wires.back()->TakeReceiveEnd(), signal));
    }
    std::vector<long long> taken(static_cast<size_t>(connections), 0);
    size_t next = 0;
    auto tryTake = [&]() -> std::pair<demo::Message*, size_t> {
        for (size_t k = 0; k < endpoints.size(); ++k) {
            const size_t i = (next + k) % endpoints.size();
            if (demo::Message* m = endpoints[i]->queue.PopMessage()) {
                next = i + 1;
                return {m, i};
            }
        }
        return {nullptr, 0};
    };
    for (auto _ : state) {
        auto [msg, i] = tryTake();
        if (msg == nullptr) {
            std::tie(msg, i) = signal
                                   .Wait([&] {
                                       auto t = tryTake();
                                       return t.first != nullptr ? std::optional(t) : std::nullopt;
                                   })
                                   .value();
        }
        benchmark::DoNotOptimize(msg->Text()[0]);
        endpoints[i]->queue.PushPool(msg);
        if (++taken[i] % 64 == 0) {
            credits[i]->Consumed(64 * packet);
        }
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * size);
    for (auto& c : credits) {
        c->Stop();
    }
    endpoints.clear();  // shuts the receiving ends down
    for (auto& w : wires) {
        w->Join();
    }
}

// The alternative: one thread, recv into a buffer of the socket's default size, and a framing
// loop that copies each message's text out, as the library copies it into its packet.
void RunRaw(benchmark::State& state, int size) {
    bench::LoopbackListener listener(64);
    const std::string block = MakeBlock(size);
    const long long packet = size + demo::kHeaderSize + demo::kTrailerSize;
    Credit credit;
    Wire wire(listener.Socket(), listener.Port(), block, credit);
    const SOCKET s = wire.TakeReceiveEnd();
    std::vector<char> pending(static_cast<size_t>(CSocket::DefaultBufferSize) + packet);
    std::vector<char> text(static_cast<size_t>(size));
    size_t begin = 0, end = 0;
    long long taken = 0;
    for (auto _ : state) {
        for (;;) {
            if (end - begin >= static_cast<size_t>(demo::kHeaderSize)) {
                const auto* p = reinterpret_cast<const unsigned char*>(pending.data() + begin);
                const size_t length =
                    (size_t(p[0]) << 24) | (size_t(p[1]) << 16) | (size_t(p[2]) << 8) | p[3];
                const size_t total = length + demo::kHeaderSize + demo::kTrailerSize;
                if (end - begin >= total) {
                    text.resize(length);
                    std::memcpy(text.data(), p + demo::kHeaderSize, length);
                    begin += total;
                    break;
                }
            }
            // Keep the incomplete rest at the front and receive behind it.
            std::memmove(pending.data(), pending.data() + begin, end - begin);
            end -= begin;
            begin = 0;
            const int n = ws::recv(
                s, pending.data() + end,
                std::min<int>(CSocket::DefaultBufferSize, static_cast<int>(pending.size() - end)),
                0);
            if (n <= 0) {
                state.SkipWithError("connection ended");
                break;
            }
            end += static_cast<size_t>(n);
        }
        benchmark::DoNotOptimize(text[0]);
        if (++taken % 64 == 0) {
            credit.Consumed(64 * packet);
        }
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * size);
    credit.Stop();
    ws::shutdown(s, ws::SD_BOTH);
    wire.Join();
    ws::closesocket(s);
}

void BM_MessageRate_Library(benchmark::State& state) {
    RunLibrary(state, 1, static_cast<int>(state.range(0)));
}
BENCHMARK(BM_MessageRate_Library)->Arg(64)->Arg(4096)->UseRealTime();

void BM_MessageRate_RawLoop(benchmark::State& state) {
    RunRaw(state, static_cast<int>(state.range(0)));
}
BENCHMARK(BM_MessageRate_RawLoop)->Arg(64)->Arg(4096)->UseRealTime();

// 64-byte messages over 1 to 32 connections, one consumer taking from all of them.
void BM_MessageRate_LibraryConnections(benchmark::State& state) {
    RunLibrary(state, static_cast<int>(state.range(0)), 64);
}
BENCHMARK(BM_MessageRate_LibraryConnections)->RangeMultiplier(2)->Range(1, 32)->UseRealTime();

}  // namespace
