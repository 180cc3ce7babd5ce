// Cutting a received stream into messages with AddMessage beside copying the same bytes with
// memcpy, for small and large messages delivered in chunks of the socket's receive size.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "tkv/socket.h"
#include "tkv/socket_msg.h"
#include "tkv/socket_msg_receiver.h"

namespace {

constexpr size_t kChunkBytes = TKV::CSocket::DefaultBufferSize;

// A 4-byte little-endian length, the text, no trailer.
class LengthMsg : public TKV::CSocketMsg {
  public:
    ~LengthMsg() override = default;

  protected:
    bool ParseHeader(int* msgLength, int* headerSize, int* trailerSize) override {
        if (GetRecvSize() < 4) {
            return false;
        }
        uint32_t length;
        std::memcpy(&length, GetPacket(), 4);
        *msgLength = static_cast<int>(length);
        *headerSize = 4;
        *trailerSize = 0;
        return true;
    }
};

class Receiver : public TKV::CSocketMsgReceiver {
  public:
    ~Receiver() override {
        while (TKV::CSocketMsg* msg = Pop()) {
            delete static_cast<LengthMsg*>(msg);
        }
        for (TKV::CSocketMsg* msg : pool) {
            delete static_cast<LengthMsg*>(msg);
        }
        delete static_cast<LengthMsg*>(current);
    }
    TKV::CSocketMsg* CreateMessage() override { return new LengthMsg; }

    // The consumer's part at its cheapest: every queued message back to the pool at once.
    void Recycle() {
        LockQueue();
        pool.insert(pool.end(), queue.begin(), queue.end());
        queue.clear();
        UnlockQueue();
    }
};

// About streamBytes of packetBytes-long messages, cut into receive-sized chunks.
std::vector<std::string> Chunks(size_t packetBytes, size_t streamBytes) {
    const size_t textBytes = packetBytes - 4;
    std::string stream;
    while (stream.size() + textBytes + 4 <= streamBytes) {
        auto length = static_cast<uint32_t>(textBytes);
        stream.append(reinterpret_cast<const char*>(&length), 4);
        stream.append(textBytes, 'm');
    }
    std::vector<std::string> chunks;
    for (size_t at = 0; at < stream.size(); at += kChunkBytes) {
        chunks.push_back(stream.substr(at, kChunkBytes));
    }
    return chunks;
}

int64_t TotalBytes(const std::vector<std::string>& chunks) {
    int64_t total = 0;
    for (const std::string& chunk : chunks) {
        total += static_cast<int64_t>(chunk.size());
    }
    return total;
}

void BM_Frame_AddMessage(benchmark::State& state) {
    std::vector<std::string> chunks =
        Chunks(static_cast<size_t>(state.range(0)), static_cast<size_t>(state.range(1)));
    Receiver receiver;
    // One pass warms the pool with a message for each of a pass, as on a long-running
    // connection.
    for (std::string& chunk : chunks) {
        receiver.AddMessage(chunk.data(), static_cast<int>(chunk.size()));
    }
    receiver.Recycle();
    for (auto _ : state) {
        for (std::string& chunk : chunks) {
            receiver.AddMessage(chunk.data(), static_cast<int>(chunk.size()));
        }
        receiver.Recycle();  // too short to pause the clock for
    }
    state.SetBytesProcessed(state.iterations() * TotalBytes(chunks));
}
// Packet size, and the bytes received before the consumer takes the messages: 64 KiB for a
// consumer that keeps up (the messages stay in cache), 1 MiB for a queue thousands deep.
BENCHMARK(BM_Frame_AddMessage)->ArgsProduct({{64, 4096}, {64 << 10, 1 << 20}});

void BM_Frame_Memcpy(benchmark::State& state) {
    std::vector<std::string> chunks =
        Chunks(static_cast<size_t>(state.range(0)), static_cast<size_t>(state.range(1)));
    std::vector<char> target(kChunkBytes);  // the socket's one buffer
    for (auto _ : state) {
        for (const std::string& chunk : chunks) {
            std::memcpy(target.data(), chunk.data(), chunk.size());
            benchmark::ClobberMemory();
        }
    }
    state.SetBytesProcessed(state.iterations() * TotalBytes(chunks));
}
BENCHMARK(BM_Frame_Memcpy)->ArgsProduct({{64, 4096}, {64 << 10, 1 << 20}});

}  // namespace
