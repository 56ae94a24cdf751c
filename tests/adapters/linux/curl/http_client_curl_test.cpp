#include "adapters/linux/curl/http_client_curl.hpp"

#include "adapters/linux/curl/lazy_http_client.hpp"
#include "adapters/linux/gio/main_queue_glib.hpp"
#include "adapters/linux/posix/install_layout.hpp"
#include "core/shared/app_release.hpp"
#include "support/temp_dir.hpp"
#include "support/test_http_server.hpp"

#include <fcntl.h>
#include <glib.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>

namespace quenta::testing {
namespace {

using linux_platform::HttpClientCurl;
using linux_platform::MainQueueGlib;
using namespace std::chrono_literals;
using Reply = TestHttpServer::Reply;

const std::string kManifest = R"({"version": "1.3.0", "notes": "faster"})";

Reply routes(const std::string& path) {
    if (path == "/works/quentaapp/downloads/latest.json") {
        return {TestHttpServer::response(200, kManifest, "Content-Type: application/json\r\n")};
    }
    if (path == "/missing") {
        return {TestHttpServer::response(404, "<h1>Not Found</h1>")};
    }
    if (path == "/broken") {
        return {TestHttpServer::response(500, "oops")};
    }
    if (path == "/moved") {
        return {TestHttpServer::response(301, "",
                                         "Location: /works/quentaapp/downloads/latest.json\r\n")};
    }
    if (path == "/loop") {
        return {TestHttpServer::response(302, "", "Location: /loop\r\n")};
    }
    if (path == "/to-file") {
        return {TestHttpServer::response(302, "", "Location: file:///etc/passwd\r\n")};
    }
    if (path == "/page") {
        return {TestHttpServer::response(200, "<html><body>Downloads</body></html>")};
    }
    if (path == "/silent") {
        return {"", true};
    }
    if (path == "/half") {
        return {"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n{\"version\"", true};
    }
    if (path == "/not-http") {
        return {"SSH-2.0-OpenSSH_9.2\r\n"};
    }
    if (path == "/huge") {
        return {TestHttpServer::response(200, std::string(3 * 1024 * 1024, 'x'))};
    }
    if (path == "/huge-unannounced") {
        return {"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + std::string(3 * 1024 * 1024, 'x')};
    }
    return {TestHttpServer::response(404, "")};
}

class HttpClientCurlTest : public ::testing::Test {
  protected:
    HttpClientCurlTest() : context(g_main_context_new()), queue(context) {}
    ~HttpClientCurlTest() override {
        client.reset();
        // Run what the destroyed client may still have queued, then drop the context.
        while (g_main_context_iteration(context, FALSE)) {
        }
        g_main_context_unref(context);
    }

    // Runs one GET and the main context until its completion has run; checks that the completion
    // ran once, on this thread.
    Result<HttpResponse> fetch(const std::string& url, std::chrono::milliseconds timeout = 15s) {
        std::optional<Result<HttpResponse>> outcome;
        int calls = 0;
        std::thread::id ranOn;
        client->get(url, timeout, [&](Result<HttpResponse> answer) {
            ++calls;
            ranOn = std::this_thread::get_id();
            outcome = std::move(answer);
        });
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        while (!outcome && std::chrono::steady_clock::now() < deadline) {
            g_main_context_iteration(context, FALSE);
            std::this_thread::sleep_for(1ms);
        }
        EXPECT_TRUE(outcome.has_value()) << "no answer within 30 s for " << url;
        if (!outcome) {
            return Error{ErrorKind::other, "no answer"};
        }
        // Nothing more may arrive for this request.
        while (g_main_context_iteration(context, FALSE)) {
        }
        EXPECT_EQ(calls, 1);
        EXPECT_EQ(ranOn, std::this_thread::get_id());
        return *outcome;
    }

    GMainContext* context;
    MainQueueGlib queue;
    std::unique_ptr<HttpClient> client = std::make_unique<HttpClientCurl>(queue);
    TestHttpServer server{routes};
};

TEST_F(HttpClientCurlTest, AnswersWithStatusAndBody) {
    const auto ok = fetch(server.url("/works/quentaapp/downloads/latest.json"));
    ASSERT_TRUE(ok.ok()) << ok.error().description;
    EXPECT_EQ(ok.value(), (HttpResponse{200, kManifest}));
    EXPECT_EQ(decodeReleaseManifest(*ok.value().body).value(), "1.3.0");

    const auto request = server.requests().at(0);
    EXPECT_EQ(request.rfind("GET /works/quentaapp/downloads/latest.json HTTP/1.1\r\n", 0), 0U)
        << request;

    EXPECT_EQ(fetch(server.url("/missing")).value(), (HttpResponse{404, "<h1>Not Found</h1>"}));
    EXPECT_EQ(fetch(server.url("/broken")).value().status, 500);

    const auto page = fetch(server.url("/page"));
    ASSERT_EQ(page.value().status, 200);
    EXPECT_EQ(decodeReleaseManifest(*page.value().body).error().kind, ErrorKind::decoding);
}

TEST_F(HttpClientCurlTest, FollowsRedirectsButNotForeverNorOutOfHttp) {
    EXPECT_EQ(fetch(server.url("/moved")).value(), (HttpResponse{200, kManifest}));
    EXPECT_EQ(server.requests().size(), 2U);

    const auto loop = fetch(server.url("/loop"));
    ASSERT_FALSE(loop.ok());
    EXPECT_EQ(loop.error().kind, ErrorKind::transport);
    EXPECT_LE(server.requests().size(), 2U + 1U + HttpClientCurl::kMaxRedirects);

    const auto toFile = fetch(server.url("/to-file"));
    ASSERT_FALSE(toFile.ok());
    EXPECT_EQ(toFile.error().kind, ErrorKind::transport);
}

TEST_F(HttpClientCurlTest, ASilentOrStalledServerIsCutByTheTimeout) {
    for (const char* path : {"/silent", "/half"}) {
        const auto started = std::chrono::steady_clock::now();
        const auto answer = fetch(server.url(path), 300ms);
        const auto took = std::chrono::steady_clock::now() - started;
        ASSERT_FALSE(answer.ok()) << path;
        EXPECT_EQ(answer.error().kind, ErrorKind::transport) << path;
        EXPECT_FALSE(answer.error().description.empty());
        EXPECT_GE(took, 250ms) << path;
        EXPECT_LT(took, 5s) << path;
    }
}

TEST_F(HttpClientCurlTest, AnswersThatAreNotHttpOrTooLargeAreBadServerResponses) {
    for (const char* path : {"/not-http", "/huge", "/huge-unannounced"}) {
        const auto answer = fetch(server.url(path));
        ASSERT_FALSE(answer.ok()) << path;
        EXPECT_EQ(answer.error().kind, ErrorKind::badServerResponse) << path;
    }
}

TEST_F(HttpClientCurlTest, NoServerIsATransportError) {
    const RefusingLocalPort closed;
    const auto refused =
        fetch("http://127.0.0.1:" + std::to_string(closed.port()) + "/latest.json");
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().kind, ErrorKind::transport);
    EXPECT_FALSE(refused.error().description.empty());

    EXPECT_EQ(fetch("ftp://127.0.0.1/latest.json").error().kind, ErrorKind::transport);
    EXPECT_EQ(fetch("not a url at all").error().kind, ErrorKind::transport);
}

TEST_F(HttpClientCurlTest, ManyRequestsAtOnceEachAnswerOnce) {
    int answered = 0;
    for (int i = 0; i < 8; ++i) {
        client->get(server.url(i % 2 == 0 ? "/moved" : "/missing"), 15s,
                    [&answered](const Result<HttpResponse>& answer) {
                        EXPECT_TRUE(answer.ok());
                        ++answered;
                    });
    }
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (answered < 8 && std::chrono::steady_clock::now() < deadline) {
        g_main_context_iteration(context, FALSE);
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_EQ(answered, 8);
}

TEST_F(HttpClientCurlTest, DestroyingTheClientEndsTransfersStillRunning) {
    std::optional<Result<HttpResponse>> outcome;
    client->get(server.url("/silent"), 15s,
                [&outcome](Result<HttpResponse> answer) { outcome = std::move(answer); });
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (server.requests().empty() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(5ms);
    }
    ASSERT_FALSE(server.requests().empty()) << "the request never reached the server";
    const auto started = std::chrono::steady_clock::now();
    client.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
    while (g_main_context_iteration(context, FALSE)) {
    }
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(outcome->error().kind, ErrorKind::transport);
}

// An HTTPS server with a certificate no authority signed: `openssl s_server`, run for the test. It
// picks its own free port and names it on its first line, "ACCEPT 127.0.0.1:PORT", once listening.
// With `serveFiles`, it answers "GET /name" with the file `dir`/name, which holds a whole HTTP
// answer, instead of its status page.
class SelfSignedServer {
  public:
    explicit SelfSignedServer(const TempDir& dir, bool serveFiles = false) {
        const std::string key = dir / "key.pem";
        const std::string cert = dir / "cert.pem";
        const CommandResult made = runCommand(
            "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1 "
            "-addext subjectAltName=IP:127.0.0.1 -keyout " +
            shellQuote(key) + " -out " + shellQuote(cert) + " 2>&1");
        if (made.status != 0) {
            error_ = "openssl req failed: " + made.out;
            return;
        }
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) {
            error_ = "pipe failed";
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            if (serveFiles && ::chdir(dir.path().c_str()) != 0) {
                ::_exit(127);
            }
            ::execlp("openssl", "openssl", "s_server", serveFiles ? "-HTTP" : "-www", "-accept",
                     "127.0.0.1:0", "-cert", cert.c_str(), "-key", key.c_str(),
                     static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(out[1]);
        port_ = readAcceptedPort(out[0]);
        ::close(out[0]);
        if (port_ == 0) {
            error_ = "openssl s_server did not start";
        }
    }
    ~SelfSignedServer() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    SelfSignedServer(const SelfSignedServer&) = delete;
    SelfSignedServer& operator=(const SelfSignedServer&) = delete;

    [[nodiscard]] const std::string& error() const { return error_; }
    [[nodiscard]] std::string url(const std::string& path = "/latest.json") const {
        return "https://127.0.0.1:" + std::to_string(port_) + path;
    }

  private:
    // The port of the server's "ACCEPT" line, or 0 when none came within ten seconds.
    static int readAcceptedPort(int fd) {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        std::string text;
        const std::string marker = "ACCEPT 127.0.0.1:";
        while (std::chrono::steady_clock::now() < deadline) {
            const auto at = text.find(marker);
            if (at != std::string::npos && text.find('\n', at) != std::string::npos) {
                return std::stoi(text.substr(at + marker.size()));
            }
            pollfd readable{fd, POLLIN, 0};
            char buffer[256];
            if (::poll(&readable, 1, 100) > 0) {
                const ssize_t got = ::read(fd, buffer, sizeof buffer);
                if (got <= 0) {
                    return 0;
                }
                text.append(buffer, static_cast<std::size_t>(got));
            }
        }
        return 0;
    }

    int port_ = 0;
    pid_t pid_ = -1;
    std::string error_;
};

TEST_F(HttpClientCurlTest, ASelfSignedCertificateIsRefused) {
    const TempDir dir;
    const SelfSignedServer https(dir);
    ASSERT_EQ(https.error(), "");
    const auto answer = fetch(https.url());
    ASSERT_FALSE(answer.ok()) << "an untrusted certificate must not be accepted";
    EXPECT_EQ(answer.error().kind, ErrorKind::transport);
    EXPECT_NE(answer.error().description.find("certificate"), std::string::npos)
        << answer.error().description;
}

TEST_F(HttpClientCurlTest, AnHttpsAddressIsRedirectedOnlyToHttps) {
    const TempDir dir;
    const auto redirect = [](const std::string& to) {
        return "HTTP/1.0 302 Found\r\nLocation: " + to + "\r\nContent-Length: 0\r\n\r\n";
    };
    writeFile(dir / "to-http", redirect(server.url("/works/quentaapp/downloads/latest.json")));
    writeFile(dir / "to-https", redirect("/manifest"));
    writeFile(dir / "manifest", "HTTP/1.0 200 OK\r\nContent-Length: " +
                                    std::to_string(kManifest.size()) + "\r\n\r\n" + kManifest);
    const SelfSignedServer https(dir, /*serveFiles=*/true);
    ASSERT_EQ(https.error(), "");
    client = std::make_unique<HttpClientCurl>(queue, HttpClientCurl::kDefaultMaxBodySize,
                                              dir / "cert.pem");

    EXPECT_EQ(fetch(https.url("/to-https")).value(), (HttpResponse{200, kManifest}));
    const auto downgraded = fetch(https.url("/to-http"));
    ASSERT_FALSE(downgraded.ok());
    EXPECT_EQ(downgraded.error().kind, ErrorKind::transport);
    EXPECT_TRUE(server.requests().empty()) << "the http address was asked";
}

}  // namespace
}  // namespace quenta::testing

namespace quenta::testing {
namespace {

// The hosts' client: the libcurl client loaded from its module on the first request.
class LazyHttpClientTest : public HttpClientCurlTest {
  protected:
    LazyHttpClientTest() {
        client = std::make_unique<linux_platform::LazyHttpClient>(
            queue, linux_platform::httpClientModulePath());
    }
};

TEST_F(LazyHttpClientTest, LoadsTheModuleOnTheFirstRequestAndAnswersThroughIt) {
    const auto ok = fetch(server.url("/works/quentaapp/downloads/latest.json"));
    ASSERT_TRUE(ok.ok()) << ok.error().description;
    EXPECT_EQ(ok.value(), (HttpResponse{200, kManifest}));
    EXPECT_EQ(fetch(server.url("/missing")).value().status, 404);
    EXPECT_EQ(fetch(server.url("/not-http")).error().kind, ErrorKind::badServerResponse);
}

TEST_F(LazyHttpClientTest, AMissingModuleAnswersEveryRequestWithATransportError) {
    client = std::make_unique<linux_platform::LazyHttpClient>(queue, "/nonexistent/quenta-http.so");
    for (int attempt = 0; attempt < 2; ++attempt) {
        const auto failed = fetch(server.url("/works/quentaapp/downloads/latest.json"));
        ASSERT_FALSE(failed.ok());
        EXPECT_EQ(failed.error().kind, ErrorKind::transport);
        EXPECT_NE(failed.error().description.find("/nonexistent/quenta-http.so"), std::string::npos)
            << failed.error().description;
    }
    EXPECT_TRUE(server.requests().empty());
}

}  // namespace
}  // namespace quenta::testing
