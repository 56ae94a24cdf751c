#pragma once

#include <filesystem>
#include <string>

namespace quenta::testing {

// A fresh folder under $TMPDIR (or /tmp), removed with everything in it when the object goes.
class TempDir {
  public:
    explicit TempDir(const std::string& base = {});
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    [[nodiscard]] const std::string& path() const { return path_; }
    [[nodiscard]] std::string operator/(const std::string& name) const {
        return path_ + "/" + name;
    }

  private:
    std::string path_;
};

// Reads a whole file; empty when it cannot be read.
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& contents);

// The POSIX permission bits of the item (not following a link), or -1.
int modeOf(const std::string& path);

// Runs a command through /bin/sh with the given standard input, returning its exit status and
// what it printed on standard output and standard error.
struct CommandResult {
    int status = -1;
    std::string out;
    std::string err;
};
CommandResult runCommand(const std::string& command);

// Single-quotes a text for /bin/sh.
std::string shellQuote(const std::string& text);

}  // namespace quenta::testing
