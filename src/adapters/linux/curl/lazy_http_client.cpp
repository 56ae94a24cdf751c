#include "adapters/linux/curl/lazy_http_client.hpp"

#include "adapters/linux/curl/http_client_module.hpp"

#include <dlfcn.h>

#include <utility>

namespace quenta::linux_platform {

LazyHttpClient::LazyHttpClient(MainQueue& mainQueue, std::string modulePath)
    : mainQueue_(mainQueue), modulePath_(std::move(modulePath)) {}

// The module itself is never unloaded: its code may still be referenced by threads the client
// has ended but the C library has not yet reaped, and unloading saves nothing at exit.
LazyHttpClient::~LazyHttpClient() = default;

void LazyHttpClient::get(const std::string& url, std::chrono::milliseconds timeout,
                         Completion completion) {
    if (!attempted_) {
        attempted_ = true;
        void* module = ::dlopen(modulePath_.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (module == nullptr) {
            const char* reason = ::dlerror();
            loadError_ = reason != nullptr ? reason : "cannot load " + modulePath_;
        } else {
            using Create = HttpClient* (*)(MainQueue*);
            auto* create = reinterpret_cast<Create>(::dlsym(module, kHttpClientModuleEntryPoint));
            if (create == nullptr) {
                loadError_ = modulePath_ + " has no " + kHttpClientModuleEntryPoint;
            } else {
                client_.reset(create(&mainQueue_));
                if (!client_) {
                    loadError_ = "the HTTP client could not be created";
                }
            }
        }
    }
    if (client_) {
        client_->get(url, timeout, std::move(completion));
        return;
    }
    mainQueue_.async([done = std::move(completion), reason = loadError_] {
        done(Error{ErrorKind::transport, "the network stack is unavailable: " + reason});
    });
}

}  // namespace quenta::linux_platform
