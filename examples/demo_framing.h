// The demo agents' wire framing: a 4-byte length (network byte order), the message text, and a
// zero byte that ends every packet. The zero trailer lets the trace log's text mode stop exactly
// at the end of the text, and a trailer that is not zero shows that the stream is out of step.
//
// Header-only and written against the public interface alone, so that the demo agents and the
// library's network tests share one framing.
#ifndef TKV_EXAMPLES_DEMO_FRAMING_H
#define TKV_EXAMPLES_DEMO_FRAMING_H

#include <atomic>
#include <cstddef>
#include <string>

#include <tkv/tkvagent.h>

namespace demo {

constexpr int kHeaderSize = 4;
constexpr int kTrailerSize = 1;
// The longest text the agents accept; a header announcing more closes the connection, so a
// broken or hostile peer cannot make the agent allocate without bound.
constexpr int kMaxText = 1 << 20;

// Appends one framed packet holding length bytes of text to out.
inline void AppendFrame(std::string& out, const char* text, size_t length) {
    const auto n = static_cast<unsigned long>(length);
    const char header[kHeaderSize] = {static_cast<char>(n >> 24), static_cast<char>(n >> 16),
                                      static_cast<char>(n >> 8), static_cast<char>(n)};
    out.append(header, kHeaderSize);
    out.append(text, length);
    out.push_back('\0');
}

class MessageQueue;

// One framed message; made only by a MessageQueue.
class Message : public TKV::CSocketMsg {
  public:
    explicit Message(MessageQueue* owner) : owner_(owner) {}
    ~Message() override = default;

    // True when the message came whole, with its trailer, before the stream broke: only such
    // messages are handed to the agent.
    bool Accepted() const { return accepted_; }
    const char* Text() const { return GetMsg(); }
    int TextLength() const { return GetMsgLength(); }

  protected:
    inline bool ParseHeader(int* msgLength, int* headerSize, int* trailerSize) override;

  private:
    friend class MessageQueue;

    bool TrailerOk() const {
        const int size = GetPacketSize();
        return size > 0 && GetRecvSize() >= size && GetPacket()[size - 1] == '\0';
    }

    MessageQueue* owner_;
    bool accepted_ = false;  // set for every completed message, under the queue's lock
};

// The receiving side of one connection: cuts its chunks into Messages. A header announcing a
// length outside 1..kMaxText, or a packet without its zero trailer, marks the stream broken;
// the connection's receiver then returns false from OnReceive, which closes the connection.
// Owns every message it made and deletes them on destruction.
class MessageQueue : public TKV::CSocketMsgReceiver {
  public:
    ~MessageQueue() override {
        LockQueue();
        for (TKV::CSocketMsg* msg : queue) {
            delete static_cast<Message*>(msg);
        }
        for (TKV::CSocketMsg* msg : pool) {
            delete static_cast<Message*>(msg);
        }
        delete static_cast<Message*>(current);
        queue.clear();
        pool.clear();
        current = nullptr;
        UnlockQueue();
    }

    TKV::CSocketMsg* CreateMessage() override {
        created_.fetch_add(1, std::memory_order_relaxed);
        return new Message(this);
    }
    // Pop with the demo's message type.
    Message* PopMessage() { return static_cast<Message*>(Pop()); }

    bool Broken() const { return broken_.load(std::memory_order_acquire); }
    void MarkBroken() { broken_.store(true, std::memory_order_release); }
    // Message objects made so far: stays small in a steady stream, as messages are recycled.
    int Created() const { return created_.load(std::memory_order_relaxed); }

    // Complete messages queued and not yet handed back with Recycle, and their bytes: the
    // backlog a slow consumer leaves, which the receiver must not let grow without bound.
    int Backlog() const { return backlog_.load(); }
    long long BacklogBytes() const { return backlogBytes_.load(); }
    // Gives a handled message back to the pool.
    void Recycle(Message* msg) {
        backlogBytes_ -= msg->GetPacketSize();
        --backlog_;
        PushPool(msg);
    }

  protected:
    // Called for every complete message in stream order, before it is queued. A chunk may
    // hold messages behind a broken one: they are queued but not accepted.
    void AssertValidMsg(TKV::CSocketMsg* msg) override {
        auto* m = static_cast<Message*>(msg);
        if (!m->TrailerOk()) {
            MarkBroken();
        }
        m->accepted_ = !Broken();
        backlogBytes_ += m->GetPacketSize();
        ++backlog_;
    }

  private:
    std::atomic<bool> broken_{false};  // set on the receiver thread, read by anyone
    std::atomic<int> created_{0};
    std::atomic<int> backlog_{0};
    std::atomic<long long> backlogBytes_{0};
};

inline bool Message::ParseHeader(int* msgLength, int* headerSize, int* trailerSize) {
    if (GetRecvSize() < kHeaderSize) {
        return false;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(GetPacket());
    const unsigned long n = (static_cast<unsigned long>(p[0]) << 24) |
                            (static_cast<unsigned long>(p[1]) << 16) |
                            (static_cast<unsigned long>(p[2]) << 8) | p[3];
    if (n < 1 || n > static_cast<unsigned long>(kMaxText)) {
        owner_->MarkBroken();
        return false;  // never complete: the connection is closed before more arrives
    }
    *msgLength = static_cast<int>(n);
    *headerSize = kHeaderSize;
    *trailerSize = kTrailerSize;
    return true;
}

// Sends all size bytes: the socket's Send is one send call and may take only part of them.
inline bool SendAll(TKV::CClientSocket& socket, const char* data, size_t size) {
    while (size > 0) {
        const int chunk = size > (1u << 30) ? (1 << 30) : static_cast<int>(size);
        const int sent = socket.Send(data, chunk);
        if (sent <= 0) {
            return false;
        }
        data += sent;
        size -= static_cast<size_t>(sent);
    }
    return true;
}

}  // namespace demo

#endif  // TKV_EXAMPLES_DEMO_FRAMING_H
