#include "core/extension/menu_model.hpp"

namespace quenta {
namespace {

void printItems(const std::vector<MenuItem>& items, int depth, std::string& out) {
    for (const auto& item : items) {
        out.append(static_cast<std::size_t>(depth) * 2, ' ');
        if (item.kind == MenuItem::Kind::separator) {
            out += "--\n";
            continue;
        }
        out += item.title;
        if (!item.action.empty()) {
            out += "  -> ";
            out += item.action;
        }
        if (!item.isEnabled()) {
            out += " (disabled)";
        }
        out += "\n";
        printItems(item.submenu, depth + 1, out);
    }
}

const MenuItem* findIn(const std::vector<MenuItem>& items, const std::string& action) {
    for (const auto& item : items) {
        if (item.action == action) {
            return &item;
        }
        if (const MenuItem* found = findIn(item.submenu, action)) {
            return found;
        }
    }
    return nullptr;
}

}  // namespace

std::string printMenu(const Menu& menu) {
    std::string out;
    printItems(menu.items, 0, out);
    return out;
}

std::ostream& operator<<(std::ostream& out, const MenuItem& item) {
    std::string text;
    printItems({item}, 0, text);
    return out << text;
}

const MenuItem* findMenuItem(const Menu& menu, const std::string& action) {
    return findIn(menu.items, action);
}

}  // namespace quenta
