// The demo's listening agent: a CServerSocket whose listener wraps every accepted connection in
// a demo Connection whose handler (by default AnswerRequest) handles each message.
#ifndef TKV_EXAMPLES_LISTENING_AGENT_H
#define TKV_EXAMPLES_LISTENING_AGENT_H

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <tkv/tkvagent.h>

#include "demo_connection.h"

namespace demo {

// The answer to a request: the same text with its leading "req" turned into "ans".
void MakeAnswer(const char* request, int length, std::string& answer);
// The default handler: sends the answer to the request back on its connection.
void AnswerRequest(Connection& connection, const char* text, int length);

// Threads: the listen thread (the ISOListener calls), each connection's receiver and consumer
// threads, and the owner's thread (Start, Stop, the counters).
class ListeningAgent : public TKV::ISOListener {
  public:
    ListeningAgent(const wchar_t* host, unsigned short port,
                   Connection::Handler handler = AnswerRequest);
    ~ListeningAgent();

    // Starts listening and waits until listening has begun or failed; the port actually bound
    // (the system's choice for port 0), or 0 with Error() telling why.
    unsigned short Start();
    int Error();
    // Waits until count connections have been accepted, or the timeout (ms) passed.
    bool WaitAccepted(int count, int timeout);
    // Waits until a connection has been accepted and every accepted one has ended, or the
    // timeout (ms) passed; true in the first case.
    bool WaitIdle(int timeout);
    // Stops listening and every connection.
    void Stop();

    // The listening socket (null before Start).
    TKV::CServerSocket* Server() { return server_.get(); }
    int Connections();
    // The connections accepted so far; valid until Stop.
    std::vector<Connection*> Accepted();
    long long MessagesAnswered();
    long long BytesReceived();
    long long BytesSent();

    // ISOListener, on the listen thread.
    bool IsStopping() override;
    void OnSocketCreated(unsigned int socket) override;
    void OnAccept(TKV::CServerSocket* server, unsigned int socket) override;
    void OnListen(const wchar_t* host, const wchar_t* ipAddress, unsigned short port) override;
    void OnError(TKV::CServerSocket* server, int error) override;

  private:
    unsigned short BoundPort();
    // Sums one counter over the accepted connections.
    long long Total(long long (Connection::*count)() const);

    Connection::Handler handler_;
    TKV::TSOSocketInfo info_;
    std::unique_ptr<TKV::CServerSocket> server_;
    std::mutex lock_;  // guards the fields below and pairs with changed_
    std::condition_variable changed_;
    bool listening_ = false;
    int error_ = 0;
    bool stopping_ = false;
    std::vector<std::unique_ptr<Connection>> connections_;
};

}  // namespace demo

#endif  // TKV_EXAMPLES_LISTENING_AGENT_H
