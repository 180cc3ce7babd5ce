// A demo connection: receiver thread -> MessageQueue -> consumer thread -> handler.
#include "demo_connection.h"

#include <system_error>

#include <string>

namespace demo {

Connection::Connection(Handler handler)
    : handler_(std::move(handler)), socket_(this, TKV::CSocket::DefaultBufferSize) {}

Connection::Connection(Handler handler, unsigned int acceptedHandle)
    : handler_(std::move(handler)),
      socket_(this, acceptedHandle, TKV::CSocket::DefaultBufferSize) {}

Connection::~Connection() {
    Stop();
}

bool Connection::Connect(TKV::TSOSocketInfo* info) {
    return socket_.Connect(info);
}

bool Connection::Start() {
    try {
        consumer_ = std::thread(&Connection::Consume, this);
    } catch (const std::system_error&) {
        return false;  // no thread to be had: the caller refuses the connection
    }
    receiverThread_ = socket_.Receive(0);
    return receiverThread_ != nullptr;
}

bool Connection::SendText(const char* text, size_t length) {
    std::string packet;
    packet.reserve(length + kHeaderSize + kTrailerSize);
    AppendFrame(packet, text, length);
    std::lock_guard<std::mutex> guard(sendLock_);
    if (!SendAll(socket_, packet.data(), packet.size())) {
        return false;
    }
    bytesSent_ += static_cast<long long>(packet.size());
    return true;
}

void Connection::Stop() {
    {
        std::lock_guard<std::mutex> guard(signalLock_);
        stopping_ = true;
    }
    room_.notify_all();
    socket_.Shutdown();
    if (receiverThread_ != nullptr) {
        // Shutdown makes a blocked receive return, so the thread is bound to end; the object
        // must outlive it, so wait for the handle itself before anything is destroyed.
        socket_.WaitForThreadExit(10000);
        WaitForSingleObject(receiverThread_, INFINITE);
        CloseHandle(receiverThread_);
        receiverThread_ = nullptr;
    }
    if (consumer_.joinable()) {
        {
            std::lock_guard<std::mutex> guard(signalLock_);
            stopConsumer_ = true;
        }
        signal_.notify_one();
        consumer_.join();
    }
}

bool Connection::WaitClosed(int timeout) {
    return receiverThread_ == nullptr ||
           WaitForSingleObject(receiverThread_, static_cast<DWORD>(timeout)) == WAIT_OBJECT_0;
}

bool Connection::IsStopping() {
    return stopping_.load();
}

bool Connection::OnReceive(TKV::CClientSocket*, unsigned char* data, int size) {
    bytesReceived_ += size;
    const bool completed = queue_.AddMessage(data, size);
    if (completed) {
        Wake();
    }
    if (queue_.Broken()) {
        TKVTrace(L"demo: closing a connection whose stream is out of step\n");
        return false;  // closes the connection; what was queued before is still handled
    }
    WaitForRoom();
    return true;
}

bool Connection::BacklogFull() const {
    return queue_.Backlog() >= kMaxBacklog || queue_.BacklogBytes() >= kMaxBacklogBytes;
}

// Only complete messages count, which the consumer can always take, so a partial message never
// holds the receiver.
void Connection::WaitForRoom() {
    if (!BacklogFull()) {
        return;
    }
    std::unique_lock<std::mutex> guard(signalLock_);
    awaitingRoom_ = true;
    room_.wait(guard, [this] { return stopping_.load() || !BacklogFull(); });
    awaitingRoom_ = false;
}

void Connection::OnDisconnect(TKV::CClientSocket*) {
    peerClosed_ = true;
    TKVTrace(L"demo: the peer closed the connection\n");
}

void Connection::Wake() {
    {
        std::lock_guard<std::mutex> guard(signalLock_);
        pending_ = true;
    }
    signal_.notify_one();
}

void Connection::Consume() {
    for (;;) {
        bool stop;
        {
            std::unique_lock<std::mutex> guard(signalLock_);
            signal_.wait(guard, [this] { return pending_ || stopConsumer_; });
            pending_ = false;
            stop = stopConsumer_;
        }
        // pending_ is cleared before the queue is drained, so a message queued meanwhile sets
        // it again and is not left waiting.
        while (Message* msg = queue_.PopMessage()) {
            if (msg->Accepted()) {
                handler_(*this, msg->Text(), msg->TextLength());
                ++handled_;
            }
            queue_.Recycle(msg);
            // The receiver sets the flag before it tests the backlog, under the lock taken
            // here, so it either sees the smaller backlog or is woken.
            if (awaitingRoom_.load()) {
                std::lock_guard<std::mutex> guard(signalLock_);
                room_.notify_one();
            }
        }
        if (stop) {
            return;
        }
    }
}

}  // namespace demo
