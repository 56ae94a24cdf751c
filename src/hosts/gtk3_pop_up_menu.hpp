#pragma once

// The extension's menu as a GTK 3 pop-up at the pointer, for a GTK 3 host that draws the
// extension's toolbar button without its submenu and only activates it (Caja). Main thread only.
#include "core/extension/menu_model.hpp"

#include <gtk/gtk.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace quenta::hosts {

// Runs the selector of the item chosen.
using RunSelector = std::function<void(const std::string& selector)>;

namespace gtk3_pop_up {

struct Choice {
    std::string selector;
    std::shared_ptr<const RunSelector> run;
};

inline void chosen(GtkMenuItem*, gpointer data) {
    const auto* choice = static_cast<const Choice*>(data);
    (*choice->run)(choice->selector);
}

inline void forget(gpointer data, GClosure*) {
    delete static_cast<Choice*>(data);
}

// The model's items, in order, with disabled ones greyed (or left out with `omitDisabled`).
inline void fill(GtkMenuShell* shell, const std::vector<MenuItem>& items,
                 const std::shared_ptr<const RunSelector>& run, bool omitDisabled) {
    for (const auto& item : items) {
        if (item.kind == MenuItem::Kind::separator) {
            gtk_menu_shell_append(shell, gtk_separator_menu_item_new());
            continue;
        }
        if (omitDisabled && !item.action.empty() && !item.isEnabled()) {
            continue;
        }
        GtkWidget* rendered = gtk_menu_item_new_with_label(item.title.c_str());
        gtk_widget_set_sensitive(rendered, item.isEnabled() ? TRUE : FALSE);
        if (!item.submenu.empty()) {
            GtkWidget* submenu = gtk_menu_new();
            fill(GTK_MENU_SHELL(submenu), item.submenu, run, omitDisabled);
            gtk_menu_item_set_submenu(GTK_MENU_ITEM(rendered), submenu);
        }
        if (!item.action.empty()) {
            g_signal_connect_data(rendered, "activate", G_CALLBACK(chosen),
                                  new Choice{item.action, run}, forget,
                                  static_cast<GConnectFlags>(0));
        }
        gtk_menu_shell_append(shell, rendered);
    }
}

inline gboolean destroyLater(gpointer menu) {
    gtk_widget_destroy(GTK_WIDGET(menu));
    g_object_unref(menu);
    return G_SOURCE_REMOVE;
}

// The chosen item is activated after the menu has closed: it is destroyed only then.
inline void closed(GtkMenuShell* menu, gpointer) {
    g_idle_add(destroyLater, menu);
}

}  // namespace gtk3_pop_up

// Pops `items` up at the pointer, attached to the toplevel of `window` (a GtkWidget, may be
// null); `run` gets the selector of the item chosen.
inline void popUpGtk3Menu(const std::vector<MenuItem>& items, GObject* window, RunSelector run,
                          bool omitDisabled) {
    GtkWidget* popup = gtk_menu_new();
    gtk3_pop_up::fill(GTK_MENU_SHELL(popup), items,
                      std::make_shared<const RunSelector>(std::move(run)), omitDisabled);
    gtk_widget_show_all(popup);
    if (window != nullptr && GTK_IS_WIDGET(window)) {
        gtk_menu_attach_to_widget(GTK_MENU(popup), gtk_widget_get_toplevel(GTK_WIDGET(window)),
                                  nullptr);
    }
    g_object_ref_sink(popup);
    g_signal_connect(popup, "deactivate", G_CALLBACK(gtk3_pop_up::closed), nullptr);
    gtk_menu_popup_at_pointer(GTK_MENU(popup), nullptr);
}

}  // namespace quenta::hosts
