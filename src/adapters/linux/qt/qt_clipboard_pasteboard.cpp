#include "adapters/linux/qt/qt_clipboard_pasteboard.hpp"

#include "core/shared/shared_names.hpp"

#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QString>
#include <QUrl>
#include <cstddef>
#include <limits>
#include <memory>

namespace quenta::linux_platform {
namespace {

QByteArray bytes(const std::string& text) {
    return {text.data(), static_cast<int>(text.size())};
}

QString cutPathsFormat() {
    return QString::fromLatin1(names::kCutPathsPasteboardType.data(),
                               static_cast<int>(names::kCutPathsPasteboardType.size()));
}

// Qt's X11 clipboard hands what it owns to the clipboard manager when the application exits, so
// nothing is asked of it here.
class QtDesktopClipboard : public DesktopClipboard {
  public:
    void offerText(std::string_view text) override {
        if (QClipboard* clipboard = usable(text.size())) {
            clipboard->setText(QString::fromUtf8(text.data(), static_cast<int>(text.size())),
                               QClipboard::Clipboard);
        }
    }

    void offerCut(const FileCutForms& forms) override {
        QClipboard* clipboard = usable(forms.gnomeCopiedFiles.size() + forms.uriList.size() +
                                       forms.plainText.size() + forms.cutPaths.size());
        if (clipboard == nullptr) {
            return;
        }
        auto data = std::make_unique<QMimeData>();
        data->setData(QStringLiteral("x-special/gnome-copied-files"),
                      bytes(forms.gnomeCopiedFiles));
        data->setData(QStringLiteral("x-special/mate-copied-files"), bytes(forms.gnomeCopiedFiles));
        data->setData(QStringLiteral("text/uri-list"), bytes(forms.uriList));
        data->setData(QStringLiteral("application/x-kde-cutselection"), QByteArrayLiteral("1"));
        data->setData(cutPathsFormat(), bytes(forms.cutPaths));
        data->setText(
            QString::fromUtf8(forms.plainText.data(), static_cast<int>(forms.plainText.size())));
        clipboard->setMimeData(data.release(), QClipboard::Clipboard);
    }

    // Dolphin's own Cut offers the URLs with "application/x-kde-cutselection" set to 1; the GTK
    // file managers offer "x-special/gnome-copied-files" (Caja "x-special/mate-copied-files").
    [[nodiscard]] std::optional<Pasteboard::DesktopCut> cut() const override {
        QClipboard* clipboard = usable(0);
        const QMimeData* data =
            clipboard != nullptr ? clipboard->mimeData(QClipboard::Clipboard) : nullptr;
        if (data == nullptr) {
            return std::nullopt;
        }
        const bool ours = data->hasFormat(cutPathsFormat());
        const QString kdeCut = QStringLiteral("application/x-kde-cutselection");
        if (data->hasFormat(kdeCut) && data->data(kdeCut).startsWith('1') && data->hasUrls()) {
            std::vector<std::string> paths;
            for (const QUrl& url : data->urls()) {
                if (!url.isLocalFile()) {
                    return std::nullopt;
                }
                paths.push_back(url.toLocalFile().toStdString());
            }
            return Pasteboard::DesktopCut{std::move(paths), ours};
        }
        for (const QString& format : {QStringLiteral("x-special/gnome-copied-files"),
                                      QStringLiteral("x-special/mate-copied-files")}) {
            if (data->hasFormat(format)) {
                const QByteArray text = data->data(format);
                auto paths =
                    pathsOfGnomeCut({text.constData(), static_cast<std::size_t>(text.size())});
                return paths ? std::optional(Pasteboard::DesktopCut{std::move(*paths), ours})
                             : std::nullopt;
            }
        }
        return std::nullopt;
    }

    void endCut() override {
        if (cut()) {
            usable(0)->clear(QClipboard::Clipboard);
        }
    }

  private:
    // The clipboard of the process's QGuiApplication, for a text Qt 5 can hold (at most INT_MAX
    // bytes: a longer one stays in the store only).
    static QClipboard* usable(std::size_t size) {
        if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr ||
            size > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
            return nullptr;
        }
        return QGuiApplication::clipboard();
    }
};

}  // namespace

QtClipboardPasteboard::QtClipboardPasteboard(Pasteboard& store)
    : ClipboardOfferingPasteboard(store, std::make_unique<QtDesktopClipboard>()) {}

}  // namespace quenta::linux_platform
