// Paste of cut items: the paths the extension's cut put on the pasteboard are moved into a folder.
#include "core/requests/paste_progress.hpp"
#include "core/requests/quenta_creator.hpp"
#include "core/shared/file_paths.hpp"
#include "core/shared/list_form.hpp"
#include "core/shared/utf8.hpp"

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quenta {
namespace {

// The cut entry's paths: the text split at every line feed that is a character of its own, empty
// pieces dropped. A carriage return right before a line feed forms one character with it, so that
// pair does not split. Pieces are kept whole, untrimmed.
std::vector<std::string> cutPaths(std::string_view text) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
            if (i > start) {
                pieces.emplace_back(text.substr(start, i - start));
            }
            start = i + 1;
        }
    }
    if (start < text.size()) {
        pieces.emplace_back(text.substr(start));
    }
    return pieces;
}

// The absolute path with "." and ".." segments resolved and repeated or trailing slashes gone;
// symbolic links are left alone.
std::string standardizedPath(std::string_view path) {
    std::vector<std::string_view> segments;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        end = end == std::string_view::npos ? path.size() : end;
        const std::string_view segment = path.substr(start, end - start);
        if (segment == "..") {
            if (!segments.empty()) {
                segments.pop_back();
            }
        } else if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
        start = end + 1;
    }
    if (segments.empty()) {
        return "/";
    }
    std::string standardized;
    for (const auto segment : segments) {
        standardized += '/';
        standardized += segment;
    }
    return standardized;
}

// The folder that holds the item as the kernel finds it: the path up to its last component, left
// unresolved ("a/link/.." stays as it is), or the lexical parent where the path ends in "." or
// "..".
std::string kernelParentPath(const std::string& path) {
    const std::string trimmed = trimmingTrailingSlashes(path);
    const std::string name = lastPathComponent(trimmed);
    return name == "." || name == ".." ? parentPath(standardizedPath(trimmed))
                                       : parentPath(trimmed);
}

// A name's extension: what follows its last dot, unless that dot begins the name or ends it.
std::optional<std::string> pathExtension(const std::string& name) {
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == name.size()) {
        return std::nullopt;
    }
    return name.substr(dot + 1);
}

// True when `path` lies strictly below `folder` (both standardized or both resolved).
bool isInside(const std::string& path, const std::string& folder) {
    if (folder == "/") {
        return path != "/";
    }
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           path[folder.size()] == '/';
}

constexpr std::string_view kCancelled = textKey("已取消");

// What the user reads about an item that was not moved: the platform's description as it stands,
// or, for the failures the system itself decides, its own words as a key of the user's language
// and, for the log, in English.
struct MoveFailure {
    std::string_view description;
    bool isKey;
    std::string_view logText = {};
};

MoveFailure moveFailure(const Error& error) {
    switch (error.kind) {
        case ErrorKind::cancelled:
            return {kCancelled, true, "cancelled"};
        case ErrorKind::changedMeanwhile:
            return {textKey("移动期间项目有改动，未移动"), true,
                    "changed during the move, not moved"};
        default:
            return {error.description, false};
    }
}

// What a paste does with one cut path, decided before anything moves.
struct PasteDecision {
    enum class Action {
        alreadyHere,  // in the folder already (or placed there by a paste that died): revealed
        refused,      // not moved, for `refusal`
        move,         // moved under the first free name
    };
    Action action = Action::move;
    std::string source;
    std::string name;      // the item's name: in the alert, and the base of its new name
    std::string placedAt;  // alreadyHere: where the item is
    MoveFailure refusal{};
    bool logged = true;  // refused: whether the refusal gets a log line
};

