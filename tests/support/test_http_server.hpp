#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quenta::testing {

// A minimal HTTP/1.1 server on 127.0.0.1 for adapter tests. It listens on a free port from
// construction to destruction and answers each connection, on a thread of its own, with what the
// handler returns for the request's path. Stopping closes every connection, held ones too.
class TestHttpServer {
  public:
    struct Reply {
        // Sent as they are: a whole HTTP answer, part of one, or anything else.
        std::string bytes;
        // Keep the connection open after sending, until the server stops.
        bool hold = false;
    };
    using Handler = std::function<Reply(const std::string& path)>;

    explicit TestHttpServer(Handler handler);
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    [[nodiscard]] int port() const { return port_; }
    [[nodiscard]] std::string url(const std::string& path) const;
    // The head of every request received so far, in order.
    [[nodiscard]] std::vector<std::string> requests() const;

    // A complete answer with Content-Length and "Connection: close".
    static std::string response(int status, const std::string& body,
                                const std::string& extraHeaders = {});

  private:
    void acceptLoop();
    void serve(int connection);

    Handler handler_;
    int listener_ = -1;
    int stopPipe_[2] = {-1, -1};
    int port_ = 0;
    std::thread acceptor_;
    mutable std::mutex mutex_;
    std::vector<std::thread> connections_;
    std::vector<std::string> requests_;
};

// A port on 127.0.0.1 that refuses connections for as long as this object lives: bound, so no one
// else can take it, but never listening.
class RefusingLocalPort {
  public:
    RefusingLocalPort();
    ~RefusingLocalPort();
    RefusingLocalPort(const RefusingLocalPort&) = delete;
    RefusingLocalPort& operator=(const RefusingLocalPort&) = delete;

    [[nodiscard]] int port() const { return port_; }

  private:
    int fd_ = -1;
    int port_ = 0;
};

}  // namespace quenta::testing
