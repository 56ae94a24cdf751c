#include "core/extension/finder_sync.hpp"

#include "core/shared/file_paths.hpp"
#include "core/shared/list_form.hpp"

#include <algorithm>
#include <set>

namespace quenta {
namespace {

std::string joinedByLineFeeds(const std::vector<std::string>& paths) {
    std::string text;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (i > 0) {
            text += "\n";
        }
        text += paths[i];
    }
    return text;
}

struct KindSelector {
    FileKindId id;
    std::string_view selector;
};

constexpr std::array<KindSelector, kFileKindCount> kKindSelectors{{
    {FileKindId::plainText, "createPlainText"},
    {FileKindId::markdown, "createMarkdown"},
    {FileKindId::richText, "createRichText"},
    {FileKindId::csv, "createCSV"},
    {FileKindId::json, "createJSON"},
    {FileKindId::html, "createHTML"},
    {FileKindId::css, "createCSS"},
    {FileKindId::word, "createWord"},
    {FileKindId::pdf, "createPDF"},
    {FileKindId::powerpoint, "createPowerPoint"},
    {FileKindId::excel, "createExcel"},
    {FileKindId::javascript, "createJavaScript"},
    {FileKindId::python, "createPython"},
    {FileKindId::swift, "createSwift"},
    {FileKindId::shell, "createShell"},
}};
static_assert(hasOneRowPerFileKind(kKindSelectors));

}  // namespace

FinderSync::FinderSync(ExtensionPorts ports, UpdateChecker& updateChecker)
    : ports_(ports), updateChecker_(updateChecker) {
    ports_.controller.setDirectoryURLs({"/"});
    updateChecker_.checkIfNeeded();
}

FinderSync::~FinderSync() = default;

void FinderSync::writeLog(std::string_view message) {
    ports_.log.write(message);
}

const std::vector<FinderSync::FileGroup>& FinderSync::fileGroups() {
    using K = FileKindId;
    static const std::vector<FileGroup> groups = {
        {textKey("文本文档"),
         {FileTemplate(K::plainText), FileTemplate(K::richText), FileTemplate(K::markdown)}},
        {textKey("办公文档"),
         {FileTemplate(K::word), FileTemplate(K::pdf), FileTemplate(K::powerpoint),
          FileTemplate(K::excel)}},
        {textKey("数据文件"), {FileTemplate(K::csv), FileTemplate(K::json)}},
        {textKey("编程开发"),
         {FileTemplate(K::html), FileTemplate(K::css), FileTemplate(K::javascript),
          FileTemplate(K::python), FileTemplate(K::swift), FileTemplate(K::shell)}},
    };
    return groups;
}

std::string_view FinderSync::selectorFor(FileTemplate kind) {
    return kKindSelectors[static_cast<std::size_t>(kind.id())].selector;
}

MenuImage FinderSync::symbolIcon(std::string_view name,
                                 std::optional<std::string_view> accessibilityDescription) {
    if (const auto cached = symbolIconCache_.find(name); cached != symbolIconCache_.end()) {
        return cached->second;
    }
    MenuImage image =
        ports_.icons.symbolImage(name, accessibilityDescription.value_or("")).value_or(MenuImage{});
    image.width = 16;
    image.height = 16;
    symbolIconCache_.emplace(std::string(name), image);
    return image;
}

MenuImage FinderSync::fileIcon(FileTemplate kind) {
    if (const auto cached = fileIconCache_.find(kind.id()); cached != fileIconCache_.end()) {
        return cached->second;
    }
    MenuImage image = ports_.icons.iconForFileType(kind.fileExtension());
    image.width = 16;
    image.height = 16;
    fileIconCache_.emplace(kind.id(), image);
    return image;
}

MenuImage FinderSync::toolbarItemImage() {
    return symbolIcon("doc.badge.plus", "Lumvik");
}

