#include "core/requests/quenta_creator.hpp"
#include "core/shared/file_paths.hpp"
#include "core/shared/list_form.hpp"
#include "core/shared/utf8.hpp"

namespace quenta {
void QuentaCreator::trashItems(const std::vector<std::string>& items) {
    writeLog("trash " + listForm(items));

    // Existence is not tested first: a missing item fails with the platform's own message.
    const std::vector<Status> outcomes = ports_.fileSystem.trashItems(items, ports_.stopRequest);
    std::string failureLines;
    std::vector<std::string> notBegun;
    std::vector<std::string> trashed;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const std::string& item = items[i];
        if (i < outcomes.size() && outcomes[i].ok()) {
            writeLog("trashed " + item);
            trashed.push_back(item);
            continue;
        }
        if (i < outcomes.size() && outcomes[i].error().kind == ErrorKind::cancelled) {
            // Asked to stop: the person knows, no alert for each item left where it was.
            notBegun.push_back(item);
            continue;
        }
        const std::string description = i < outcomes.size()
                                            ? outcomes[i].error().description
                                            : std::string("The item was not moved to the Trash.");
        if (!failureLines.empty()) {
            failureLines += "\n";
        }
        failureLines.append(escapingForOutput(lastPathComponent(item)))
            .append(localized("："))
            .append(description);
        writeLog(std::string("trash failed ").append(item).append(": ").append(description));
    }
    if (!notBegun.empty()) {
        writeLog("trash stopped, left in place: " + listForm(notBegun));
    }
    if (!trashed.empty()) {
        ports_.workspace.itemsTrashed(trashed);
    }
    if (!failureLines.empty()) {
        showAlert(localized("部分项目移到废纸篓失败：\n\n") + failureLines);
    }
}

}  // namespace quenta