// The paste's plan, one decision per cut path in order. Only asks the file system; changes
// nothing.
std::vector<PasteDecision> planPaste(const std::vector<std::string>& sources,
                                     const std::vector<bool>& present, const std::string& folder,
                                     const FileSystem& files,
                                     const std::vector<InterruptedMove>& finishedMoves,
                                     std::string_view noSuchItem) {
    const std::string destination = standardizedPath(folder);
    // Resolved once for the whole paste.
    const std::optional<std::string> resolvedDestination = files.resolvedPath(folder);
    std::map<std::string, std::optional<std::string>> resolvedParents;
    std::vector<PasteDecision> plan;
    for (std::size_t i = 0; i < sources.size(); ++i) {
        const std::string& source = sources[i];
        const std::string standardized = standardizedPath(source);
        PasteDecision& item = plan.emplace_back();
        item.source = source;
        item.name = lastPathComponent(standardized);
        const auto refuse = [&](MoveFailure why, bool logged) {
            item.action = PasteDecision::Action::refused;
            item.refusal = why;
            item.logged = logged;
        };
        // Moved here by the paste asked for before, which died before it ended.
        if (const auto finished =
                std::find_if(finishedMoves.begin(), finishedMoves.end(),
                             [&](const InterruptedMove& move) {
                                 return move.placed && move.from == source && !present[i] &&
                                        standardizedPath(parentPath(move.to)) == destination;
                             });
            finished != finishedMoves.end()) {
            item.action = PasteDecision::Action::alreadyHere;
            item.placedAt = finished->to;
            continue;
        }
        if (!present[i]) {
            refuse({noSuchItem, false}, true);
            continue;
        }
        // "Already here" is decided on the folders as the kernel resolves them ("a/link/.." is
        // the folder that holds the link's target), and lexically only where one is not there.
        const std::string parent = kernelParentPath(source);
        auto resolvedParent = resolvedParents.find(parent);
        if (resolvedParent == resolvedParents.end()) {
            resolvedParent = resolvedParents.emplace(parent, files.resolvedPath(parent)).first;
        }
        if (resolvedDestination && resolvedParent->second
                ? *resolvedParent->second == *resolvedDestination
                : parentPath(standardized) == destination) {
            item.action = PasteDecision::Action::alreadyHere;
            item.placedAt = source;
            continue;
        }
        // Only a folder can be moved into itself; whether S is one is asked only when D lies
        // below S's path, which spares a status query per item of a large paste.
        if (isInside(destination, standardized) && files.isDirectory(source)) {
            refuse({textKey("不能移动到自身内部"), true, "cannot move into itself"}, false);
            continue;
        }
        // The same test with links resolved: a destination reached through a link that points
        // into the folder would otherwise have the folder copied into itself without end. The
        // source's own last component is left unresolved, as a link moves as a link. Items
        // mostly share their folder, so each folder is resolved once.
        if (resolvedDestination && resolvedParent->second &&
            isInside(*resolvedDestination,
                     appendingPathComponent(*resolvedParent->second, item.name)) &&
            files.isDirectory(source)) {
            refuse({textKey("不能移动到自身内部（目标文件夹经由符号链接位于其中）"), true,
                    "cannot move into itself (the destination lies inside it through a symbolic "
                    "link)"},
                   true);
        }
    }
    return plan;
}

}  // namespace

void QuentaCreator::finishInterruptedMoves() {
    std::vector<std::string> bothPlaces;
    for (auto& move : ports_.fileSystem.finishInterruptedMoves()) {
        writeLog(std::string(move.placed ? "finished interrupted move " : "undid interrupted move ")
                     .append(move.from)
                     .append(" to ")
                     .append(move.to));
        const auto& left = move.outcome.leftAtSource;
        if (!left.empty()) {
            writeLog("kept at both places " + listForm(left));
            bothPlaces.insert(bothPlaces.end(), left.begin(), left.end());
        }
        finishedMoves_.push_back(std::move(move));
    }
    if (!bothPlaces.empty()) {
        showAlert(localized("上次中断的移动已完成；以下项目与其移动后的副本不同，两处都保留：") +
                  listForm(bothPlaces));
    }
}

// Adds to `failures` what a move that succeeded left behind: entries that stayed at the source, or
// a folder another program took away meanwhile.
void QuentaCreator::reportPartialMove(const std::string& name, const MoveOutcome& outcome,
                                      std::vector<std::string>& failures) {
    if (const auto& left = outcome.leftAtSource; !left.empty()) {
        // Moved, but not all of it: what appeared or changed meanwhile, or could not be
        // removed, is still at the source (and not at the destination).
        std::string line =
            escapingForOutput(name) + localized("：") + localized("已移动，以下项目留在原位置");
        if (const auto& error = outcome.removalError) {
            line += localized("（") + error->description + localized("）");
        }
        line += localized("：") + listForm(left);
        failures.push_back(line);
        writeLog("moved with items left at the source " + listForm(left));
    }
    if (const auto& away = outcome.movedAway) {
        // Another program took a folder of the item away while it was being removed: the rest
        // of it is wherever that folder went.
        failures.push_back(
            escapingForOutput(name) + localized("：") +
            (away->now.empty()
                 ? localized("已移动，但移动期间其他程序删除了文件夹，其中尚未移动的项目已不在：") +
                       away->from
                 : localized(
                       "已移动，但移动期间其他程序移走了文件夹，其中尚未移动的项目现在位于：") +
                       away->now));
        writeLog(std::string("moved with a folder taken away meanwhile ")
                     .append(away->from)
                     .append(" now at ")
                     .append(away->now.empty() ? "(nowhere)" : away->now));
    }
}

