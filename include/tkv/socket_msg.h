// CSocketMsg: one framed message of an agent's wire protocol, gathered from received chunks.
// The agent derives its message class and supplies ParseHeader, which knows the framing: a
// packet is a header, the message text and a trailer. Add appends bytes and says when the
// message is complete. Messages are made by a CSocketMsgReceiver (socket_msg_receiver.h), which
// cuts the received stream into them; a message is used by one thread at a time.
#ifndef TKV_SOCKET_MSG_H
#define TKV_SOCKET_MSG_H

#include "tkv/export.h"

namespace TKV {

class CSocketMsgReceiver;

class TKV_API CSocketMsg {
  public:
    // Appends size bytes; returns the packet size once the message is complete, else -1
    // (incomplete, null data, size below 1, or no memory). Bytes beyond the packet stay held.
    int Add(void* data, int size);
    // Forgets the bytes and sizes; the packet buffer and its capacity are kept for reuse.
    void Reset();

    // The bytes held; the packet starts with the header.
    char* GetPacket() const { return packet; }
    int GetRecvSize() const { return recvSize; }
    // Allocated size of the packet buffer.
    int GetCapacity() const { return capacity; }
    // The message text (after the header) when the text and the header are both non-empty.
    char* GetMsg() const;
    // Length of the message text; -1 until ParseHeader has told it.
    int GetMsgLength() const { return msgLength; }
    // Header, text and trailer sizes together (-1 while they are unknown or absurd).
    int GetPacketSize() const;

    CSocketMsg(const CSocketMsg&) = delete;
    CSocketMsg& operator=(const CSocketMsg&) = delete;

  protected:
    CSocketMsg();
    // Only the message's own class hierarchy deletes it.
    virtual ~CSocketMsg();

    // The framing. Called by Add after bytes were appended, while the text length is below 1.
    // Reads GetPacket()/GetRecvSize(); when the bytes suffice, stores the text length, header size
    // and trailer size and returns true; returns false when more bytes are needed.
    virtual bool ParseHeader(int* msgLength, int* headerSize, int* trailerSize) = 0;

  private:
    friend class CSocketMsgReceiver;

    // Grows the packet for size more bytes (by exactly size) and counts them in recvSize; false
    // (nothing changed) when no memory is to be had or the size would pass the int range.
    bool Resize(int size);
    // Add for the receiver, with the same results, except that the bytes beyond a completed
    // packet are not kept: rest and restSize then tell where they are (in data or in this
    // packet) and how many.
    int AddFrom(const char* data, int size, const char*& rest, int& restSize);
    // Calls ParseHeader when due and returns the packet size when complete, else -1.
    int CheckComplete();

    char* packet;     // owned; from MemAlloc/MemRealloc
    int recvSize;     // bytes held
    int capacity;     // allocated size of packet
    int msgLength;    // -1 = not yet determined
    int headerSize;   // -1 = not yet determined
    int trailerSize;  // 0 until ParseHeader tells it
};

}  // namespace TKV

#endif  // TKV_SOCKET_MSG_H
