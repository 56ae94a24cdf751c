#include "support/test_http_server.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace quenta::testing {

namespace {

// A socket bound to a free port of 127.0.0.1, listening when asked to.
int bindLoopback(int& port, bool listen) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        throw std::runtime_error("socket failed");
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        (listen && ::listen(fd, 16) != 0) ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    port = ntohs(address.sin_port);
    return fd;
}

// Waits until the descriptor is readable; false when the stop pipe became readable first.
bool waitReadable(int fd, int stopFd) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {stopFd, POLLIN, 0}};
    while (::poll(fds, 2, -1) < 0 && errno == EINTR) {
    }
    return (fds[1].revents & POLLIN) == 0;
}

}  // namespace

TestHttpServer::TestHttpServer(Handler handler) : handler_(std::move(handler)) {
    listener_ = bindLoopback(port_, true);
    if (::pipe2(stopPipe_, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    acceptor_ = std::thread([this] { acceptLoop(); });
}

TestHttpServer::~TestHttpServer() {
    const char stop = 's';
    (void)!::write(stopPipe_[1], &stop, 1);
    acceptor_.join();
    for (auto& connection : connections_) {
        connection.join();
    }
    ::close(listener_);
    ::close(stopPipe_[0]);
    ::close(stopPipe_[1]);
}

std::string TestHttpServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<std::string> TestHttpServer::requests() const {
    const std::lock_guard lock(mutex_);
    return requests_;
}

std::string TestHttpServer::response(int status, const std::string& body,
                                     const std::string& extraHeaders) {
    return "HTTP/1.1 " + std::to_string(status) +
           " Status\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n" + extraHeaders + "\r\n" + body;
}

void TestHttpServer::acceptLoop() {
    while (waitReadable(listener_, stopPipe_[0])) {
        const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) {
            continue;
        }
        const std::lock_guard lock(mutex_);
        connections_.emplace_back([this, connection] { serve(connection); });
    }
}

void TestHttpServer::serve(int connection) {
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
        if (!waitReadable(connection, stopPipe_[0])) {
            ::close(connection);
            return;
        }
        const ssize_t got = ::read(connection, buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        head.append(buffer, static_cast<std::size_t>(got));
    }
    {
        const std::lock_guard lock(mutex_);
        requests_.push_back(head);
    }
    // "GET /path HTTP/1.1"
    const auto start = head.find(' ');
    const auto end = start == std::string::npos ? start : head.find(' ', start + 1);
    const std::string path =
        end == std::string::npos ? std::string() : head.substr(start + 1, end - start - 1);
    const Reply reply = handler_(path);
    std::size_t sent = 0;
    while (sent < reply.bytes.size()) {
        const ssize_t wrote =
            ::send(connection, reply.bytes.data() + sent, reply.bytes.size() - sent, MSG_NOSIGNAL);
        if (wrote <= 0) {
            break;
        }
        sent += static_cast<std::size_t>(wrote);
    }
    if (reply.hold) {
        pollfd stop = {stopPipe_[0], POLLIN, 0};
        while (::poll(&stop, 1, -1) < 0 && errno == EINTR) {
        }
    }
    ::shutdown(connection, SHUT_RDWR);
    ::close(connection);
}

RefusingLocalPort::RefusingLocalPort() : fd_(bindLoopback(port_, false)) {}

RefusingLocalPort::~RefusingLocalPort() {
    ::close(fd_);
}

}  // namespace quenta::testing
