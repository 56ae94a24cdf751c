#pragma once

#include "ports/http_client.hpp"
#include "ports/main_queue.hpp"

#include <atomic>
#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <string>

namespace quenta::linux_platform {

// GET requests through libcurl. Each transfer runs on a worker thread of its own, which does
// nothing but transfer and classify; the outcome is handed to the main queue, which runs the
// completion. TLS peers are verified against the system's certificate store; redirects are followed
// (at most 10, http and https only, and from an https address to https only); proxies come from the
// usual environment variables; nothing is cached. Answers larger than `maxBodySize` are cut off and
// reported as a bad server response.
class HttpClientCurl : public HttpClient {
  public:
    static constexpr std::size_t kDefaultMaxBodySize = std::size_t{1024} * 1024;
    static constexpr long kMaxRedirects = 10;

    // The main queue must outlive this client. `trustedCertificates`, when not empty, names a PEM
    // file of the certificate authorities trusted instead of the system's (for tests).
    explicit HttpClientCurl(MainQueue& mainQueue, std::size_t maxBodySize = kDefaultMaxBodySize,
                            std::string trustedCertificates = {});
    // Ends the transfers still running (they are reported as transport errors) and waits for
    // their threads.
    ~HttpClientCurl() override;
    HttpClientCurl(const HttpClientCurl&) = delete;
    HttpClientCurl& operator=(const HttpClientCurl&) = delete;

    void get(const std::string& url, std::chrono::milliseconds timeout,
             Completion completion) override;

  private:
    struct Worker;

    // One whole transfer and its classification, on the calling (worker) thread.
    [[nodiscard]] Result<HttpResponse> perform(const std::string& url,
                                               std::chrono::milliseconds timeout) const;

    void reapFinishedWorkers();

    MainQueue& mainQueue_;
    std::size_t maxBodySize_;
    std::string trustedCertificates_;
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::list<std::unique_ptr<Worker>> workers_;
};

}  // namespace quenta::linux_platform
