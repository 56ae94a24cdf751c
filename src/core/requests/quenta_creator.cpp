#include "core/requests/quenta_creator.hpp"

#include "core/shared/file_paths.hpp"
#include "core/shared/request_url.hpp"
#include "core/shared/utf8.hpp"

#include <algorithm>
#include <array>

namespace quenta {
namespace {

constexpr std::string_view kFolderBaseName = textKey("新建文件夹");
constexpr unsigned kExecutableMode = 0755;
constexpr int kHighestNumberedName = 999;

// The value of the first item named `name`; none when there is no such item or it has no value
// (later items of that name are not tried).
std::optional<std::string> firstValue(const std::vector<QueryItem>& items, std::string_view name) {
    for (const auto& item : items) {
        if (item.name == name) {
            return item.value;
        }
    }
    return std::nullopt;
}

// True for a value that can name an item by itself: an absolute path holding no NUL, the one
// byte a POSIX path cannot hold. A NUL would cut the path short at the system call, so the
// request would act on another item; a relative value would be taken against this process's
// current folder, and an empty one would be the root.
bool isAbsolutePathValue(const std::optional<std::string>& value) {
    return value && !value->empty() && value->front() == '/' &&
           value->find('\0') == std::string::npos;
}

std::string candidateName(std::string_view base, std::optional<std::string_view> extension) {
    std::string name(base);
    if (extension) {
        name += ".";
        name += *extension;
    }
    return name;
}

}  // namespace

QuentaCreator::QuentaCreator(CreatorPorts ports) : ports_(ports) {}

void QuentaCreator::writeLog(std::string_view message) {
    ports_.log.write(message);
}

void QuentaCreator::showAlert(std::string_view message) {
    ports_.alerts.runModal({localized(kAlertTitle), std::string(message), localized(kAlertButton)});
}

std::string QuentaCreator::askedText(std::string_view heading,
                                     const std::vector<std::string>& paths) const {
    // A question taller than the screen would hide its buttons: past the first items only their
    // number is given.
    constexpr std::size_t kShownItems = 20;
    std::string asked = localized(heading);
    for (std::size_t i = 0; i < paths.size() && i < kShownItems; ++i) {
        asked += "\n";
        asked += escapingForOutput(paths[i]);
    }
    if (paths.size() > kShownItems) {
        asked += "\n";
        asked += localized("……另有项目：");
        asked += std::to_string(paths.size() - kShownItems);
    }
    return asked;
}

bool QuentaCreator::confirmed(RequestOrigin origin, const std::string& asked) {
    if (origin == RequestOrigin::host) {
        return true;
    }
    const ConfirmationAnswer answer = ports_.alerts.confirm(
        {localized(kAlertTitle), localized("另一个程序通过链接请求：") + "\n\n" + asked,
         localized("执行"), localized("取消")});
    switch (answer) {
        case ConfirmationAnswer::confirmed:
            writeLog("request from outside confirmed");
            return true;
        case ConfirmationAnswer::cancelled:
            writeLog("request from outside cancelled");
            return false;
        case ConfirmationAnswer::unavailable:
            break;
    }
    writeLog("request from outside refused: no one can be asked without a display");
    showAlert(localized("另一个程序通过链接发来的请求未执行：没有显示器，无法征得您的同意。") +
              "\n\n" + asked);
    return false;
}

void QuentaCreator::handle(std::string_view url, RequestOrigin origin) {
    std::string line = "handle url: ";
    line += url;
    writeLog(line);
    writeLog(origin == RequestOrigin::outside
                 ? "request from: outside, through the desktop's handler of the scheme"
                 : "request from: a host of the extension");

    const std::string invalidCreate = localized("新建文件请求无效。");
    if (urlScheme(url) != kRequestScheme) {
        showAlert(invalidCreate);
        return;
    }
    const auto components = parseUrl(url);
    if (!components || !components->host) {
        showAlert(invalidCreate);
        return;
    }
    const std::string& host = *components->host;
    const auto& items = components->queryItems;

    if (host == "create") {
        const auto type = firstValue(items, "type");
        const auto path = firstValue(items, "path");
        const auto kind = type ? QuentaKind::fromRawValue(*type) : std::nullopt;
        if (!type || !isAbsolutePathValue(path) || !kind) {
            showAlert(invalidCreate);
            return;
        }
        const std::string folder = trimmingTrailingSlashes(*path);
        if (!confirmed(origin, askedText(textKey("在此文件夹中新建文件："), {folder}) + "\n" +
                                   localized("类型：") + std::string(kind->rawValue()))) {
            return;
        }
        create(*kind, folder);
        return;
    }

    // Commands that take one folder: the first "path" item with a value names it.
    struct FolderCommand {
        std::string_view host;
        std::string_view invalidMessage;
        std::string_view asked;
        void (QuentaCreator::*operation)(const std::string&);
    };
    static constexpr std::array<FolderCommand, 3> folderCommands{{
        {"folder", textKey("新建文件夹请求无效。"), textKey("在此文件夹中新建文件夹："),
         &QuentaCreator::createFolder},
        {"pasteCut", textKey("粘贴请求无效。"), textKey("将剪切的项目移动到此文件夹："),
         &QuentaCreator::pasteCutItems},
        {"terminal", textKey("打开终端请求无效。"), textKey("在此文件夹中打开终端："),
         &QuentaCreator::openTerminal},
    }};
    for (const auto& command : folderCommands) {
        if (host == command.host) {
            const auto path = firstValue(items, "path");
            if (!isAbsolutePathValue(path)) {
                showAlert(localized(command.invalidMessage));
                return;
            }
            const std::string folder = trimmingTrailingSlashes(*path);
            std::string asked = askedText(command.asked, {folder});
            if (command.operation == &QuentaCreator::pasteCutItems) {
                // What would be moved is what the cut holds now, one path a line.
                const auto cut = ports_.pasteboard.stringForType(kCutPathsPasteboardType);
                std::vector<std::string> cutItems;
                for (std::size_t start = 0; cut && start < cut->size();) {
                    const std::size_t end = std::min(cut->find('\n', start), cut->size());
                    if (end > start) {
                        cutItems.push_back(cut->substr(start, end - start));
                    }
                    start = end + 1;
                }
                asked += "\n\n" + askedText(textKey("剪切的项目："), cutItems);
            }
            if (!confirmed(origin, asked)) {
                return;
            }
            (this->*command.operation)(folder);
            return;
        }
    }

    if (host == "trash") {
        // Items without a value are left out; one value that names no item by itself refuses the
        // whole request, so nothing is trashed that was not asked for.
        std::vector<std::string> paths;
        bool refused = false;
        for (const auto& item : items) {
            if (item.name == "path" && item.value) {
                refused = refused || !isAbsolutePathValue(item.value);
                paths.push_back(trimmingTrailingSlashes(*item.value));
            }
        }
        if (paths.empty() || refused) {
            showAlert(localized("移到废纸篓请求无效。"));
            return;
        }
        if (!confirmed(origin, askedText(textKey("将以下项目移到废纸篓："), paths))) {
            return;
        }
        trashItems(paths);
        return;
    }

    std::string message = localized("请求无效：");
    message += host;
    showAlert(message);
}

std::string QuentaCreator::localizedBaseName(std::string_view key) const {
    // A translation that could not be one name of a folder's entry leaves the key's name.
    std::string name = localized(key);
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) {
        name.assign(key);
    }
    return name;
}

