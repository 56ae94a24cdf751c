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

QtClipboardPasteboard::QtClipboardPasteboard(Pasteboard& store)
    : ClipboardOfferingPasteboard(store, offerToDesktopClipboard) {}

}  // namespace quenta::linux_platform
