#include "adapters/linux/curl/http_client_curl.hpp"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace quenta::linux_platform {

namespace {

struct Download {
    std::string body;
    std::size_t limit = 0;
    bool tooLarge = false;
    const std::atomic<bool>* stopping = nullptr;
};

std::size_t appendBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto& download = *static_cast<Download*>(user);
    const std::size_t bytes = size * count;
    if (bytes > download.limit - download.body.size()) {
        download.tooLarge = true;
        return 0;  // makes libcurl end the transfer
    }
    download.body.append(data, bytes);
    return bytes;
}

int checkStopping(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<Download*>(user)->stopping->load() ? 1 : 0;
}

Error transportError(CURLcode code, const char* detail) {
    std::string description = curl_easy_strerror(code);
    if (detail != nullptr && detail[0] != '\0') {
        description += ": ";
        description += detail;
    }
    return Error{ErrorKind::transport, std::move(description)};
}

class EasyHandle {
  public:
    EasyHandle() : handle_(curl_easy_init()) {}
    ~EasyHandle() {
        if (handle_ != nullptr) {
            curl_easy_cleanup(handle_);
        }
    }
    EasyHandle(const EasyHandle&) = delete;
    EasyHandle& operator=(const EasyHandle&) = delete;
    [[nodiscard]] CURL* get() const { return handle_; }

  private:
    CURL* handle_;
};

}  // namespace

struct HttpClientCurl::Worker {
    std::thread thread;
    std::atomic<bool> finished{false};
};

HttpClientCurl::HttpClientCurl(MainQueue& mainQueue, std::size_t maxBodySize,
                               std::string trustedCertificates)
    : mainQueue_(mainQueue),
      maxBodySize_(maxBodySize),
      trustedCertificates_(std::move(trustedCertificates)) {
    static std::once_flag initialized;
    std::call_once(initialized, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

HttpClientCurl::~HttpClientCurl() {
    stopping_ = true;
    const std::lock_guard lock(mutex_);
    for (auto& worker : workers_) {
        worker->thread.join();
    }
}

void HttpClientCurl::reapFinishedWorkers() {
    for (auto it = workers_.begin(); it != workers_.end();) {
        if ((*it)->finished) {
            (*it)->thread.join();
            it = workers_.erase(it);
        } else {
            ++it;
        }
    }
}

void HttpClientCurl::get(const std::string& url, std::chrono::milliseconds timeout,
                         Completion completion) {
    const std::lock_guard lock(mutex_);
    reapFinishedWorkers();
    auto worker = std::make_unique<Worker>();
    Worker* self = worker.get();
    try {
        worker->thread = std::thread([this, self, url, timeout, completion]() mutable {
            Result<HttpResponse> outcome = perform(url, timeout);
            mainQueue_.async([completion = std::move(completion), outcome = std::move(outcome)]() {
                completion(outcome);
            });
            self->finished = true;
        });
    } catch (const std::system_error& error) {
        mainQueue_.async([completion = std::move(completion), description = error.what()]() {
            completion(Error{ErrorKind::transport, description});
        });
        return;
    }
    workers_.push_back(std::move(worker));
}

Result<HttpResponse> HttpClientCurl::perform(const std::string& url,
                                             std::chrono::milliseconds timeout) const {
    const EasyHandle easy;
    CURL* curl = easy.get();
    if (curl == nullptr) {
        return Error{ErrorKind::transport, "The network library could not start a transfer."};
    }
    Download download;
    download.limit = maxBodySize_;
    download.stopping = &stopping_;
    char detail[CURL_ERROR_SIZE] = {};

    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
    // A redirect never downgrades: from an https address only to https ones.
    const bool secure =
        url.size() >= 8 && std::equal(url.begin(), url.begin() + 8, "https://", [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) == b;
        });
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, secure ? "https" : "http,https");
    if (!trustedCertificates_.empty()) {
        curl_easy_setopt(curl, CURLOPT_CAINFO, trustedCertificates_.c_str());
    }
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(timeout.count()));
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(maxBodySize_));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, appendBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &download);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, checkStopping);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &download);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, detail);

    const CURLcode code = curl_easy_perform(curl);
    if (download.tooLarge || code == CURLE_FILESIZE_EXCEEDED) {
        return Error{ErrorKind::badServerResponse, "The server's answer is larger than " +
                                                       std::to_string(maxBodySize_) + " bytes."};
    }
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    if (code == CURLE_WEIRD_SERVER_REPLY || code == CURLE_UNSUPPORTED_PROTOCOL) {
        // A peer that answered, but not in HTTP (HTTP/0.9 is refused), as opposed to a URL or a
        // redirect with a scheme other than http and https.
        long connects = 0;
        curl_easy_getinfo(curl, CURLINFO_NUM_CONNECTS, &connects);
        if (code == CURLE_WEIRD_SERVER_REPLY || (connects > 0 && status == 0)) {
            return Error{ErrorKind::badServerResponse, transportError(code, detail).description};
        }
    }
    if (code != CURLE_OK) {
        return transportError(code, detail);
    }
    if (status < 100 || status > 999) {
        return Error{ErrorKind::badServerResponse, "The server did not answer in HTTP."};
    }
    return HttpResponse{static_cast<int>(status), std::move(download.body)};
}

}  // namespace quenta::linux_platform
