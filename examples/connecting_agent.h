// The demo's connecting agent: connects, sends numbered requests with a bounded number in
// flight, and checks that every answer comes back whole and in order.
#ifndef TKV_EXAMPLES_CONNECTING_AGENT_H
#define TKV_EXAMPLES_CONNECTING_AGENT_H

#include <condition_variable>
#include <mutex>
#include <string>

#include <tkv/tkvagent.h>

#include "demo_connection.h"

namespace demo {

// The request numbered seq, of exactly size bytes (at least kMinRequestSize): "req <seq> ",
// filler letters, and a line feed, so that the text-mode trace shows one line per message.
constexpr int kMinRequestSize = 16;
void MakeRequest(long long seq, int size, std::string& request);

struct RunResult {
    long long sent = 0;
    long long answered = 0;
    long long bytesSent = 0;
    long long bytesReceived = 0;
    double seconds = 0;
    std::string error;  // empty when every answer came back as expected
};

// Threads: the owner's thread (Connect, Run, Stop) and the connection's receiver and consumer
// threads (the answers).
class ConnectingAgent {
  public:
    // window: requests sent ahead of their answers.
    ConnectingAgent(long long count, int size, int window);
    ~ConnectingAgent();

    // False with the socket's error text in error.
    bool Connect(const wchar_t* host, unsigned short port, std::string& error);
    // Sends the requests and waits for their answers; gives up when nothing has moved for
    // stallTimeout milliseconds or the connection ended.
    RunResult Run(int stallTimeout);
    void Stop();
    Connection& Link() { return connection_; }

  private:
    void OnAnswer(const char* text, int length);

    const long long count_;
    const int size_;
    const int window_;
    Connection connection_;
    std::mutex lock_;  // guards the fields below and pairs with changed_
    std::condition_variable changed_;
    long long answered_ = 0;
    std::string expected_;  // scratch for the expected answer, consumer thread only
    std::string error_;
};

}  // namespace demo

#endif  // TKV_EXAMPLES_CONNECTING_AGENT_H
