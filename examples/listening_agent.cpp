// The demo's listening agent: accepts connections and answers every request on them.
#include "listening_agent.h"

#include <chrono>
#include <cstdio>
#include <cwchar>

namespace demo {

void MakeAnswer(const char* request, int length, std::string& answer) {
    answer.assign(request, static_cast<size_t>(length));
    if (answer.compare(0, 3, "req") == 0) {
        answer.replace(0, 3, "ans");
    }
}

void AnswerRequest(Connection& connection, const char* text, int length) {
    thread_local std::string answer;
    MakeAnswer(text, length, answer);
    connection.SendText(answer.data(), answer.size());
}

ListeningAgent::ListeningAgent(const wchar_t* host, unsigned short port,
                               Connection::Handler handler)
    : handler_(std::move(handler)), info_() {
    info_.family = std::wcschr(host, L':') != nullptr ? TKV::SOFamilyInet6 : TKV::SOFamilyInet;
    info_.protocol = TKV::SOProtocolTCP;
    info_.type = TKV::SOTypeStream;
    std::wcsncpy(info_.host, host, 1024);
    info_.port = port;
}

ListeningAgent::~ListeningAgent() {
    Stop();
}

unsigned short ListeningAgent::Start() {
    server_ = std::make_unique<TKV::CServerSocket>(this, 0, &info_);
    if (server_->Listen() != 1) {
        std::lock_guard<std::mutex> guard(lock_);
        if (error_ == 0) {
            error_ = WSAEINVAL;
        }
        return 0;
    }
    {
        std::unique_lock<std::mutex> guard(lock_);
        changed_.wait(guard, [this] { return listening_ || error_ != 0; });
        if (error_ != 0) {
            return 0;
        }
    }
    return info_.port != 0 ? info_.port : BoundPort();
}

// OnListen reports the configured port; the one the system chose for port 0 is read back from
// the listening handle.
unsigned short ListeningAgent::BoundPort() {
    alignas(16) unsigned char storage[128] = {};
    auto* address = reinterpret_cast<sockaddr*>(storage);
    int length = sizeof(storage);
    TKV::TSOServiceNameW service{};
    if (TKV::CSocketUtil::GetSockName(server_->GetSocket(), address, &length) != 0 ||
        TKV::CSocketUtil::GetServName(address, length, &service, TKV::SONameNumericServ) != 0) {
        return 0;
    }
    return static_cast<unsigned short>(std::wcstoul(service, nullptr, 10));
}

int ListeningAgent::Error() {
    std::lock_guard<std::mutex> guard(lock_);
    return error_;
}

bool ListeningAgent::WaitAccepted(int count, int timeout) {
    std::unique_lock<std::mutex> guard(lock_);
    return changed_.wait_for(guard, std::chrono::milliseconds(timeout),
                             [&] { return static_cast<int>(connections_.size()) >= count; });
}

bool ListeningAgent::WaitIdle(int timeout) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout);
    {
        std::unique_lock<std::mutex> guard(lock_);
        if (!changed_.wait_until(guard, deadline, [this] { return !connections_.empty(); })) {
            return false;
        }
    }
    // Connections that come while others are served are served until they close as well.
    for (size_t waited = 0;;) {
        std::vector<Connection*> open;
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (waited == connections_.size()) {
                return true;
            }
            for (size_t i = waited; i < connections_.size(); ++i) {
                open.push_back(connections_[i].get());
            }
            waited = connections_.size();
        }
        for (Connection* c : open) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !c->WaitClosed(static_cast<int>(left.count()))) {
                return false;
            }
        }
    }
}

void ListeningAgent::Stop() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        stopping_ = true;
    }
    if (server_) {
        // IsStopping answers true first, so the accept that Shutdown interrupts is not an error.
        server_->Shutdown();
        server_->WaitForThreadExit(10000);
    }
    std::vector<std::unique_ptr<Connection>> connections;
    {
        std::lock_guard<std::mutex> guard(lock_);
        connections.swap(connections_);
    }
    for (auto& c : connections) {
        c->Stop();
    }
}

int ListeningAgent::Connections() {
    std::lock_guard<std::mutex> guard(lock_);
    return static_cast<int>(connections_.size());
}

std::vector<Connection*> ListeningAgent::Accepted() {
    std::lock_guard<std::mutex> guard(lock_);
    std::vector<Connection*> accepted;
    for (auto& c : connections_) {
        accepted.push_back(c.get());
    }
    return accepted;
}

long long ListeningAgent::Total(long long (Connection::*count)() const) {
    std::lock_guard<std::mutex> guard(lock_);
    long long n = 0;
    for (auto& c : connections_) {
        n += ((*c).*count)();
    }
    return n;
}

long long ListeningAgent::MessagesAnswered() {
    return Total(&Connection::MessagesHandled);
}

long long ListeningAgent::BytesReceived() {
    return Total(&Connection::BytesReceived);
}

long long ListeningAgent::BytesSent() {
    return Total(&Connection::BytesSent);
}

bool ListeningAgent::IsStopping() {
    std::lock_guard<std::mutex> guard(lock_);
    return stopping_;
}

void ListeningAgent::OnSocketCreated(unsigned int) {}

void ListeningAgent::OnAccept(TKV::CServerSocket*, unsigned int socket) {
    auto connection = std::make_unique<Connection>(handler_, socket);
    TKVTrace(L"demo: accepted a connection from %s\n", connection->Socket().GetIPAddress());
    std::lock_guard<std::mutex> guard(lock_);
    if (stopping_) {
        connection->Stop();  // never started: Stop just closes the handle
        return;
    }
    if (!connection->Start()) {
        // Out of threads: this connection is refused, the listener goes on with the next.
        TKVTrace(L"demo: refused a connection: no thread to serve it\n");
        connection->Stop();
        return;
    }
    connections_.push_back(std::move(connection));
    changed_.notify_all();
}

void ListeningAgent::OnListen(const wchar_t* host, const wchar_t* ipAddress, unsigned short port) {
    // The port the system chose when 0 was asked for.
    TKVTrace(L"demo: listening on %s (%s) port %u\n", host, ipAddress,
             static_cast<unsigned>(port != 0 ? port : BoundPort()));
    std::lock_guard<std::mutex> guard(lock_);
    listening_ = true;
    changed_.notify_all();
}

void ListeningAgent::OnError(TKV::CServerSocket*, int error) {
    std::lock_guard<std::mutex> guard(lock_);
    if (stopping_) {
        return;  // the accept that our own Shutdown interrupted
    }
    TKVTrace(L"demo: listening failed: %s\n", TKV::CSocketUtil::PrintSocketError(error));
    // Also where an operator sees it: an accept that fails for lack of descriptors ends the
    // listening.
    std::fprintf(stderr, "listening failed: %ls", TKV::CSocketUtil::PrintSocketError(error));
    error_ = error;
    changed_.notify_all();
}

}  // namespace demo
