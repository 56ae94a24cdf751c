#include "adapters/linux/clipboard_offering_pasteboard.hpp"

namespace quenta::linux_platform {

Status ClipboardOfferingPasteboard::clearContents() {
    return store_.clearContents();
}

Status ClipboardOfferingPasteboard::setString(std::string_view text, std::string_view type) {
    Status stored = store_.setString(text, type);
    if (type == kPlainTextType) {
        offer_(text);
    }
    return stored;
}

Status ClipboardOfferingPasteboard::replaceContents(const Entries& entries) {
    Status stored = store_.replaceContents(entries);
    if (const auto plain = entries.find(kPlainTextType); plain != entries.end()) {
        offer_(plain->second);
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

}  // namespace quenta::linux_platform
