#pragma once

#include "core/shared/app_release.hpp"
#include "core/shared/update_checker.hpp"
#include "ports/localizer.hpp"

#include <optional>
#include <ostream>
#include <string>

namespace quenta {

// What the installer window's update row knows about newer releases.
struct UpdateStatus {
    enum class Kind {
        idle,       // no check started yet
        checking,   // a check is running
        upToDate,   // the last check found no newer release
        available,  // a newer release is known: `release`
        failed,     // the last check failed and no newer release was known
    };

    Kind kind = Kind::idle;
    // Present exactly when `kind` is `available`.
    std::optional<AppRelease> release;

    static UpdateStatus idle() { return {}; }
    static UpdateStatus checking() { return {Kind::checking, std::nullopt}; }
    static UpdateStatus upToDate() { return {Kind::upToDate, std::nullopt}; }
    static UpdateStatus available(AppRelease newer) { return {Kind::available, std::move(newer)}; }
    static UpdateStatus failed() { return {Kind::failed, std::nullopt}; }

    [[nodiscard]] bool isAvailable() const { return kind == Kind::available; }

    friend bool operator==(const UpdateStatus&, const UpdateStatus&) = default;
};

std::ostream& operator<<(std::ostream& out, const UpdateStatus& status);

// The state once the window has come on screen, before its check starts: a release the cache
// knows is shown at once.
[[nodiscard]] UpdateStatus statusOnAppearance(const UpdateStatus& current,
                                              const std::optional<AppRelease>& cached);
// The state while a check runs: a known release stays shown (its download button too).
[[nodiscard]] UpdateStatus statusWhenCheckStarts(const UpdateStatus& current);
// The state once a check has ended: a success decides; a failure keeps a known release.
[[nodiscard]] UpdateStatus statusWhenCheckEnds(const UpdateStatus& current,
                                               const UpdateChecker::CheckResult& result);

// The status text of the update row and how it is drawn.
struct UpdateStatusText {
    enum class Style { none, secondary, accent };

    std::string text;  // empty with Style::none: nothing is shown
    Style style = Style::none;

    friend bool operator==(const UpdateStatusText&, const UpdateStatusText&) = default;
};

// The text is in the user's language.
[[nodiscard]] UpdateStatusText updateStatusText(
    const UpdateStatus& status, const Localizer& localizer = IdentityLocalizer::instance());

}  // namespace quenta