void QuentaCreator::pasteCutItems(const std::string& folder) {
    writeLog("paste cut to " + folder);
    finishInterruptedMoves();

    const auto read = ports_.pasteboard.readString(kCutPathsPasteboardType);
    if (!read) {
        writeLog("paste cut failed: cut paths unreadable: " + read.error().description);
        showAlert(localized("无法读取剪切的项目：") + read.error().description);
        return;
    }
    const auto& text = read.value();
    if (!text) {
        writeLog("paste cut failed: no cut paths");
        showAlert(localized("没有可粘贴的剪切项目。"));
        return;
    }

    // The extension only ever puts absolute paths on the pasteboard; anything else would be taken
    // against this process's current folder, so it is dropped. An item that has gone since the
    // cut is reported with the others that were not moved.
    std::vector<std::string> sources;
    std::vector<bool> present;
    bool anyPresent = false;
    for (auto& piece : cutPaths(*text)) {
        if (!piece.empty() && piece.front() == '/') {
            present.push_back(ports_.fileSystem.itemExists(piece));
            anyPresent = anyPresent || present.back() ||
                         std::any_of(finishedMoves_.begin(), finishedMoves_.end(),
                                     [&](const InterruptedMove& move) {
                                         return move.placed && move.from == piece;
                                     });
            sources.push_back(std::move(piece));
        }
    }
    // Clears the cut this paste read, and only that one: a cut made while the paste ran stays.
    const auto clearCut = [&] {
        if (const auto cleared =
                ports_.pasteboard.clearContentsIfString(kCutPathsPasteboardType, *text);
            !cleared) {
            writeLog("clear cut paths failed: " + cleared.error().description);
        }
    };
    if (!anyPresent) {
        clearCut();
        showAlert(localized("剪切项目不存在，无法粘贴。"));
        return;
    }

    const std::vector<PasteDecision> plan =
        planPaste(sources, present, folder, ports_.fileSystem, finishedMoves_, kNoSuchItem);

    std::unique_ptr<PasteProgress> progress;
    if (ports_.progressDisplay != nullptr && ports_.clock != nullptr) {
        progress = std::make_unique<PasteProgress>(*ports_.progressDisplay, *ports_.clock);
    }

    std::vector<std::string> placed;
    std::vector<std::string> failures;
    for (const PasteDecision& item : plan) {
        const std::string& name = item.name;
        // The log keeps the description as it stands; the alert shows a key in the user's
        // language.
        const auto moveFailed = [&](MoveFailure failure) {
            failures.push_back(
                escapingForOutput(name)
                    .append(localized("："))
                    .append(failure.isKey ? localized(failure.description) : failure.description));
            writeLog(std::string("move failed ")
                         .append(item.source)
                         .append(": ")
                         .append(failure.isKey ? failure.logText : failure.description));
        };
        if (item.action == PasteDecision::Action::alreadyHere) {
            placed.push_back(item.placedAt);
            continue;
        }
        if (item.action == PasteDecision::Action::refused) {
            if (item.logged) {
                moveFailed(item.refusal);
            } else {
                failures.push_back(escapingForOutput(name) + localized("：") +
                                   localized(item.refusal.description));
            }
            continue;
        }
        // After a cancel, or when the process is asked to stop, nothing more is moved; what is
        // left fails as cancelled.
        if ((progress && progress->cancelled()) ||
            (ports_.stopRequest != nullptr && ports_.stopRequest->stopRequested())) {
            moveFailed({kCancelled, true, "cancelled"});
            continue;
        }
        const auto extension = pathExtension(name);
        const std::string baseName =
            extension ? name.substr(0, name.size() - extension->size() - 1) : name;
        const std::string target = uniqueURL(baseName, extension, folder);
        const Result<MoveOutcome> moved =
            ports_.fileSystem.moveItem(item.source, target, progress.get());
        if (!moved) {
            moveFailed(moveFailure(moved.error()));
            continue;
        }
        placed.push_back(target);
        writeLog(std::string("moved ").append(item.source).append(" to ").append(target));
        reportPartialMove(name, moved.value(), failures);
    }

    if (progress) {
        progress->finish();
    }
    if (!placed.empty()) {
        clearCut();
        ports_.workspace.revealItems(placed);
    }
    if (!failures.empty()) {
        std::string message = localized("部分项目移动失败：\n\n");
        for (std::size_t i = 0; i < failures.size(); ++i) {
            if (i > 0) {
                message += "\n";
            }
            message += failures[i];
        }
        showAlert(message);
    }
}

}  // namespace quenta
