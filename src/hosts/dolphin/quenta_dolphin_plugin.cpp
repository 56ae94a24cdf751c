// The Dolphin (KDE's file manager, Qt 5) plug-in of the extension: a composition root like the
// GTK file managers' modules. When Dolphin first asks it for actions, it creates one FinderSync
// with the Linux adapters for the process; on every right-click it renders the extension's menu
// as QActions and QMenus: the same titles, order, "Lumvik" submenu of four groups with separators
// between them, enabled states and the update item. A background right-click reports the folder
// shown, a selection every selected item (and the folder holding the first as the target); items
// without a local path (sftp:, trash:, smb:) count as absent. Each rendered menu keeps the
// situation Dolphin reported for it. Dolphin calls all of this on its main thread, whose Qt event
// loop runs on GLib's default main context, where the extension's main queue posts its tasks.
#include "adapters/linux/gio/window_reveal_service.hpp"
#include "adapters/linux/qt/qt_clipboard_pasteboard.hpp"
#include "core/shared/file_paths.hpp"
#include "hosts/menu_module.hpp"

#include <KAbstractFileItemActionPlugin>
#include <KFileItem>
#include <KFileItemListProperties>
#include <KPluginFactory>
#include <KUrlNavigator>
#include <QAction>
#include <QIcon>
#include <QList>
#include <QMenu>
#include <QPointer>
#include <QUrl>
#include <QVariantList>
#include <QWidget>
#include <algorithm>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quenta::hosts {
namespace {

namespace lp = quenta::linux_platform;

using DolphinExtension = ModuleExtension<lp::QtClipboardPasteboard>;

// The one extension of the process. Dolphin creates a plug-in object per file-item-actions
// object it keeps (one per window, and more for dialogs), so the extension outlives them all; it
// is never destroyed, since its last users (Qt's clipboard, GLib's main context) may be gone by
// the time static objects are.
DolphinExtension& extension() {
    static auto* const made = new DolphinExtension;
    return *made;
}

// Whether one of the views of `window` (each view, and the split view's second, keeps its location
// in a URL navigator) shows `address`. A navigator that is not shown may lag behind its view (the
// one a view leaves hidden when the location bar sits in the toolbar): `shownOnly` ignores those.
bool showsLocation(const QWidget* window, const QUrl& address, bool shownOnly) {
    const QUrl wanted = address.adjusted(QUrl::StripTrailingSlash);
    const auto navigators = window->window()->findChildren<KUrlNavigator*>();
    return std::any_of(navigators.begin(), navigators.end(), [&](const KUrlNavigator* navigator) {
        return (!shownOnly || navigator->isVisible()) &&
               navigator->locationUrl().adjusted(QUrl::StripTrailingSlash) == wanted;
    });
}

// The windows of Dolphin where commands were given, offered to the application's reveals:
// Dolphin's own org.freedesktop.FileManager1.ShowItems opens another window for items its views
// have not listed yet (just pasted), and its openFiles another tab. A window that gave a command
// and still shows the items' folder is brought to the front instead, and shows them through its
// own folder watch (not selected: nothing Dolphin offers a plug-in selects in a view).
class DolphinWindows {
  public:
    void commandGiven(QWidget* widget) {
        QWidget* window = widget != nullptr ? widget->window() : nullptr;
        std::erase_if(shown_, [&](const QPointer<QWidget>& known) {
            return known.isNull() || known == window;
        });
        if (window != nullptr) {
            shown_.emplace_back(window);
        }
    }

    bool show(const std::vector<std::string>& paths) {
        if (paths.empty()) {
            return false;
        }
        const QUrl folder = QUrl::fromLocalFile(QString::fromStdString(parentPath(paths.front())));
        for (auto known = shown_.rbegin(); known != shown_.rend(); ++known) {
            if (!known->isNull() && showsLocation(known->data(), folder, true)) {
                (*known)->raise();
                (*known)->activateWindow();
                return true;
            }
        }
        return false;
    }