Menu FinderSync::menu() {
    Menu root{"Lumvik", {}};
    const auto selected = ports_.controller.selectedItemURLs();
    const std::size_t selectionCount = selected ? selected->size() : 0;
    // A place without a local path is no folder of ours: what needs one is disabled there rather
    // than done somewhere else.
    const bool inFolder = !atPlaceWithoutPath();
    const std::optional<bool> folderCommand = inFolder ? std::nullopt : std::optional<bool>(false);

    MenuItem submenu{MenuItem::Kind::item, "Lumvik", "", symbolIcon("doc.badge.plus", std::nullopt),
                     std::nullopt,         {}};
    bool firstGroup = true;
    for (const auto& group : fileGroups()) {
        if (!firstGroup) {
            submenu.submenu.push_back(
                {MenuItem::Kind::separator, "", "", std::nullopt, std::nullopt, {}});
        }
        firstGroup = false;
        submenu.submenu.push_back(
            {MenuItem::Kind::header, localized(group.title), "", std::nullopt, false, {}});
        for (const auto kind : group.templates) {
            submenu.submenu.push_back({MenuItem::Kind::item,
                                       localized(kind.menuTitle()),
                                       std::string(selectorFor(kind)),
                                       fileIcon(kind),
                                       folderCommand,
                                       {}});
        }
    }

    const auto item = [&](std::string title, std::string_view action, std::string_view symbol,
                          std::optional<bool> enabled) {
        MenuImage image = symbolIcon(symbol, title);
        return MenuItem{MenuItem::Kind::item, std::move(title), std::string(action),
                        std::move(image),     enabled,          {}};
    };
    root.items.push_back(
        item(localized("新建空白文件夹"), "createFolder", "folder.badge.plus", folderCommand));
    root.items.push_back(std::move(submenu));
    root.items.push_back(item(localized("剪切"), "cutItems", "scissors", selectionCount > 0));
    root.items.push_back(item(localized("粘贴到此处"), "pasteCutItems", "doc.on.clipboard",
                              inFolder && cutPending()));
    root.items.push_back(item(localized("移到废纸篓"), "trashItems", "trash",
                              selectionCount > 0 && trashable(*selected)));
    root.items.push_back(item(localized("拷贝路径"), "copyPath", "link", std::nullopt));
    root.items.push_back(item(localized("打开终端"), "openTerminal", "terminal", folderCommand));

    // The check started here ends later; what it finds shows in a later menu.
    updateChecker_.checkIfNeeded();
    if (const auto release = updateChecker_.availableUpdate()) {
        std::string title = localized("有新版本 v") + release->version + localized(" 可用");
        root.items.push_back(
            item(std::move(title), "openUpdatePage", "arrow.down.circle", std::nullopt));
    }
    return root;
}

Status FinderSync::perform(std::string_view selector) {
    for (const auto& entry : kKindSelectors) {
        if (entry.selector == selector) {
            create(FileTemplate(entry.id));
            return {};
        }
    }
    if (selector == "cutItems") {
        return cutItems();
    }
    if (selector == "copyPath") {
        return copyPath();
    }
    using Action = void (FinderSync::*)();
    static constexpr std::array<std::pair<std::string_view, Action>, 5> actions{{
        {"createFolder", &FinderSync::createFolder},
        {"pasteCutItems", &FinderSync::pasteCutItems},
        {"trashItems", &FinderSync::trashItems},
        {"openTerminal", &FinderSync::openTerminal},
        {"openUpdatePage", &FinderSync::openUpdatePage},
    }};
    for (const auto& [name, action] : actions) {
        if (name == selector) {
            (this->*action)();
            return {};
        }
    }
    return Error{ErrorKind::notFound, "no menu action " + std::string(selector)};
}

bool FinderSync::isDirectory(const std::string& path) const {
    return ports_.fileSystem.isDirectory(path);
}

std::optional<std::string> FinderSync::targetDirectoryURL() {
    const auto targeted = ports_.controller.targetedURL();
    const auto selected = ports_.controller.selectedItemURLs();
    std::string line = "targetedURL=";
    line += targeted ? "Optional(" + quotedDebugText(*targeted) + ")" : "nil";
    line += ", selected=";
    line += selected ? "Optional(" + listForm(*selected) + ")" : "nil";
    writeLog(line);

    if (const auto items = ports_.controller.selectedItemURLs();
        items && items->size() == 1 && isDirectory(items->front())) {
        return items->front();
    }
    if (const auto target = ports_.controller.targetedURL()) {
        return isDirectory(*target) ? *target : parentPath(*target);
    }
    const auto items = ports_.controller.selectedItemURLs();
    if (!items || items->empty()) {
        if (atPlaceWithoutPath()) {
            return std::nullopt;
        }
        return frontFinderWindowURL();
    }
    const std::string& first = items->front();
    return isDirectory(first) ? first : parentPath(first);
}

