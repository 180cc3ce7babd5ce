// CSocketMsgReceiver: cutting chunks into messages, the queue of complete messages and the pool.
#include "tkv/socket_msg_receiver.h"

#include <cstring>
#include <string>

#include "foundation/logging.h"
#include "sync/lock_hold.h"
#include "tkv/diagnostics.h"

namespace TKV {

CSocketMsgReceiver::CSocketMsgReceiver() : current(nullptr) {}

CSocketMsgReceiver::~CSocketMsgReceiver() = default;

void CSocketMsgReceiver::AssertPartialMsg(CSocketMsg*) {}

void CSocketMsgReceiver::AssertValidMsg(CSocketMsg*) {}

void CSocketMsgReceiver::LockQueue() {
    lock.Lock();
}

void CSocketMsgReceiver::UnlockQueue() {
    lock.Unlock();
}

unsigned int CSocketMsgReceiver::Push(CSocketMsg* msg) {
    detail::LockHold hold(lock);
    queue.push_back(msg);
    return static_cast<unsigned int>(queue.size());
}

unsigned int CSocketMsgReceiver::PushPool(CSocketMsg* msg) {
    detail::LockHold hold(lock);
    pool.push_back(msg);
    return static_cast<unsigned int>(pool.size());
}

CSocketMsg* CSocketMsgReceiver::Pop() {
    detail::LockHold hold(lock);
    if (queue.empty()) {
        return nullptr;
    }
    CSocketMsg* msg = queue.front();
    queue.pop_front();
    return msg;
}

int CSocketMsgReceiver::GetQueueSize() {
    detail::LockHold hold(lock);
    return static_cast<int>(queue.size());
}

CSocketMsg* CSocketMsgReceiver::NewMessage() {
    detail::LockHold hold(lock);
    return NewMessageHeld();
}

CSocketMsg* CSocketMsgReceiver::NewMessageHeld() {
    if (pool.empty()) {
        return CreateMessage();
    }
    CSocketMsg* msg = pool.front();
    pool.pop_front();
    // Reset, without a call per message.
    msg->recvSize = 0;
    msg->msgLength = -1;
    msg->headerSize = -1;
    msg->trailerSize = 0;
    return msg;
}

void CSocketMsgReceiver::LogMessage(CSocketMsg* msg) {
    if (!detail::IsTextLogging()) {
        LogHex(L"recv:", reinterpret_cast<const unsigned char*>(msg->packet),
               static_cast<unsigned long>(msg->recvSize));
        return;
    }
    if (msg->msgLength < 1 || msg->headerSize < 1 || msg->headerSize >= msg->recvSize) {
        return;  // no text to show
    }
    // The text ends at its first zero byte, but never past the bytes the packet holds.
    const char* text = msg->packet + msg->headerSize;
    auto available = static_cast<size_t>(msg->recvSize - msg->headerSize);
    if (std::memchr(text, '\0', available) != nullptr) {
        LogTextA(text);
    } else {
        LogTextA(std::string(text, available).c_str());
    }
}

bool CSocketMsgReceiver::AddMessage(void* data, int size) {
    if (data == nullptr || size < 1) {
        return false;
    }
    // One hold for the whole chunk: the pool and the queue below are used with it held.
    detail::LockHold hold(lock);
    if (current == nullptr) {
        current = NewMessageHeld();
        if (current == nullptr) {
            return false;  // the agent's CreateMessage made nothing: the chunk is dropped
        }
    }
    // The switch is read once per chunk: a change made meanwhile by another thread is as if made
    // before or after the whole chunk.
    const bool logging = detail::IsLoggingOn();
    const char* rest = nullptr;
    int restSize = 0;
    int r = current->AddFrom(static_cast<const char*>(data), size, rest, restSize);
    int count = 0;
    while (r > 0) {
        ++count;
        CSocketMsg* done = current;
        done->recvSize = r;  // the message now holds exactly its packet
        AssertValidMsg(done);
        queue.push_back(done);
        if (logging) {
            LogMessage(done);
        }
        current = nullptr;
        if (restSize < 1) {
            break;
        }
        // The rest starts the next message; it stays readable (in the chunk or in a queued
        // packet) while the lock is held.
        current = NewMessageHeld();
        if (current == nullptr) {
            break;
        }
        r = current->AddFrom(rest, restSize, rest, restSize);
    }
    if (current != nullptr && logging) {
        AssertPartialMsg(current);
    }
    return count > 0;
}

}  // namespace TKV
