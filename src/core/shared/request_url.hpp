#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace quenta {

// The request URL scheme the application is registered for.
inline constexpr std::string_view kRequestScheme = "quentaapp";

// Where a request came from. A host of the extension starts the application with its requests
// directly; a request from outside arrived through the desktop's handler of the scheme (a browser,
// xdg-open, another program) and is done only once the person has confirmed it.
enum class RequestOrigin { host, outside };

// The option the desktop entry's command puts before the URLs it hands over: they are from
// outside. A hand-over to the resident instance carries it along.
inline constexpr std::string_view kOutsideRequestOption = "--from-scheme-handler";

// One name-value item of a request URL's query. An item written without "=" has no value.
struct QueryItem {
    std::string name;
    std::optional<std::string> value;

    friend bool operator==(const QueryItem&, const QueryItem&) = default;
};

std::ostream& operator<<(std::ostream& out, const QueryItem& item);

// The parts of an absolute URL that requests use. Query items are percent-decoded; the host is
// percent-decoded too, and absent when the URL has no authority or an empty one.
struct UrlComponents {
    std::string scheme;
    std::optional<std::string> host;
    std::vector<QueryItem> queryItems;

    friend bool operator==(const UrlComponents&, const UrlComponents&) = default;
};

// The scheme of a URL string: the letters before the first ":" when they form a valid scheme
// (a letter, then letters, digits, "+", "-" or "."), else none.
std::optional<std::string> urlScheme(std::string_view url);

// Reads an absolute URL. Fails (no value) for a missing scheme, a blank, control character or one
// of
// "<>\"\\^`{|}", a malformed percent escape, or a port that is not a number. The query is split at
// "&", each item at its first "="; names and values are percent-decoded; "+" stays a plus sign.
std::optional<UrlComponents> parseUrl(std::string_view url);

// Writes a request URL: "quentaapp://" + command + "?" + the items, percent-encoded so that every
// value reads back unchanged. No value when the command is empty or not a plain ASCII name.
std::optional<std::string> formatRequestUrl(std::string_view command,
                                            const std::vector<QueryItem>& items);

// Percent-encoding of one query name or value: everything but ASCII letters, digits and
// "-._~!$'()*+,;:@/?" is written as "%XX" (upper-case hexadecimal); "=" is kept in values only.
std::string percentEncodeQueryComponent(std::string_view text, bool isName);

}  // namespace quenta
