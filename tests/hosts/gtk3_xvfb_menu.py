#!/usr/bin/python3
# Finds items of a file manager's open menus in the accessibility tree and acts on them, for the
# Xvfb tests of the GTK 3 file-manager modules.
#
# Usage: gtk3_xvfb_menu.py APPLICATION LABEL...   click the items with these labels, in turn (a
#                                                 submenu's holder opens it), within 10 s each
#        gtk3_xvfb_menu.py APPLICATION --enabled LABEL   whether the showing item is enabled
#        gtk3_xvfb_menu.py APPLICATION --button LABEL    print the tool tip of the showing
#                                                        push button with this label
#        gtk3_xvfb_menu.py APPLICATION --where LABEL     print "X Y", the screen position of the
#                                                        middle of that button, to click it
#        gtk3_xvfb_menu.py APPLICATION --dump     print the tree of showing menu items
# Exit status: 0 done (or enabled), 1 an item was not found, could not be clicked or is disabled.
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

MENU_ROLES = {Atspi.Role.MENU_ITEM, Atspi.Role.MENU, Atspi.Role.CHECK_MENU_ITEM,
              Atspi.Role.RADIO_MENU_ITEM}


def application(name):
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is not None and (app.get_name() or "").lower() == name.lower():
            return app
    return None


def menu_items(node, depth=0):
    """Every menu item under node, depth first, with its depth."""
    if node is None or depth > 40:
        return
    try:
        count = node.get_child_count()
    except gi.repository.GLib.Error:
        return
    for i in range(count):
        child = node.get_child_at_index(i)
        if child is None:
            continue
        if child.get_role() in MENU_ROLES:
            yield child, depth
        yield from menu_items(child, depth + 1)


def showing(item):
    states = item.get_state_set()
    return states.contains(Atspi.StateType.SHOWING)


def buttons(node, depth=0):
    """Every push button under node, depth first."""
    if node is None or depth > 40:
        return
    for i in range(node.get_child_count()):
        child = node.get_child_at_index(i)
        if child is None:
            continue
        if child.get_role() == Atspi.Role.PUSH_BUTTON:
            yield child
        yield from buttons(child, depth + 1)


def find(app_name, label):
    """The last showing item with the label: where the file manager's own item reads the same
    (its "Cut" in English), the extension's comes after it."""
    app = application(app_name)
    if app is None:
        return None
    found = None
    for item, _ in menu_items(app):
        if item.get_name() == label and showing(item):
            found = item
    return found


def click(item):
    try:
        return item.get_n_actions() > 0 and item.do_action(0)
    except gi.repository.GLib.Error:
        return False


def main():
    if len(sys.argv) < 3:
        print(__doc__ or "usage", file=sys.stderr)
        return 2
    app_name = sys.argv[1]
    if sys.argv[2] == "--dump":
        app = application(app_name)
        for item, depth in menu_items(app):
            if showing(item):
                print("  " * depth + (item.get_name() or ""))
        return 0
    if sys.argv[2] in ("--button", "--where") and len(sys.argv) == 4:
        for button in buttons(application(app_name)):
            if button.get_name() == sys.argv[3] and showing(button):
                if sys.argv[2] == "--where":
                    box = button.get_extents(Atspi.CoordType.SCREEN)
                    print(box.x + box.width // 2, box.y + box.height // 2)
                else:
                    print(button.get_description() or "")
                return 0
        print(f"no showing push button '{sys.argv[3]}' in {app_name}", file=sys.stderr)
        return 1
    if sys.argv[2] == "--enabled" and len(sys.argv) == 4:
        deadline = time.monotonic() + 10
        item = None
        while item is None and time.monotonic() < deadline:
            item = find(app_name, sys.argv[3])
            if item is None:
                time.sleep(0.2)
        if item is None:
            print(f"no showing menu item '{sys.argv[3]}' in {app_name}", file=sys.stderr)
            return 1
        return 0 if item.get_state_set().contains(Atspi.StateType.SENSITIVE) else 1
    for label in sys.argv[2:]:
        deadline = time.monotonic() + 10
        item = None
        while item is None and time.monotonic() < deadline:
            item = find(app_name, label)
            if item is None:
                time.sleep(0.2)
        if item is None:
            print(f"no showing menu item '{label}' in {app_name}", file=sys.stderr)
            return 1
        if not click(item):
            print(f"the menu item '{label}' could not be clicked", file=sys.stderr)
            return 1
        time.sleep(0.5)
    return 0


if __name__ == "__main__":
    sys.exit(main())
