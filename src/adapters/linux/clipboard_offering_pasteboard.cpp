#include "adapters/linux/clipboard_offering_pasteboard.hpp"

#include "adapters/linux/posix/trash_posix.hpp"
#include "core/shared/shared_names.hpp"

namespace quenta::linux_platform {
namespace {

std::vector<std::string_view> lines(std::string_view text) {
    std::vector<std::string_view> pieces;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (!line.empty()) {
            pieces.push_back(line);
        }
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return pieces;
}

}  // namespace

std::string fileUri(std::string_view path) {
    return "file://" + encodedTrashPath(path);
}

std::optional<std::string> pathOfFileUri(std::string_view uri) {
    constexpr std::string_view kScheme = "file://";
    if (uri.size() < kScheme.size() || uri.substr(0, kScheme.size()) != kScheme) {
        return std::nullopt;
    }
    uri.remove_prefix(kScheme.size());
    if (uri.substr(0, 9) == "localhost") {
        uri.remove_prefix(9);
    }
    if (uri.empty() || uri.front() != '/') {
        return std::nullopt;
    }
    auto path = decodedTrashPath(uri);
    if (!path || path->find('\0') != std::string::npos) {
        return std::nullopt;
    }
    return path;
}

std::optional<std::vector<std::string>> pathsOfUriList(std::string_view text) {
    std::vector<std::string> paths;
    for (const auto line : lines(text)) {
        if (line.front() == '#') {
            continue;
        }
        auto path = pathOfFileUri(line);
        if (!path) {
            return std::nullopt;
        }
        paths.push_back(std::move(*path));
    }
    if (paths.empty()) {
        return std::nullopt;
    }
    return paths;
}

std::optional<std::vector<std::string>> pathsOfGnomeCut(std::string_view text) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    if (text.substr(0, end) != "cut" && text.substr(0, end) != "cut\r") {
        return std::nullopt;
    }
    return pathsOfUriList(text.substr(std::min(end + 1, text.size())));
}

FileCutForms fileCutForms(std::string_view cutPaths) {
    FileCutForms forms;
    forms.gnomeCopiedFiles = "cut";
    for (const auto path : lines(cutPaths)) {
        const std::string uri = fileUri(path);
        forms.gnomeCopiedFiles.append("\n").append(uri);
        forms.uriList.append(uri).append("\r\n");
    }
    forms.plainText = cutPaths;
    forms.cutPaths = cutPaths;
    return forms;
}

Status ClipboardOfferingPasteboard::clearContents() {
    return store_.clearContents();
}

Status ClipboardOfferingPasteboard::setString(std::string_view text, std::string_view type) {
    Status stored = store_.setString(text, type);
    if (type == kPlainTextType && desktop_) {
        desktop_->offerText(text);
    }
    return stored;
}

Status ClipboardOfferingPasteboard::replaceContents(const Entries& entries) {
    Status stored = store_.replaceContents(entries);
    if (!desktop_) {
        return stored;
    }
    if (const auto cut = entries.find(names::kCutPathsPasteboardType); cut != entries.end()) {
        desktop_->offerCut(fileCutForms(cut->second));
    } else if (const auto plain = entries.find(kPlainTextType); plain != entries.end()) {
        desktop_->offerText(plain->second);
    }
    return stored;
}

Result<bool> ClipboardOfferingPasteboard::clearContentsIfString(std::string_view type,
                                                                std::string_view text) {
    return store_.clearContentsIfString(type, text);
}

std::optional<std::string> ClipboardOfferingPasteboard::stringForType(std::string_view type) const {
    return store_.stringForType(type);
}

bool ClipboardOfferingPasteboard::hasString(std::string_view type) const {
    return store_.hasString(type);
}

Result<std::optional<std::string>> ClipboardOfferingPasteboard::readString(
    std::string_view type) const {
    return store_.readString(type);
}

std::optional<Pasteboard::DesktopCut> ClipboardOfferingPasteboard::desktopCut() const {
    return desktop_ ? desktop_->cut() : std::nullopt;
}

void ClipboardOfferingPasteboard::endDesktopCut() {
    if (desktop_) {
        desktop_->endCut();
    }
}

}  // namespace quenta::linux_platform