  private:
    std::vector<QPointer<QWidget>> shown_;
    lp::WindowRevealService service_{
        [this](const std::vector<std::string>& paths) { return show(paths); }};
};

// Made with the extension and, like it, never destroyed.
DolphinWindows& windows() {
    static auto* const made = new DolphinWindows;
    return *made;
}

// The local path of a file item, none for an item that has none (remote and virtual places); a
// KIO worker that knows a local path for its item (a FUSE mount, desktop:/) reports it.
std::optional<std::string> localPath(const KFileItem& item) {
    const QUrl url = item.mostLocalUrl();
    if (!url.isLocalFile()) {
        return std::nullopt;
    }
    return trimmingTrailingSlashes(url.toLocalFile().toStdString());
}

// Dolphin asks for the background menu of a folder with one item for the folder itself: the root
// item of its listing, named after the listing's "." entry, or, after most navigations (a typed
// location, Back and Forward, a double-click), an item made from the view's address, named after
// the folder. A background click is told from a click on one selected folder by that address: it
// is the location of one of the window's views (each view, and the split view's second, keeps its
// location in a URL navigator). Where the window has none (another program showing Dolphin's
// menu), only the "." item counts.
bool isFolderShown(const KFileItemList& items, const QWidget* window) {
    if (items.size() != 1) {
        return false;
    }
    const KFileItem& item = items.first();
    if (item.name() == QStringLiteral(".")) {
        return true;
    }
    // Any navigator: taking a selected folder for the background errs on the safe side (nothing
    // selected, nothing cut or trashed).
    return window != nullptr && showsLocation(window, item.url(), false);
}

lp::MenuSituation situationFor(const KFileItemList& items, const QWidget* window) {
    if (isFolderShown(items, window)) {
        lp::MenuSituation situation{localPath(items.first()), std::nullopt, std::nullopt};
        if (!situation.targeted) {
            situation.address = items.first().url().toString().toStdString();
        }
        return situation;
    }
    std::vector<std::string> selected;
    for (const KFileItem& item : items) {
        if (auto path = localPath(item)) {
            selected.push_back(std::move(*path));
        }
    }
    auto situation = lp::MenuSituationController::situationForPaths(std::move(selected));
    if (situation.selected->empty()) {
        situation.address = items.first()
                                .url()
                                .adjusted(QUrl::RemoveFilename | QUrl::StripTrailingSlash)
                                .toString()
                                .toStdString();
    }
    return situation;
}

QString qString(const std::string& text) {
    return QString::fromStdString(text);
}

// What one right-click was given: the actions (children of `actions`) and the submenus holding
// them, which Qt lets no QObject own but a widget.
struct RenderedMenu {
    std::unique_ptr<QObject> actions = std::make_unique<QObject>();
    std::vector<std::unique_ptr<QMenu>> submenus;

    ~RenderedMenu() {
        submenus.clear();  // before the actions they show
    }
    RenderedMenu() = default;
    RenderedMenu(const RenderedMenu&) = delete;
    RenderedMenu& operator=(const RenderedMenu&) = delete;
};

class Renderer {
  public:
    Renderer(RenderedMenu& into, std::shared_ptr<const lp::MenuSituation> situation,
             QWidget* window)
        : into_(into), situation_(std::move(situation)), window_(window) {}

    QList<QAction*> render(const std::vector<MenuItem>& items) {
        QList<QAction*> rendered;
        for (const auto& item : items) {
            rendered.append(renderItem(item));
        }
        return rendered;
    }

  private:
    QAction* renderItem(const MenuItem& item) {
        auto* action = new QAction(into_.actions.get());
        if (item.kind == MenuItem::Kind::separator) {
            action->setSeparator(true);
            return action;
        }
        action->setText(qString(item.title));
        if (item.image && !item.image->iconName.empty()) {
            action->setIcon(QIcon::fromTheme(qString(item.image->iconName)));
        }
        action->setEnabled(item.isEnabled());
        if (!item.submenu.empty()) {
            auto& submenu = into_.submenus.emplace_back(std::make_unique<QMenu>());
            submenu->setTitle(action->text());
            submenu->addActions(render(item.submenu));
            action->setMenu(submenu.get());
        }
        if (!item.action.empty()) {
            QObject::connect(action, &QAction::triggered, action,
                             [selector = item.action, situation = situation_, window = window_] {
                                 DolphinExtension& running = extension();
                                 running.controller.answer(situation);
                                 // Before the command: the application may reveal its result
                                 // at once.
                                 windows().commandGiven(window.data());
                                 quenta::ignoreResult(running.finder.perform(selector),
                                                      "the action logs its own failure; the "
                                                      "file manager has no place to show it");
                             });
        }
        return action;
    }

    RenderedMenu& into_;
    std::shared_ptr<const lp::MenuSituation> situation_;
    QPointer<QWidget> window_;
};

}  // namespace

class QuentaDolphinPlugin : public KAbstractFileItemActionPlugin {
    Q_OBJECT

  public:
    QuentaDolphinPlugin(QObject* parent, const QVariantList&)
        : KAbstractFileItemActionPlugin(parent) {
        (void)extension();
        (void)windows();
    }

    QList<QAction*> actions(const KFileItemListProperties& items, QWidget* window) override {
        if (items.items().isEmpty()) {
            return {};  // nothing reported, no menu (as in the other hosts)
        }
        auto situation =
            std::make_shared<const lp::MenuSituation>(situationFor(items.items(), window));
        DolphinExtension& running = extension();
        running.controller.answer(situation);
        const Menu menu = running.finder.menu();
        // Dolphin adds the actions to a menu it owns and does not take them: the plug-in keeps
        // those of its latest menus, enough for every menu a window can show at once, and lets
        // the oldest go.
        if (menus_.size() == kMenusKept) {
            menus_.pop_front();
        }
        RenderedMenu& rendered = *menus_.emplace_back(std::make_unique<RenderedMenu>());
        return Renderer(rendered, std::move(situation), window).render(menu.items);
    }

  private:
    static constexpr std::size_t kMenusKept = 8;
    std::deque<std::unique_ptr<RenderedMenu>> menus_;
};

// The plug-in's factory, which Dolphin finds through Qt's plug-in loader with the metadata.
K_PLUGIN_CLASS_WITH_JSON(QuentaDolphinPlugin, "quenta_dolphin_plugin.json")

}  // namespace quenta::hosts

#include "quenta_dolphin_plugin.moc"
