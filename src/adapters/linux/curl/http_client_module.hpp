#pragma once

#include "ports/http_client.hpp"
#include "ports/main_queue.hpp"

// The one entry point of the HTTP client module: a new libcurl client that hands its completions
// to `mainQueue`. The caller owns the client; the module stays loaded for the life of the process.
extern "C" quenta::HttpClient* quenta_http_client_create(quenta::MainQueue* mainQueue);

// The entry point's name, as looked up in the loaded module.
inline constexpr const char* kHttpClientModuleEntryPoint = "quenta_http_client_create";
