#pragma once

#include "ports/http_client.hpp"
#include "ports/main_queue.hpp"

#include <memory>
#include <string>

namespace quenta::linux_platform {

// An HTTP client that loads the network stack (the libcurl client, built as a module of its own)
// on the first request. Hosts that start often and rarely check for updates, such as the
// extension's command-line host, do not pay for loading libcurl and its TLS libraries on every
// start. When the module cannot be loaded, each request is answered on the main queue with a
// transport error naming the reason.
class LazyHttpClient : public HttpClient {
  public:
    // The main queue must outlive this client.
    LazyHttpClient(MainQueue& mainQueue, std::string modulePath);
    ~LazyHttpClient() override;
    LazyHttpClient(const LazyHttpClient&) = delete;
    LazyHttpClient& operator=(const LazyHttpClient&) = delete;

    void get(const std::string& url, std::chrono::milliseconds timeout,
             Completion completion) override;

  private:
    MainQueue& mainQueue_;
    std::string modulePath_;
    bool attempted_ = false;
    std::string loadError_;
    std::unique_ptr<HttpClient> client_;
};

}  // namespace quenta::linux_platform
