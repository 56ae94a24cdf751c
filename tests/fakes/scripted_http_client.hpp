#pragma once

#include "ports/http_client.hpp"
#include "ports/main_queue.hpp"

#include <chrono>
#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace quenta::testing {

// An HTTP client that answers from a script. Each request takes the next scripted answer and
// delivers it through the main queue after the answer's delay, as the real client hands its
// outcome to the main thread; with the script empty, the request never ends.
class ScriptedHttpClient : public HttpClient {
  public:
    struct Request {
        std::string url;
        std::chrono::milliseconds timeout;
    };

    explicit ScriptedHttpClient(MainQueue& mainQueue) : mainQueue_(mainQueue) {}

    void answer(Result<HttpResponse> outcome,
                std::chrono::milliseconds delay = std::chrono::milliseconds(100)) {
        script_.push_back({std::move(outcome), delay});
    }
    void answerOk(std::string body) { answer(HttpResponse{200, std::move(body)}); }
    void answerStatus(int status, std::string body = {}) {
        answer(HttpResponse{status, std::move(body)});
    }

    void get(const std::string& url, std::chrono::milliseconds timeout,
             Completion completion) override {
        requests.push_back({url, timeout});
        if (script_.empty()) {
            unanswered.push_back(std::move(completion));
            return;
        }
        Scripted next = std::move(script_.front());
        script_.pop_front();
        mainQueue_.asyncAfter(
            next.delay, [completion = std::move(completion), outcome = std::move(next.outcome)]() {
                completion(outcome);
            });
    }

    std::vector<Request> requests;
    std::vector<Completion> unanswered;

  private:
    struct Scripted {
        Result<HttpResponse> outcome;
        std::chrono::milliseconds delay;
    };

    MainQueue& mainQueue_;
    std::deque<Scripted> script_;
};

}  // namespace quenta::testing
