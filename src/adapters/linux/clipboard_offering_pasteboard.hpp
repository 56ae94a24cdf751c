#pragma once

#include "ports/pasteboard.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quenta::linux_platform {

// The clipboard targets of a cut of files as the file managers write and read them.
inline constexpr std::string_view kGnomeCopiedFilesTarget = "x-special/gnome-copied-files";
// Caja's name for the same text.
inline constexpr std::string_view kMateCopiedFilesTarget = "x-special/mate-copied-files";
inline constexpr std::string_view kUriListTarget = "text/uri-list";
inline constexpr std::string_view kKdeCutSelectionTarget = "application/x-kde-cutselection";

// A cut of files in the forms file managers put on the desktop clipboard, plus the cut entry
// itself under its own type, which marks the cut as one of ours.
struct FileCutForms {
    std::string gnomeCopiedFiles;  // "cut", then one file URI a line (also the MATE target's)
    std::string uriList;           // one file URI a line, each ended by CR LF
    std::string plainText;         // the paths, one a line
    std::string cutPaths;          // the cut entry as stored
};

// The forms of the cut entry `cutPaths` (absolute paths, one a line).
FileCutForms fileCutForms(std::string_view cutPaths);
// The file URI of an absolute path: every byte outside the unreserved set and "/" is
// percent-encoded.
std::string fileUri(std::string_view path);
// The path of a local file URI ("file:///p" or "file://localhost/p"); none for any other URI or
// a path holding a NUL byte.
std::optional<std::string> pathOfFileUri(std::string_view uri);
// The paths of a list of URIs, one a line (LF or CR LF, "#" lines skipped); none when the list is
// empty or names anything but local files.
std::optional<std::vector<std::string>> pathsOfUriList(std::string_view text);
// The paths of an `x-special/gnome-copied-files` text that is a cut; none for a copy, or for the
// cases pathsOfUriList refuses.
std::optional<std::vector<std::string>> pathsOfGnomeCut(std::string_view text);

// The desktop clipboard as one toolkit reaches it, in the host's process. Main thread only.
class DesktopClipboard {
  public:
    virtual ~DesktopClipboard() = default;
    // Puts the text on the clipboard, and marks it for the clipboard manager to keep after the
    // process exits.
    virtual void offerText(std::string_view text) = 0;
    // Puts a cut of files on the clipboard in every form, marked the same way.
    virtual void offerCut(const FileCutForms& forms) = 0;
    // The cut of files the clipboard holds, as last seen.
    [[nodiscard]] virtual std::optional<Pasteboard::DesktopCut> cut() const = 0;
    // Empties the clipboard if it holds a cut of files.
    virtual void endCut() = 0;
    // Runs `changed` whenever another program changes the cut the clipboard holds, where the
    // toolkit reports it (GTK 3); replaces any earlier handler.
    virtual void onCutChanged(const std::function<void()>& changed) { (void)changed; }
};

// The general pasteboard of a host that runs inside a toolkit with a desktop clipboard (the file
// manager modules): every entry lives in the per-user store as everywhere else, and the
// desktop clipboard is given what a text field or a file manager pastes: the plain-text entry,
// and for a cut written with replaceContents, the cut of files in the file managers' own forms.
// Reading asks the store only, apart from desktopCut. Clearing clears the store only: the
// desktop clipboard keeps its contents until something replaces them.
class ClipboardOfferingPasteboard : public Pasteboard {
  public:
    // `store` outlives this object; `desktop` may be null (no desktop clipboard).
    ClipboardOfferingPasteboard(Pasteboard& store, std::unique_ptr<DesktopClipboard> desktop)
        : store_(store), desktop_(std::move(desktop)) {}

    Status clearContents() override;
    Status setString(std::string_view text, std::string_view type) override;
    Status replaceContents(const Entries& entries) override;
    Result<bool> clearContentsIfString(std::string_view type, std::string_view text) override;
    [[nodiscard]] std::optional<std::string> stringForType(std::string_view type) const override;
    [[nodiscard]] bool hasString(std::string_view type) const override;
    [[nodiscard]] Result<std::optional<std::string>> readString(
        std::string_view type) const override;
    [[nodiscard]] std::optional<DesktopCut> desktopCut() const override;
    void endDesktopCut() override;
    // See DesktopClipboard::onCutChanged.
    void onDesktopCutChanged(const std::function<void()>& changed) {
        if (desktop_) {
            desktop_->onCutChanged(changed);
        }
    }

  private:
    Pasteboard& store_;
    std::unique_ptr<DesktopClipboard> desktop_;
};

}  // namespace quenta::linux_platform