std::vector<std::string> FinderSync::pathTargetURLs() {
    if (auto items = ports_.controller.selectedItemURLs(); items && !items->empty()) {
        return *items;
    }
    if (auto target = ports_.controller.targetedURL()) {
        return {*target};
    }
    if (auto address = ports_.controller.placeAddress()) {
        return {*address};
    }
    if (auto front = frontFinderWindowURL()) {
        return {*front};
    }
    return {};
}

bool FinderSync::atPlaceWithoutPath() const {
    if (ports_.controller.targetedURL()) {
        return false;
    }
    const auto selected = ports_.controller.selectedItemURLs();
    return (!selected || selected->empty()) && ports_.controller.placeAddress().has_value();
}

std::optional<std::string> FinderSync::frontFinderWindowURL() {
    const auto answer = ports_.frontWindow.run(kFrontWindowScript);
    if (answer.ok()) {
        return trimmingTrailingSlashes(answer.value());
    }
    const std::string& information = answer.error().description;
    writeLog("Finder AppleScript failed: " +
             (information.empty() ? std::string("nil") : "Optional(" + information + ")"));
    return std::nullopt;
}

bool FinderSync::runFolderCommand(std::string_view host, std::string_view failureLine,
                                  std::string_view targetPrefix, std::vector<QueryItem> items,
                                  const std::function<bool()>& beforeSending) {
    const auto folder = targetDirectoryURL();
    if (!folder) {
        writeLog(failureLine);
        return false;
    }
    writeLog(std::string(targetPrefix) + *folder);
    if (beforeSending && !beforeSending()) {
        return false;
    }
    items.push_back({"path", *folder});
    openMainAppURL(host, items);
    return true;
}

void FinderSync::create(FileTemplate kind) {
    writeLog("create invoked for " + std::string(kind.rawValue()));
    runFolderCommand("create", "failed: no target directory",
                     "target directory: ", {{"type", std::string(kind.rawValue())}});
}

void FinderSync::createFolder() {
    runFolderCommand("folder", "create folder failed: no target directory",
                     "create folder target directory: ", {});
}

bool FinderSync::trashable(const std::vector<std::string>& items) const {
    // The file manager's own menu offers the trash only where every item can go there. Items
    // mostly share their folder, so the filesystem is asked once per folder.
    std::set<std::string, std::less<>> folders;
    return std::all_of(items.begin(), items.end(), [&](const std::string& path) {
        return !folders.insert(parentPath(path)).second || ports_.fileSystem.hasUsableTrash(path);
    });
}

bool FinderSync::cutPending() const {
    if (ports_.pasteboard.hasString(cutPathsPasteboardType)) {
        return true;
    }
    const auto desktop = ports_.pasteboard.desktopCut();
    return desktop && !desktop->ours && !desktop->paths.empty();
}

void FinderSync::pasteCutItems() {
    // The desktop's clipboard holds the newest cut of the session: a cut of ours offers itself
    // there too, so a file manager's own Cut found there that is not ours came after it. That cut
    // becomes the cut entry and is pasted as ours is; the desktop's clipboard is then emptied, as
    // the file manager's own paste of a cut does, so neither paste moves the items again.
    const auto desktop = ports_.pasteboard.desktopCut();
    const bool takesDesktopCut = desktop && !desktop->ours && !desktop->paths.empty();
    const bool sent = runFolderCommand(
        "pasteCut", "paste cut failed: no target directory", "paste cut target directory: ", {},
        [&] {
            if (!takesDesktopCut) {
                return true;
            }
            const auto carried = cuttablePaths(desktop->paths);
            if (carried.empty()) {
                return false;
            }
            if (Status written = ports_.pasteboard.replaceContents(
                    {{std::string(cutPathsPasteboardType), joinedByLineFeeds(carried)}});
                !written) {
                writeLog("paste cut failed: " + written.error().description);
                return false;
            }
            writeLog("paste cut takes the file manager's cut: " + listForm(carried));
            return true;
        });
    if (sent && desktop) {
        ports_.pasteboard.endDesktopCut();
    }
}

