// Message rate on loopback: framed messages received through CClientSocket's receiver thread
// and cut by a CSocketMsgReceiver, taken on the receiver thread beside a plain recv loop with a
// hand-written framing loop, and taken on a consumer thread beside the same loop handing its
// messages to a consumer thread through a mutex-guarded queue. Then the library path over 1 to
// 32 connections at once.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
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

// Wakes a consumer that found nothing to take. The consumer sleeps until woken (no polling);
// a producer pays for a wake-up only while the consumer sleeps.
class Signal {
  public:
    void Notify() {
        if (waiting_.load()) {
            std::lock_guard<std::mutex> guard(lock_);
            set_ = true;
            wake_.notify_one();
        }
    }
    // Rechecks with waiting_ set before sleeping, so that an item made meanwhile is not missed.
    template <class Try>
    void Wait(Try tryTake) {
        std::unique_lock<std::mutex> guard(lock_);
        waiting_ = true;
        while (!tryTake()) {
            wake_.wait(guard, [&] { return set_; });
            set_ = false;
        }
        waiting_ = false;
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
        sendEnd_ = platform::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(port);
        platform::connect(sendEnd_, reinterpret_cast<sockaddr*>(&a), sizeof(a));
        receiveEnd_ = platform::accept(listener, nullptr, nullptr);
        sender_ = std::thread([this, &block, &credit] {
            for (long long sent = 0; credit.WaitRoom(sent);) {
                for (size_t at = 0; at < block.size();) {
                    const int n = platform::send(sendEnd_, block.data() + at,
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
        platform::shutdown(sendEnd_, SD_BOTH);
        sender_.join();
        platform::closesocket(sendEnd_);
    }
    // Hands the receiving end over.
    SOCKET TakeReceiveEnd() { return std::exchange(receiveEnd_, 0); }
    ~Wire() {
        if (receiveEnd_ != 0) {
            platform::closesocket(receiveEnd_);
        }
    }

  private:
    SOCKET sendEnd_ = 0;
    SOCKET receiveEnd_ = 0;
    std::thread sender_;
};

// The library's receiving end: receiver thread -> AddMessage -> queue. With takeHere the
// receiver thread itself takes every complete message after each chunk (no consumer thread)
// and counts them in taken.
class Endpoint final : public ISOReceiver {
  public:
    Endpoint(SOCKET handle, Signal& signal, Credit* takeHere = nullptr, long long packet = 0)
        : signal_(signal), credit_(takeHere), packet_(packet), socket_(this, handle, 0) {
        thread_ = socket_.Receive(0);
    }
    ~Endpoint() {
        socket_.Shutdown();
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
    bool IsStopping() override { return false; }
    bool OnReceive(CClientSocket*, unsigned char* data, int size) override {
        if (!queue.AddMessage(data, size)) {
            return true;
        }
        if (credit_ == nullptr) {
            signal_.Notify();
            return true;
        }
        long long n = 0;
        queue.LockQueue();
        while (demo::Message* m = queue.PopMessage()) {
            benchmark::DoNotOptimize(m->Text()[0]);
            queue.PushPool(m);
            ++n;
        }
        queue.UnlockQueue();
        // Credit every 64 messages, as the plain loop does.
        const long long before = taken.fetch_add(n, std::memory_order_acq_rel);
        if ((before + n) / 64 != before / 64) {
            credit_->Consumed(((before + n) / 64 - before / 64) * 64 * packet_);
        }
        if (before + n >= target.load()) {
            signal_.Notify();
        }
        return true;
    }
    void OnDisconnect(CClientSocket*) override {}

    demo::MessageQueue queue;
    std::atomic<long long> taken{0};
    std::atomic<long long> target{0};  // the count at which the waiting benchmark is woken

  private:
    Signal& signal_;
    Credit* credit_;
    long long packet_;
    CClientSocket socket_;
    void* thread_;
};

// Takes messages round the connections, each connection's queue at once under one
// LockQueue/UnlockQueue, which also gives the previous batch back to its pool; returns the bytes
// each packet held to its sender's credit.
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
    std::vector<demo::Message*> batch;
    size_t at = 0;
    size_t from = 0;  // the connection the batch came from
    size_t next = 0;
    auto refill = [&]() -> bool {
        for (size_t k = 0; k < endpoints.size(); ++k) {
            const size_t i = (next + k) % endpoints.size();
            demo::MessageQueue& queue = endpoints[i]->queue;
            if (batch.empty() && queue.GetQueueSize() == 0) {
                continue;
            }
            queue.LockQueue();
            if (!batch.empty()) {
                for (demo::Message* m : batch) {
                    endpoints[from]->queue.PushPool(m);
                }
                credits[from]->Consumed(static_cast<long long>(batch.size()) * packet);
                batch.clear();
            }
            while (demo::Message* m = queue.PopMessage()) {
                batch.push_back(m);
            }
            queue.UnlockQueue();
            if (!batch.empty()) {
                from = i;
                next = i + 1;
                at = 0;
                return true;
            }
        }
        return false;
    };
    for (auto _ : state) {
        if (at == batch.size() && !refill()) {
            signal.Wait(refill);
        }
        benchmark::DoNotOptimize(batch[at]->Text()[0]);
        ++at;
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * size);
    for (demo::Message* m : batch) {
        endpoints[from]->queue.PushPool(m);
    }
    for (auto& c : credits) {
        c->Stop();
    }
    endpoints.clear();  // shuts the receiving ends down
    for (auto& w : wires) {
        w->Join();
    }
}

// Messages taken on the receiver thread itself; one iteration waits for kBatch of them.
constexpr long long kBatch = 1024;

void RunLibraryOnReceiver(benchmark::State& state, int size) {
    bench::LoopbackListener listener(64);
    const std::string block = MakeBlock(size);
    Signal signal;
    Credit credit;
    Wire wire(listener.Socket(), listener.Port(), block, credit);
    const long long packet = size + demo::kHeaderSize + demo::kTrailerSize;
    auto endpoint = std::make_unique<Endpoint>(wire.TakeReceiveEnd(), signal, &credit, packet);
    long long target = 0;
    for (auto _ : state) {
        target += kBatch;
        endpoint->target.store(target);
        if (endpoint->taken.load(std::memory_order_acquire) < target) {
            signal.Wait([&] { return endpoint->taken.load(std::memory_order_acquire) >= target; });
        }
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
    state.SetBytesProcessed(state.iterations() * kBatch * size);
    credit.Stop();
    endpoint.reset();
    wire.Join();
}

// The alternative's reading side: recv into a buffer of the socket's default size and a
// framing loop that copies each message's text out, as the library copies it into its packet.
class RawReader {
  public:
    RawReader(SOCKET s, int size)
        : s_(s), pending_(static_cast<size_t>(CSocket::DefaultBufferSize) + size + 8) {}
    // The next message's text; false when the connection ended.
    bool Next(std::string& text) {
        for (;;) {
            if (end_ - begin_ >= static_cast<size_t>(demo::kHeaderSize)) {
                const auto* p = reinterpret_cast<const unsigned char*>(pending_.data() + begin_);
                const size_t length =
                    (size_t(p[0]) << 24) | (size_t(p[1]) << 16) | (size_t(p[2]) << 8) | p[3];
                const size_t total = length + demo::kHeaderSize + demo::kTrailerSize;
                if (end_ - begin_ >= total) {
                    text.assign(reinterpret_cast<const char*>(p) + demo::kHeaderSize, length);
                    begin_ += total;
                    return true;
                }
            }
            // Keep the incomplete rest at the front and receive behind it.
            std::memmove(pending_.data(), pending_.data() + begin_, end_ - begin_);
            end_ -= begin_;
            begin_ = 0;
            const int n = platform::recv(
                s_, pending_.data() + end_,
                std::min<int>(CSocket::DefaultBufferSize, static_cast<int>(pending_.size() - end_)),
                0);
            if (n <= 0) {
                return false;
            }
            end_ += static_cast<size_t>(n);
        }
    }

  private:
    SOCKET s_;
    std::vector<char> pending_;
    size_t begin_ = 0, end_ = 0;
};

// A plain connection for the alternatives: its sender, and the receiving end's handle.
struct RawConnection {
    explicit RawConnection(int size)
        : block(MakeBlock(size)),
          packet(size + demo::kHeaderSize + demo::kTrailerSize),
          wire(listener.Socket(), listener.Port(), block, credit),
          s(wire.TakeReceiveEnd()) {}
    // Stops the sender and makes a blocked recv return.
    void End() {
        credit.Stop();
        platform::shutdown(s, SD_BOTH);
    }
    ~RawConnection() {
        wire.Join();
        platform::closesocket(s);
    }

    bench::LoopbackListener listener{64};
    const std::string block;
    const long long packet;
    Credit credit;
    Wire wire;
    const SOCKET s;
};

// The alternative with the messages taken on the reading thread (the benchmark's own).
void RunRaw(benchmark::State& state, int size) {
    RawConnection c(size);
    RawReader reader(c.s, size);
    std::string text;
    long long taken = 0;
    for (auto _ : state) {
        if (!reader.Next(text)) {
            state.SkipWithError("connection ended");
            break;
        }
        benchmark::DoNotOptimize(text[0]);
        if (++taken % 64 == 0) {
            c.credit.Consumed(64 * c.packet);
        }
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * size);
    c.End();
}

// The alternative with a consumer thread: a reading thread pushes each text onto a
// mutex-guarded queue, and the benchmark's thread takes everything queued at once.
void RunRawHandOff(benchmark::State& state, int size) {
    RawConnection c(size);
    std::mutex lock;  // guards queue and ended, pairs with changed
    std::condition_variable changed;
    std::deque<std::string> queue;
    bool ended = false;
    std::thread reading([&] {
        RawReader reader(c.s, size);
        std::string text;
        bool more;
        while ((more = reader.Next(text))) {
            std::lock_guard<std::mutex> guard(lock);
            queue.push_back(std::move(text));
            if (queue.size() == 1) {
                changed.notify_one();
            }
        }
        std::lock_guard<std::mutex> guard(lock);
        ended = true;
        changed.notify_one();
    });
    std::deque<std::string> batch;
    size_t at = 0;
    for (auto _ : state) {
        if (at == batch.size()) {
            c.credit.Consumed(static_cast<long long>(batch.size()) * c.packet);
            batch.clear();
            at = 0;
            std::unique_lock<std::mutex> guard(lock);
            changed.wait(guard, [&] { return !queue.empty() || ended; });
            if (queue.empty()) {
                state.SkipWithError("connection ended");
                break;
            }
            batch.swap(queue);
        }
        benchmark::DoNotOptimize(batch[at][0]);
        ++at;
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * size);
    c.End();
    reading.join();
}

// Taken on the receiver thread.
void BM_MessageRate_LibraryOnReceiver(benchmark::State& state) {
    RunLibraryOnReceiver(state, static_cast<int>(state.range(0)));
}
BENCHMARK(BM_MessageRate_LibraryOnReceiver)->Arg(64)->Arg(4096)->UseRealTime();

void BM_MessageRate_RawLoop(benchmark::State& state) {
    RunRaw(state, static_cast<int>(state.range(0)));
}
BENCHMARK(BM_MessageRate_RawLoop)->Arg(64)->Arg(4096)->UseRealTime();

// Taken on a consumer thread.
void BM_MessageRate_Library(benchmark::State& state) {
    RunLibrary(state, 1, static_cast<int>(state.range(0)));
}
BENCHMARK(BM_MessageRate_Library)->Arg(64)->Arg(4096)->UseRealTime();

void BM_MessageRate_RawHandOff(benchmark::State& state) {
    RunRawHandOff(state, static_cast<int>(state.range(0)));
}
BENCHMARK(BM_MessageRate_RawHandOff)->Arg(64)->Arg(4096)->UseRealTime();

// 64-byte messages over 1 to 32 connections, one consumer taking from all of them.
void BM_MessageRate_LibraryConnections(benchmark::State& state) {
    RunLibrary(state, static_cast<int>(state.range(0)), 64);
}
BENCHMARK(BM_MessageRate_LibraryConnections)->RangeMultiplier(2)->Range(1, 32)->UseRealTime();

}  // namespace
