#include "core/requests/paste_progress.hpp"

#include "core/shared/file_paths.hpp"

namespace quenta {

void PasteProgress::copyStarted(const std::string& from, std::uint64_t totalBytes) {
    item_ = lastPathComponent(from);
    done_ = 0;
    total_ = totalBytes;
    if (!copyingSince_) {
        copyingSince_ = clock_.now();
    }
    refresh(true);
}

void PasteProgress::copied(std::uint64_t bytes) {
    done_ += bytes;
    refresh(false);
}

bool PasteProgress::cancelRequested() {
    if (!cancelled_ && shown_) {
        cancelled_ = display_.cancelRequested();
    }
    return cancelled_;
}

void PasteProgress::finish() {
    if (shown_) {
        display_.close();
        shown_ = false;
    }
}

void PasteProgress::refresh(bool force) {
    if (!copyingSince_) {
        return;
    }
    const auto now = clock_.now();
    if (!shown_ ? now - *copyingSince_ < kShowAfter : !force && now - lastShown_ < kUpdateEvery) {
        return;
    }
    display_.show(item_, done_, total_);
    shown_ = true;
    lastShown_ = now;
}

}  // namespace quenta
