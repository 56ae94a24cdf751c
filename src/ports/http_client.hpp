#pragma once

#include "ports/error.hpp"

#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace quenta {

// What an HTTP server answered, after the platform has followed any redirect.
struct HttpResponse {
    int status = 0;
    // The body; none when the answer carried no body at all.
    std::optional<std::string> body;

    friend bool operator==(const HttpResponse&, const HttpResponse&) = default;
};

// The platform's shared URL-loading facility, used for plain GET requests.
class HttpClient {
  public:
    // Called exactly once, on the main queue, with the answer or an Error: `transport` (with the
    // platform's description: no network, refused, timed out, certificate not trusted, too many
    // redirects, ...) or `badServerResponse` (the peer did not answer in HTTP, or the body is
    // larger than the client accepts).
    using Completion = std::function<void(Result<HttpResponse>)>;

    virtual ~HttpClient() = default;

    // Starts a GET request for an http or https URL and returns at once. Never answered from a
    // local cache; redirects are followed as the platform does; the whole exchange is given up
    // with a transport error once `timeout` has passed. No headers beyond the platform's own.
    virtual void get(const std::string& url, std::chrono::milliseconds timeout,
                     Completion completion) = 0;
};

}  // namespace quenta
