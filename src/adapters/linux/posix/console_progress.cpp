#include "adapters/linux/posix/console_progress.hpp"

#include "core/shared/byte_size.hpp"
#include "core/shared/utf8.hpp"
#include "ports/error.hpp"

#include <unistd.h>

#include <cinttypes>
#include <string>

namespace quenta::linux_platform {
namespace {

volatile std::sig_atomic_t interrupted = 0;

void onInterrupt(int) {
    interrupted = 1;
    // The next interrupt ends the process.
    ignoreResult(std::signal(SIGINT, SIG_DFL), "the default action cannot be refused");
}

}  // namespace

void ConsoleProgress::show(const std::string& item, std::uint64_t doneBytes,
                           std::uint64_t totalBytes) {
    if (::isatty(::fileno(stream_)) == 0) {
        return;
    }
    if (!shown_) {
        interrupted = 0;
        struct sigaction action {};
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGINT, &action, &previous_);
        shown_ = true;
    }
    const unsigned percent =
        totalBytes == 0 ? 100 : static_cast<unsigned>(doneBytes * 100 / totalBytes);
    // Composed of its parts, each in the user's language, around the item (escaped, as it goes to
    // a terminal) and the numbers.
    const std::string line = "\r" + localizer_.localized("正在移动 ") + escapingForOutput(item) +
                             localizer_.localized("：") + megabytesText(doneBytes) + " / " +
                             megabytesText(totalBytes) + localizer_.localized("（") +
                             std::to_string(percent) + "%" +
                             localizer_.localized("），按 Ctrl+C 取消") + "\033[K";
    std::fputs(line.c_str(), stream_);
    std::fflush(stream_);
}

bool ConsoleProgress::cancelRequested() {
    return shown_ && interrupted != 0;
}

void ConsoleProgress::close() {
    if (!shown_) {
        return;
    }
    ::sigaction(SIGINT, &previous_, nullptr);
    std::fputs("\r\033[K", stream_);
    std::fflush(stream_);
    shown_ = false;
}

}  // namespace quenta::linux_platform
