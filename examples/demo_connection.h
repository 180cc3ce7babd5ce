// A demo agent's connection: a CClientSocket whose receiver thread feeds a MessageQueue, and a
// consumer thread that takes every complete message and hands it to the agent's handler.
#ifndef TKV_EXAMPLES_DEMO_CONNECTION_H
#define TKV_EXAMPLES_DEMO_CONNECTION_H

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include <tkv/tkvagent.h>

#include "demo_framing.h"

namespace demo {

// Threads: the socket's receiver thread (OnReceive, OnDisconnect), the consumer thread started
// by Start (the handler), and the owner's thread (Connect, Start, SendText, Stop). SendText may
// be called from any thread, the handler included.
//
// Back-pressure: while the handler falls behind (say it is blocked sending to a peer that does
// not read), the receiver stops reading once kMaxBacklog messages or kMaxBacklogBytes wait, so
// the peer's sends block instead of the agent's memory growing.
class Connection : public TKV::ISOReceiver {
  public:
    // Called on the consumer thread for every valid message, in the order received.
    using Handler = std::function<void(Connection&, const char* text, int length)>;

    static constexpr int kMaxBacklog = 1024;
    static constexpr long long kMaxBacklogBytes = 16 << 20;

    explicit Connection(Handler handler);
    // Takes over a handle accepted by a listen thread.
    Connection(Handler handler, unsigned int acceptedHandle);
    // Stops the connection if the owner has not. Virtual: tests derive from it.
    virtual ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool Connect(TKV::TSOSocketInfo* info);
    // Starts the receiver and the consumer thread; false when the receiver could not start.
    bool Start();
    // Frames the text and sends it whole; false once the connection is gone.
    bool SendText(const char* text, size_t length);
    // Shuts the socket down, waits for the receiver thread and ends the consumer once it has
    // handled what was queued. Idempotent.
    void Stop();
    // Blocks until the receiver thread has ended (peer closed, broken stream, Stop) or the
    // timeout passed; true when it has ended.
    bool WaitClosed(int timeout);

    TKV::CClientSocket& Socket() { return socket_; }
    MessageQueue& Queue() { return queue_; }
    bool PeerClosed() const { return peerClosed_.load(); }
    bool Broken() const { return queue_.Broken(); }
    long long MessagesHandled() const { return handled_.load(); }
    long long BytesReceived() const { return bytesReceived_.load(); }
    long long BytesSent() const { return bytesSent_.load(); }

    // ISOReceiver, on the receiver thread.
    bool IsStopping() override;
    bool OnReceive(TKV::CClientSocket* socket, unsigned char* data, int size) override;
    void OnDisconnect(TKV::CClientSocket* socket) override;

  private:
    void Consume();
    void Wake();
    bool BacklogFull() const;
    // On the receiver thread: waits while the backlog is full, until Stop.
    void WaitForRoom();

    Handler handler_;
    MessageQueue queue_;
    TKV::CClientSocket socket_;
    void* receiverThread_ = nullptr;  // owned; the owner's thread alone touches it
    std::thread consumer_;            // the owner's thread alone starts and joins it
    std::mutex sendLock_;             // keeps each framed packet whole on the wire

    std::mutex signalLock_;  // guards the two flags below and pairs with signal_
    std::condition_variable signal_;
    bool pending_ = false;                   // a message may be waiting in queue_
    bool stopConsumer_ = false;              // the consumer ends once queue_ is empty
    std::condition_variable room_;           // the backlog shrank, or Stop
    std::atomic<bool> awaitingRoom_{false};  // set under signalLock_ by a waiting receiver

    std::atomic<bool> stopping_{false};
    std::atomic<bool> peerClosed_{false};
    std::atomic<long long> handled_{0};
    std::atomic<long long> bytesReceived_{0};
    std::atomic<long long> bytesSent_{0};
};

}  // namespace demo

#endif  // TKV_EXAMPLES_DEMO_CONNECTION_H
