#include "core/shared/update_checker.hpp"

#include "core/shared/request_url.hpp"

#include <utility>

#ifndef QUENTA_UPDATE_BASE_URL
#error "QUENTA_UPDATE_BASE_URL must name the project's web server (scheme, host, optional port)"
#endif

namespace quenta {

namespace {

// A failure to store is not the check's failure: the defaults keep the value for this process
// anyway, and the next process checks again a little early at worst.
constexpr std::string_view kStoringIsBestEffort =
    "storing the check's dates and release is best effort";

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Compares two runs of decimal digits by their value, however long they are.
int compareDigitRuns(std::string_view a, std::string_view b) {
    const auto significant = [](std::string_view run) {
        const auto first = run.find_first_not_of('0');
        return first == std::string_view::npos ? std::string_view{} : run.substr(first);
    };
    a = significant(a);
    b = significant(b);
    if (a.size() != b.size()) {
        return a.size() < b.size() ? -1 : 1;
    }
    const int order = a.compare(b);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

std::string_view digitRunAt(std::string_view text, std::size_t start) {
    std::size_t end = start;
    while (end < text.size() && isDigit(text[end])) {
        ++end;
    }
    return text.substr(start, end - start);
}

// The numeric string order. The strings are UTF-8, whose byte order is the order of the code
// points, so comparing bytes compares characters by their Unicode value.
int compareVersions(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            const std::string_view runA = digitRunAt(a, i);
            const std::string_view runB = digitRunAt(b, j);
            if (const int order = compareDigitRuns(runA, runB); order != 0) {
                return order;
            }
            i += runA.size();
            j += runB.size();
            continue;
        }
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[j]);
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
        ++i;
        ++j;
    }
    const bool aLeft = i < a.size();
    const bool bLeft = j < b.size();
    return aLeft == bLeft ? 0 : (aLeft ? 1 : -1);
}

Error badServerResponse() {
    return Error{ErrorKind::badServerResponse, "The server's answer was not a valid response."};
}

}  // namespace

UpdateChecker::UpdateChecker(Defaults& defaults, HttpClient& http, MainQueue& mainQueue,
                             const Clock& clock, const Bundle& bundle)
    : defaults_(defaults),
      http_(http),
      mainQueue_(mainQueue),
      clock_(clock),
      currentVersion_(bundle.shortVersionString().value_or("0")) {}

bool UpdateChecker::isVersion(std::string_view candidate, std::string_view newerThan) {
    return compareVersions(candidate, newerThan) > 0;
}

const std::string& UpdateChecker::latestReleaseURL() {
    static const std::string url =
        std::string(QUENTA_UPDATE_BASE_URL) + "/works/quentaapp/downloads/latest.json";
    return url;
}

const std::string& UpdateChecker::downloadPageURL() {
    static const std::string url = std::string(QUENTA_UPDATE_BASE_URL) + "/works/quentaapp/";
    return url;
}

std::optional<AppRelease> UpdateChecker::availableUpdate() const {
    auto version = defaults_.string(kLatestVersionKey);
    if (!version || !isShowableVersion(*version)) {
        return std::nullopt;
    }
    auto page = defaults_.string(kLatestPageURLKey);
    if (!page || !parseUrl(*page)) {
        return std::nullopt;
    }
    if (!isVersion(*version, currentVersion_)) {
        return std::nullopt;
    }
    return AppRelease{std::move(*version), std::move(*page)};
}

void UpdateChecker::checkIfNeeded() {
    const auto next = defaults_.date(kNextCheckDateKey);
    if (next && *next > clock_.now()) {
        return;
    }
    // Only a check whose date is remembered: defaults that cannot be stored would otherwise make
    // every run (every menu of a file manager started anew) check again.
    if (!defaults_.setDate(kNextCheckDateKey, clock_.now() + kRetryInterval).ok()) {
        return;
    }
    send({});
}

void UpdateChecker::check(Completion completion) {
    // Written before anything is sent, so a check that fails or never ends still holds off the
    // automatic checks for an hour.
    ignoreResult(defaults_.setDate(kNextCheckDateKey, clock_.now() + kRetryInterval),
                 kStoringIsBestEffort);
    send(std::move(completion));
}

void UpdateChecker::send(Completion completion) {
    http_.get(latestReleaseURL(), kRequestTimeout,
              [weak = weakFactory_.weakPtr(),
               completion = std::move(completion)](Result<HttpResponse> answer) {
                  // The client answers on the main queue; a checker gone by then (its host shut
                  // down) is not reached.
                  UpdateChecker* self = weak.get();
                  if (self == nullptr) {
                      return;
                  }
                  if (!answer.ok()) {
                      self->finish(answer.error(), completion);
                  } else if (answer.value().status != 200 || !answer.value().body) {
                      self->finish(badServerResponse(), completion);
                  } else {
                      self->finish(decodeReleaseManifest(*answer.value().body), completion);
                  }
              });
}

void UpdateChecker::finish(Result<std::string> fetchedVersion, const Completion& completion) {
    if (!fetchedVersion.ok()) {
        if (completion) {
            completion(CheckResult(fetchedVersion.error()));
        }
        return;
    }
    AppRelease release{std::move(fetchedVersion).value(), downloadPageURL()};
    ignoreResult(defaults_.setDate(kNextCheckDateKey, clock_.now() + kSuccessInterval),
                 kStoringIsBestEffort);
    ignoreResult(defaults_.setString(kLatestVersionKey, release.version), kStoringIsBestEffort);
    ignoreResult(defaults_.setString(kLatestPageURLKey, release.pageURL), kStoringIsBestEffort);
    if (completion) {
        if (isVersion(release.version, currentVersion_)) {
            completion(CheckResult(std::optional<AppRelease>(std::move(release))));
        } else {
            completion(CheckResult(std::optional<AppRelease>()));
        }
    }
}

}  // namespace quenta
