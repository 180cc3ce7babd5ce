// CSocketMsg: gathering one framed message and asking the derived framing when it is complete.
#include "tkv/socket_msg.h"

#include <climits>
#include <cstring>

#include "tkv/heap.h"

namespace TKV {

CSocketMsg::CSocketMsg()
    : packet(nullptr), recvSize(0), capacity(0), msgLength(-1), headerSize(-1), trailerSize(0) {}

CSocketMsg::~CSocketMsg() {
    MemFree(packet);
}

void CSocketMsg::Reset() {
    recvSize = 0;
    msgLength = -1;
    headerSize = -1;
    trailerSize = 0;
}

char* CSocketMsg::GetMsg() const {
    if (msgLength >= 1 && headerSize >= 1) {
        return packet + headerSize;
    }
    return nullptr;
}

int CSocketMsg::GetPacketSize() const {
    // Sizes told by a framing are not trusted: a negative one or a sum past int means "unknown".
    if (headerSize < 0 || msgLength < 0 || trailerSize < 0) {
        return -1;
    }
    long long total = static_cast<long long>(headerSize) + msgLength + trailerSize;
    return total > INT_MAX ? -1 : static_cast<int>(total);
}

bool CSocketMsg::Resize(int size) {
    long long needed = static_cast<long long>(recvSize) + size;
    if (needed > INT_MAX) {
        return false;
    }
    if (needed >= capacity) {
        // Growth by exactly the incoming amount: a reused message that once held the largest
        // packet of its connection never grows again.
        long long grown = static_cast<long long>(capacity) + size;
        if (grown > INT_MAX) {
            return false;
        }
        auto bytes = static_cast<unsigned int>(grown);
        void* block = packet != nullptr ? MemRealloc(packet, bytes) : MemAlloc(bytes);
        if (block == nullptr) {
            return false;  // the old packet stays valid and held
        }
        packet = static_cast<char*>(block);
        std::memset(packet + recvSize, 0, static_cast<size_t>(grown - recvSize));
        capacity = static_cast<int>(grown);
    }
    recvSize += size;
    return true;
}

int CSocketMsg::CheckComplete() {
    if (msgLength < 1 && !ParseHeader(&msgLength, &headerSize, &trailerSize)) {
        return -1;
    }
    const int total = GetPacketSize();  // -1 for absurd sizes
    return total >= 0 && recvSize >= total ? total : -1;
}

int CSocketMsg::Add(void* data, int size) {
    if (data == nullptr || size < 1) {
        return -1;
    }
    int old = recvSize;
    if (!Resize(size)) {
        return -1;
    }
    std::memcpy(packet + old, data, static_cast<size_t>(size));
    return CheckComplete();
}

int CSocketMsg::AddFrom(const char* data, int size, const char*& rest, int& restSize) {
    if (data == nullptr || size < 1) {
        return -1;
    }
    int old = recvSize;
    if (msgLength < 1 && old > 0) {
        // The framing must see the earlier bytes and the new ones side by side.
        if (!Resize(size)) {
            return -1;
        }
        std::memcpy(packet + old, data, static_cast<size_t>(size));
        int total = CheckComplete();
        if (total > 0) {
            rest = packet + total;
            restSize = recvSize - total;
        }
        return total;
    }
    if (static_cast<long long>(old) + size > INT_MAX) {
        return -1;
    }
    bool sizesKnown = msgLength >= 1;
    int total;
    {
        // The framing reads the bytes where they lie (a fresh message holds none yet), so that
        // a chunk's rest is not copied once per message it holds.
        struct Restore {
            CSocketMsg& msg;
            char* packet;
            int recvSize;
            ~Restore() {
                msg.packet = packet;
                msg.recvSize = recvSize;
            }
        } restore{*this, packet, recvSize};
        if (!sizesKnown) {
            packet = const_cast<char*>(data);
        }
        recvSize = old + size;
        total = CheckComplete();
    }
    // A complete message stores only its own bytes and grows by exactly that amount.
    int keep = total > old ? total - old : size;
    if (!Resize(keep)) {
        if (!sizesKnown) {
            Reset();  // sizes read from bytes that could not be kept
        }
        return -1;
    }
    std::memcpy(packet + old, data, static_cast<size_t>(keep));
    if (total > old) {
        rest = data + keep;
        restSize = size - keep;
    } else if (total > 0) {
        rest = packet + total;
        restSize = recvSize - total;
    }
    return total;
}

}  // namespace TKV
