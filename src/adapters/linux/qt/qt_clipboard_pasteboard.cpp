#include "adapters/linux/qt/qt_clipboard_pasteboard.hpp"

#include <QClipboard>
#include <QGuiApplication>
#include <QString>
#include <cstddef>
#include <limits>

namespace quenta::linux_platform {
namespace {

// Qt 5 strings hold at most INT_MAX bytes: a longer text stays in the store only.
void offerToDesktopClipboard(std::string_view text) {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr ||
        text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        return;
    }
    if (QClipboard* clipboard = QGuiApplication::clipboard()) {
        clipboard->setText(QString::fromUtf8(text.data(), static_cast<int>(text.size())),
                           QClipboard::Clipboard);
    }
}

}  // namespace

Status QtClipboardPasteboard::clearContents() {
    return store_.clearContents();
}

Status QtClipboardPasteboard::setString(std::string_view text, std::string_view type) {
    Status stored = store_.setString(text, type);
    if (type == kPlainTextType) {
        offerToDesktopClipboard(text);
    }
    return stored;
}

Status QtClipboardPasteboard::replaceContents(const Entries& entries) {
    Status stored = store_.replaceContents(entries);
    if (const auto plain = entries.find(kPlainTextType); plain != entries.end()) {
        offerToDesktopClipboard(plain->second);
    }
    return stored;
}

Result<bool> QtClipboardPasteboard::clearContentsIfString(std::string_view type,
                                                          std::string_view text) {
    return store_.clearContentsIfString(type, text);
}

std::optional<std::string> QtClipboardPasteboard::stringForType(std::string_view type) const {
    return store_.stringForType(type);
}

}  // namespace quenta::linux_platform
