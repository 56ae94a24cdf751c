#pragma once

#include "ports/pasteboard.hpp"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quenta::linux_platform {

// The general pasteboard as a per-user store on disk, shared by every process of the user and
// outliving the process that wrote it.
//
// The store is a folder (by default $XDG_RUNTIME_DIR/quenta-pasteboard, or
// $XDG_CACHE_HOME/quenta-pasteboard, default ~/.cache/quenta-pasteboard, when XDG_RUNTIME_DIR is
// unset) created with mode 0700. A folder that is a symbolic link, is not a folder, or is not owned
// by the user is refused: writes fail with an error that says so, and reads find nothing.
//
// The store file, its side file and the lock are opened without following links and without
// blocking, and used only when they are regular files of the user's own (see openOwnFile): anything
// else reads as an empty pasteboard and fails every write. An entry's type holds at most 1 KiB and
// its text at most 64 MiB (a cut of 50,000 paths of 1,000 bytes each fits); a store holding a
// larger one reads as empty, and a write of one fails. Reads take only what they need: the headers,
// and the text of the type asked for.
//
// All entries live in one file that every write replaces whole (side file, fsync, rename), so a
// reader in another process sees the old or the new contents, never a mix. Writers take an
// exclusive lock (flock) around their read-modify-write, so two writers never lose each other's
// entries, and a conditional clear compares and removes in that same step. Readers take no lock.
//
// Only the store is written: the desktop clipboard is not offered the plain-text entry.
//
// Synchronous; any thread; keeps no state in memory between calls.
class PasteboardStore : public Pasteboard {
  public:
    // The store at the user's default location.
    PasteboardStore();
    // The store in the given folder (created when missing, its parent never).
    explicit PasteboardStore(std::string folder);

    Status clearContents() override;
    Status setString(std::string_view text, std::string_view type) override;
    Status replaceContents(const Entries& entries) override;
    Result<bool> clearContentsIfString(std::string_view type, std::string_view text) override;
    [[nodiscard]] std::optional<std::string> stringForType(std::string_view type) const override;
    // Also fails when the store's file exists and cannot be read (EACCES, EIO).
    [[nodiscard]] Result<std::optional<std::string>> readString(
        std::string_view type) const override;

    [[nodiscard]] bool hasString(std::string_view type) const override;

    // The largest text and type of one entry, in bytes.
    static constexpr std::size_t kMaxEntrySize = std::size_t{64} << 20;
    static constexpr std::size_t kMaxTypeSize = 1024;

    [[nodiscard]] const std::string& folder() const { return folder_; }

    // The default folder of the store, from the environment as described above.
    [[nodiscard]] static std::string defaultFolder();

  private:
    // Reads the entries, lets `change` edit them and writes them back when it answers true, all
    // under the writer lock.
    Status update(const std::function<bool(Entries&)>& change);

    std::string folder_;
};

}  // namespace quenta::linux_platform
