#include "adapters/linux/curl/http_client_module.hpp"

#include "adapters/linux/curl/http_client_curl.hpp"

#include <new>

extern "C" quenta::HttpClient* quenta_http_client_create(quenta::MainQueue* mainQueue) {
    if (mainQueue == nullptr) {
        return nullptr;
    }
    return new (std::nothrow) quenta::linux_platform::HttpClientCurl(*mainQueue);
}
