#pragma once

#include "ports/defaults.hpp"

#include <nlohmann/json_fwd.hpp>

#include <memory>
#include <string>
#include <string_view>

namespace quenta::linux_platform {

// The user defaults of one domain kept in one JSON file (see `pathForDomain`).
//
// The file is a JSON object, one member per key. Strings are JSON strings; a date is an object
// with the single member "$date" holding whole milliseconds since 1970-01-01 00:00:00 UTC as an
// integer; every other member is kept as written and reads as "other". A file that is missing,
// unreadable as JSON, not an object, larger than 4 MB or nested more than 32 levels deep reads as
// empty and is replaced by the next write. A file, lock or side file that is a symbolic link, not a
// regular file (a FIFO: nothing blocks), has another hard link or belongs to another user, and a
// folder that is a link or another user's, are never opened through: the file reads as empty and
// every write fails (see openOwnFile).
//
// Every write re-reads the file and merges its one change while holding an exclusive flock on the
// side file "<file>.lock", then replaces the file atomically (a side file "<file>.new" written,
// flushed to disk and renamed over it), so concurrent writers of different keys lose nothing and
// readers never see half a file. Reads take no lock: they stat the file and parse it again only
// when it changed (each write gives the file a strictly later modification time).
//
// A change that cannot be stored stays visible to this process and is stored with the next write
// that succeeds. Safe to use from any thread.
class DefaultsJsonFile : public Defaults {
  public:
    // "$XDG_CONFIG_HOME/<domain>/defaults.json"; $XDG_CONFIG_HOME when unset, empty or relative
    // is "$HOME/.config" (the home folder from the password database when $HOME is unset).
    static std::string pathForDomain(std::string_view domain);

    // The folders to the file are created (mode 0700) on the first write.
    explicit DefaultsJsonFile(std::string path);
    ~DefaultsJsonFile() override;
    DefaultsJsonFile(const DefaultsJsonFile&) = delete;
    DefaultsJsonFile& operator=(const DefaultsJsonFile&) = delete;

    [[nodiscard]] std::optional<DefaultsValue> object(std::string_view key) const override;
    Status setString(std::string_view key, std::string_view value) override;
    Status setDate(std::string_view key, DefaultsDate value) override;
    Status remove(std::string_view key) override;

    [[nodiscard]] const std::string& path() const { return path_; }

  private:
    struct State;
    Status store(std::string_view key, nlohmann::json value);
    Status save();

    std::string path_;
    std::unique_ptr<State> state_;
};

}  // namespace quenta::linux_platform