std::string QuentaCreator::uniqueURL(std::string_view baseName,
                                     std::optional<std::string_view> fileExtension,
                                     const std::string& folder) const {
    int attempt = 1;
    return freeCandidate(baseName, fileExtension, folder, attempt);
}

std::string QuentaCreator::freeCandidate(std::string_view baseName,
                                         std::optional<std::string_view> fileExtension,
                                         const std::string& folder, int& attempt) const {
    if (attempt <= 1) {
        attempt = 1;
        std::string candidate =
            appendingPathComponent(folder, candidateName(baseName, fileExtension));
        if (!ports_.fileSystem.itemExists(candidate)) {
            return candidate;
        }
        attempt = 2;
    }
    std::string numbered;
    for (; attempt <= kHighestNumberedName; ++attempt) {
        numbered.assign(baseName);
        numbered += " ";
        numbered += std::to_string(attempt);
        std::string candidate =
            appendingPathComponent(folder, candidateName(numbered, fileExtension));
        if (!ports_.fileSystem.itemExists(candidate)) {
            return candidate;
        }
    }
    std::string last(baseName);
    last += " ";
    last += ports_.uuids.makeUuidString();
    return appendingPathComponent(folder, candidateName(last, fileExtension));
}

template <class MakeItem>
Status QuentaCreator::createUnderFreeName(std::string_view baseName,
                                          std::optional<std::string_view> fileExtension,
                                          const std::string& folder, std::string& path,
                                          MakeItem makeItem) const {
    // The free-name test and the exclusive create are two steps: another process may take the
    // name in between. The create never replaces anything, and a name taken meanwhile makes the
    // next candidate be tried, from where the test stopped, so two creates never get one name.
    // Past the numbered names every attempt has a new UUID name; a few suffice.
    constexpr int kUuidAttempts = 8;
    int attempt = 1;
    int uuidAttempts = 0;
    while (true) {
        path = freeCandidate(baseName, fileExtension, folder, attempt);
        Status made = makeItem(path);
        if (made || made.error().kind != ErrorKind::alreadyExists) {
            return made;
        }
        if (attempt > kHighestNumberedName && ++uuidAttempts >= kUuidAttempts) {
            return made;
        }
        ++attempt;
    }
}

void QuentaCreator::create(QuentaKind kind, const std::string& folder) {
    std::string line = "create ";
    line += kind.rawValue();
    line += " in ";
    line += folder;
    writeLog(line);

    const auto fail = [&](const Error& error) {
        writeLog("failed " + error.description);
        showAlert(localized("创建文件失败：") + error.description + localized("\n\n目录：") +
                  escapingForOutput(folder));
    };

    std::string path;
    if (const Status written = createUnderFreeName(
            localizedBaseName(kind.baseName()), kind.fileExtension(), folder, path,
            [&](const std::string& candidate) {
                return ports_.fileSystem.writeNewFile(candidate, kind.contents());
            });
        !written) {
        fail(written.error());
        return;
    }
    writeLog("created " + path);
    if (kind.isExecutable()) {
        if (const Status changed = ports_.fileSystem.setPermissions(path, kExecutableMode);
            !changed) {
            fail(changed.error());
            return;
        }
    }
    ports_.workspace.revealItems({path});
}

void QuentaCreator::createFolder(const std::string& folder) {
    writeLog("create folder in " + folder);
    std::string path;
    if (const Status created =
            createUnderFreeName(localizedBaseName(kFolderBaseName), std::nullopt, folder, path,
                                [&](const std::string& candidate) {
                                    return ports_.fileSystem.createDirectory(candidate);
                                });
        !created) {
        writeLog("create folder failed " + created.error().description);
        showAlert(localized("创建文件夹失败：") + created.error().description +
                  localized("\n\n目录：") + escapingForOutput(folder));
        return;
    }
    writeLog("created folder " + path);
    ports_.workspace.revealItems({path});
}

}  // namespace quenta
