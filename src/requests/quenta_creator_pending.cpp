// Interim handlers for the commands whose file operations are being built; they report the request
// as not yet supported instead of pretending to succeed.
#include "requests/quenta_creator.hpp"

namespace quenta {

void QuentaCreator::pasteCutItems(const std::string& folder) {
    writeLog("paste cut to " + folder);
    showAlert("粘贴请求无效。");
}

void QuentaCreator::trashItems(const std::vector<std::string>& items) {
    (void)items;
    showAlert("移到废纸篓请求无效。");
}

void QuentaCreator::openTerminal(const std::string& folder) {
    writeLog("open terminal in " + folder);
    showAlert("打开终端失败。\n\n目录：" + folder);
}

}  // namespace quenta
