// CSocketMsgReceiver: turns a connection's stream of chunks into complete messages on a
// first-in first-out queue, and recycles message objects through a pool. The receiver thread
// calls AddMessage with each chunk; consumer threads take messages with Pop and give them back
// with PushPool. One re-entrant lock guards every field; AddMessage holds it for its whole run
// (ParseHeader, CreateMessage, the hooks and the logging all run under it).
#ifndef TKV_SOCKET_MSG_RECEIVER_H
#define TKV_SOCKET_MSG_RECEIVER_H

#include <deque>

#include "tkv/export.h"
#include "tkv/lock.h"
#include "tkv/socket_msg.h"

namespace TKV {

class TKV_API CSocketMsgReceiver {
  public:
    CSocketMsgReceiver();
    // Releases the queue and the pool; deletes no message (the owner may drain and delete them).
    virtual ~CSocketMsgReceiver();
    CSocketMsgReceiver(const CSocketMsgReceiver&) = delete;
    CSocketMsgReceiver& operator=(const CSocketMsgReceiver&) = delete;

    // Makes a new message object of the agent's message class.
    virtual CSocketMsg* CreateMessage() = 0;

    // Appends a chunk: completes the message being assembled, queues every complete message,
    // keeps an incomplete rest for the next chunk. True when a message was completed.
    bool AddMessage(void* data, int size);
    // Appends msg to the queue; returns the queue's size afterwards.
    unsigned int Push(CSocketMsg* msg);
    // Gives msg back for reuse; returns the pool's size afterwards.
    unsigned int PushPool(CSocketMsg* msg);
    // Removes and returns the oldest complete message; null when the queue is empty.
    CSocketMsg* Pop();
    int GetQueueSize();
    // Take and release the lock, so that a consumer can make several calls as one step.
    void LockQueue();
    void UnlockQueue();

  protected:
    // Check hook for the message left incomplete by an AddMessage (called only while logging is
    // on); does nothing by default.
    virtual void AssertPartialMsg(CSocketMsg* msg);
    // Check hook for every complete message before it is queued; does nothing by default.
    virtual void AssertValidMsg(CSocketMsg* msg);

    // Visible to a derived receiver so that it can drain and delete the messages it made
    // (under LockQueue); all guarded by lock.
    CSocketMsg* current;            // being assembled; null when none
    std::deque<CSocketMsg*> queue;  // complete messages, oldest first
    std::deque<CSocketMsg*> pool;   // messages for reuse, oldest first

  private:
    // A message from the pool (reset) or, when the pool is empty, from CreateMessage.
    CSocketMsg* NewMessage();
    // NewMessage for a caller that holds the lock.
    CSocketMsg* NewMessageHeld();
    // Dumps a complete message to the trace log (called while logging is on).
    void LogMessage(CSocketMsg* msg);

    CLock lock;  // re-entrant; guards every field
};

}  // namespace TKV

#endif  // TKV_SOCKET_MSG_RECEIVER_H
