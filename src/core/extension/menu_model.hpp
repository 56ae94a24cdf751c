#pragma once

#include "ports/icons.hpp"

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace quenta {

// One item of a menu as a plain value that any host can render: a titled item with an action
// selector, a disabled header, a separator, or an item holding a submenu.
struct MenuItem {
    enum class Kind { item, header, separator };

    Kind kind = Kind::item;
    std::string title;
    std::string action;  // the selector; empty for none
    std::optional<MenuImage> image;
    std::optional<bool> enabled;  // none: the host's default (enabled)
    std::vector<MenuItem> submenu;

    [[nodiscard]] bool isEnabled() const { return enabled.value_or(true); }

    friend bool operator==(const MenuItem&, const MenuItem&) = default;
};

struct Menu {
    std::string title;
    std::vector<MenuItem> items;

    friend bool operator==(const Menu&, const Menu&) = default;
};

// The menu as an indented tree, one item a line: two blanks per level, the title, "  -> " and the
// selector for an item with an action, " (disabled)" for a disabled item, "--" for a separator.
std::string printMenu(const Menu& menu);

std::ostream& operator<<(std::ostream& out, const MenuItem& item);

// The item with the given selector anywhere in the tree, or null.
const MenuItem* findMenuItem(const Menu& menu, const std::string& action);

}  // namespace quenta
