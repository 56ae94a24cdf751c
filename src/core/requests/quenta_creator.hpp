#pragma once

#include "core/requests/quenta_kind.hpp"
#include "core/shared/activity_log.hpp"
#include "core/shared/request_url.hpp"
#include "core/shared/shared_names.hpp"
#include "ports/alerts.hpp"
#include "ports/clock.hpp"
#include "ports/file_system.hpp"
#include "ports/localizer.hpp"
#include "ports/pasteboard.hpp"
#include "ports/progress_display.hpp"
#include "ports/stop_request.hpp"
#include "ports/uuid_source.hpp"
#include "ports/workspace.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quenta {

// The platform facilities request handling uses. All references outlive the QuentaCreator.
struct CreatorPorts {
    FileSystem& fileSystem;
    Alerts& alerts;
    Workspace& workspace;
    UuidSource& uuids;
    ActivityLog& log;
    Pasteboard& pasteboard;
    // Where a long paste shows its progress, and the clock that tells when it is long; a paste
    // shows nothing without them.
    ProgressDisplay* progressDisplay = nullptr;
    const Clock* clock = nullptr;
    // The alerts' texts in the user's language.
    const Localizer& localizer = IdentityLocalizer::instance();
    // Asked between the items of a long operation (a trash, a paste): once it answers yes, the
    // item in hand is finished and the others are left where they are. Never stops without it.
    const StopRequest* stopRequest = nullptr;
};

// The application's request handlers: dispatch of request URLs and the file operations they reach.
// It keeps no state between requests; every operation runs on the main thread, reports its own
// failures (a log line and a modal alert) and returns once any alert has been dismissed.
class QuentaCreator {
  public:
    static constexpr std::string_view kAlertTitle = names::kAlertTitle;
    static constexpr std::string_view kAlertButton = names::kAlertButton;
    static constexpr std::string_view kLogFileName = "QuentaApp.log";
    // The pasteboard type under which the extension's cut puts the cut items' paths.
    static constexpr std::string_view kCutPathsPasteboardType = names::kCutPathsPasteboardType;

    explicit QuentaCreator(CreatorPorts ports);

    // Handles one request URL, exactly as received. A valid request from outside is first shown
    // to the person (the command in words, every item and the folder in full) and done only on
    // their yes; where no one can be asked it is refused with an alert that says why.
    void handle(std::string_view url, RequestOrigin origin = RequestOrigin::host);

    void create(QuentaKind kind, const std::string& folder);
    void createFolder(const std::string& folder);
    void pasteCutItems(const std::string& folder);
    // Ends the moves that an earlier process left part-way (see
    // FileSystem::finishInterruptedMoves), logging each; what stays at both places is alerted. Run
    // when the application starts and before each paste of cut items.
    void finishInterruptedMoves();
    void trashItems(const std::vector<std::string>& items);
    void openTerminal(const std::string& folder);

    // The start of a new item's name in the user's language (the key is a base name of the file
    // kinds' table or the new folder's).
    [[nodiscard]] std::string localizedBaseName(std::string_view key) const;
    // The first free name in `folder` for a base name and an optional extension (without the dot):
    // the base name, then base name + " 2" ... " 999", then base name + " " + a new UUID, untested.
    [[nodiscard]] std::string uniqueURL(std::string_view baseName,
                                        std::optional<std::string_view> fileExtension,
                                        const std::string& folder) const;

  private:
    // The first free candidate at or after `attempt` (1 the plain name, 2 to 999 the numbered
    // ones, beyond that a UUID name, untested); `attempt` is left at the candidate returned.
    [[nodiscard]] std::string freeCandidate(std::string_view baseName,
                                            std::optional<std::string_view> fileExtension,
                                            const std::string& folder, int& attempt) const;
    // Makes an item with `makeItem(path)` under the first free name, trying the next free name
    // whenever the one chosen was taken before the item could be made; `path` is the last name
    // tried.
    template <class MakeItem>
    Status createUnderFreeName(std::string_view baseName,
                               std::optional<std::string_view> fileExtension,
                               const std::string& folder, std::string& path,
                               MakeItem makeItem) const;

    // The descriptions the system gives for these failures, used where the logic finds them
    // itself before asking the file system to act.
    static constexpr std::string_view kNoSuchItem = "No such file or directory";
    static constexpr std::string_view kNotADirectory = "Not a directory";

    // True when the request may be done: always for a host's request; for one from outside, once
    // the person confirmed what is `asked` (built with askedText).
    bool confirmed(RequestOrigin origin, const std::string& asked);
    // The localised `heading`, then each path in full on a line of its own, escaped; past the
    // first 20 paths, the number of the others.
    [[nodiscard]] std::string askedText(std::string_view heading,
                                        const std::vector<std::string>& paths) const;

    // The message is shown as it is: its parts were localised where it was composed.
    void showAlert(std::string_view message);
    [[nodiscard]] std::string localized(std::string_view key) const {
        return ports_.localizer.localized(key);
    }
    void writeLog(std::string_view message);
    void reportPartialMove(const std::string& name, const MoveOutcome& outcome,
                           std::vector<std::string>& failures);

    CreatorPorts ports_;
    // The moves finished on behalf of dead processes: a paste asked for again finds its items
    // already in place.
    std::vector<InterruptedMove> finishedMoves_;
};

}  // namespace quenta
