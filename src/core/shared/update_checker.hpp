#pragma once

#include "core/shared/app_release.hpp"
#include "core/shared/weak_ptr.hpp"
#include "ports/bundle.hpp"
#include "ports/clock.hpp"
#include "ports/defaults.hpp"
#include "ports/error.hpp"
#include "ports/http_client.hpp"
#include "ports/main_queue.hpp"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quenta {

// Finds out whether a newer release than the running one is published, remembers the latest known
// release in the user defaults and limits how often the web server is asked. One instance per
// process, created by the composition root, which keeps it (and the ports it is given) alive until
// the process ends. Every member is called on the main thread.
class UpdateChecker {
  public:
    // Keys of the cache in the user defaults.
    static constexpr std::string_view kNextCheckDateKey = "UpdateNextCheckDate";
    static constexpr std::string_view kLatestVersionKey = "UpdateLatestVersion";
    static constexpr std::string_view kLatestPageURLKey = "UpdateLatestPageURL";

    // How long an automatic check waits after a check started, and after one succeeded.
    static constexpr std::chrono::seconds kRetryInterval{3600};
    static constexpr std::chrono::seconds kSuccessInterval{86400};
    // How long the manifest request may take.
    static constexpr std::chrono::seconds kRequestTimeout{15};

    // Success carries the release only when it is newer than the running version.
    using CheckResult = Result<std::optional<AppRelease>>;
    using Completion = std::function<void(const CheckResult&)>;

    UpdateChecker(Defaults& defaults, HttpClient& http, MainQueue& mainQueue, const Clock& clock,
                  const Bundle& bundle);

    // True exactly when `candidate` sorts after `reference` in the numeric string order: runs of
    // ASCII decimal digits compare by their value, every other character by its Unicode code
    // point, and a string that extends another is the greater. Digit runs that differ only in
    // leading zeros have the same value and so count as equal ("1.01" and "1.1" are the same
    // version): a release renumbered with a padding zero must not be offered as an update.
    static bool isVersion(std::string_view candidate, std::string_view newerThan);

    // The release manifest and the download page on the project's web server.
    static const std::string& latestReleaseURL();
    static const std::string& downloadPageURL();

    // The running deliverable's version; "0" when it was built without one.
    [[nodiscard]] const std::string& currentVersion() const { return currentVersion_; }

    // The newer release the cache knows of; reads only the user defaults, never the network.
    [[nodiscard]] std::optional<AppRelease> availableUpdate() const;

    // Starts a check unless the stored schedule says the next one lies in the future, or the date
    // of the next one cannot be stored (a check every run would follow).
    void checkIfNeeded();

    // Always starts a check and returns at once. The completion, when given, is called exactly
    // once on the main queue when the check ends, unless the checker is destroyed first.
    // Overlapping checks all run; the later success wins the cache.
    void check(Completion completion = {});

  private:
    // Sends the request; the outcome goes to finish.
    void send(Completion completion);
    void finish(Result<std::string> fetchedVersion, const Completion& completion);

    Defaults& defaults_;
    HttpClient& http_;
    MainQueue& mainQueue_;
    const Clock& clock_;
    std::string currentVersion_;
    // The answer of a check holds this weakly: it is dropped when the checker is gone.
    WeakPtrFactory<UpdateChecker> weakFactory_{this};
};

}  // namespace quenta