void FinderSync::openTerminal() {
    runFolderCommand("terminal", "open terminal failed: no target directory",
                     "open terminal target directory: ", {});
}

void FinderSync::trashItems() {
    const auto items = ports_.controller.selectedItemURLs().value_or(std::vector<std::string>{});
    if (items.empty()) {
        writeLog("trash failed: no selected paths");
        return;
    }
    writeLog("trash paths: " + listForm(items));
    openMainAppTrashURL(items);
}

void FinderSync::openMainAppTrashURL(const std::vector<std::string>& itemURLs) {
    std::vector<QueryItem> items;
    items.reserve(itemURLs.size());
    for (const auto& path : itemURLs) {
        items.push_back({"path", path});
    }
    openMainAppURL("trash", items);
}

std::vector<std::string> FinderSync::cuttablePaths(const std::vector<std::string>& items) {
    // The cut entry separates paths by line feeds, and the reader takes a carriage return before
    // a line feed as part of the separator: a path holding a line feed, or ending in a carriage
    // return, would read back as other paths. Such items are left out of the cut.
    std::vector<std::string> carried;
    carried.reserve(items.size());
    for (const auto& item : items) {
        if (item.find('\n') != std::string::npos || (!item.empty() && item.back() == '\r')) {
            writeLog(std::string("cut skipped ")
                         .append(quotedDebugText(item))
                         .append(": its path holds a line feed or ends in a carriage return"));
        } else {
            carried.push_back(item);
        }
    }
    return carried;
}

Status FinderSync::cutItems() {
    const auto items = ports_.controller.selectedItemURLs().value_or(std::vector<std::string>{});
    if (items.empty()) {
        writeLog("cut failed: no selected paths");
        return {};
    }
    const std::vector<std::string> carried = cuttablePaths(items);
    if (carried.empty()) {
        return {};
    }
    const std::string text = joinedByLineFeeds(carried);
    // Both entries in one write, so concurrent cuts never leave the two from different cuts.
    if (Status written =
            ports_.pasteboard.replaceContents({{std::string(cutPathsPasteboardType), text},
                                               {std::string(Pasteboard::kPlainTextType), text}});
        !written) {
        writeLog("cut failed: " + written.error().description);
        return written;
    }
    writeLog("cut paths: " + listForm(carried));
    return {};
}

Status FinderSync::copyPath() {
    const auto paths = pathTargetURLs();
    if (paths.empty()) {
        writeLog("copy path failed: no target paths");
        return {};
    }
    if (Status written = ports_.pasteboard.replaceContents(
            {{std::string(Pasteboard::kPlainTextType), joinedByLineFeeds(paths)}});
        !written) {
        writeLog("copy path failed: " + written.error().description);
        return written;
    }
    writeLog("copied paths: " + listForm(paths));
    return {};
}

void FinderSync::openUpdatePage() {
    const auto release = updateChecker_.availableUpdate();
    if (!release) {
        return;
    }
    writeLog("open update page: " + release->pageURL);
    ports_.launcher.openInBrowser(release->pageURL);
}

void FinderSync::openMainAppURL(std::string_view host, const std::vector<QueryItem>& queryItems) {
    const auto url = formatRequestUrl(host, queryItems);
    if (!url) {
        writeLog("failed to build callback URL");
        return;
    }
    writeLog("opening callback URL: " + *url);
    ports_.launcher.openWithMainApplication(
        *url, [weak = weakFactory_.weakPtr()](const Status& sent) {
            if (FinderSync* self = weak.get()) {
                self->writeLog(sent ? std::string("main app open request sent")
                                    : "failed to open main app: " + sent.error().description);
            }
        });
}

}  // namespace quenta
