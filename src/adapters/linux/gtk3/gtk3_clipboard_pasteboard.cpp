#include "adapters/linux/gtk3/gtk3_clipboard_pasteboard.hpp"

#include "core/shared/shared_names.hpp"

#include <gtk/gtk.h>

#include <array>
#include <functional>
#include <memory>
#include <string>

namespace quenta::linux_platform {
namespace {

// What the GTK clipboard's asynchronous answers update: shared with them, so an answer arriving
// after the pasteboard is gone changes nothing.
struct SeenCut {
    std::optional<Pasteboard::DesktopCut> cut;
    // Bumped by every change; an answer to an older request is dropped.
    unsigned generation = 0;
    // Whether the clipboard holds an offer of ours (set by offerCut, cleared by its clear_func).
    bool ownsCut = false;
    std::function<void()> changed;

    // Takes what a read found, and tells when that differs from what was seen.
    void take(std::optional<Pasteboard::DesktopCut> found) {
        if (found == cut) {
            return;
        }
        cut = std::move(found);
        if (changed) {
            changed();
        }
    }
};

using SeenRef = std::weak_ptr<SeenCut>;

struct PendingRead {
    SeenRef seen;
    unsigned generation;
    bool ours;
};

enum TargetInfo : guint { kTextInfo, kGnomeInfo, kUriListInfo, kCutPathsInfo };

struct CutOffer {
    FileCutForms forms;
    SeenRef seen;
};

void provideCut(GtkClipboard* /*clipboard*/, GtkSelectionData* data, guint info, gpointer offer) {
    const FileCutForms& forms = static_cast<CutOffer*>(offer)->forms;
    const std::string* text = nullptr;
    switch (info) {
        case kTextInfo:
            gtk_selection_data_set_text(data, forms.plainText.c_str(),
                                        static_cast<gint>(forms.plainText.size()));
            return;
        case kGnomeInfo:
            text = &forms.gnomeCopiedFiles;
            break;
        case kUriListInfo:
            text = &forms.uriList;
            break;
        default:
            text = &forms.cutPaths;
            break;
    }
    gtk_selection_data_set(data, gtk_selection_data_get_target(data), 8,
                           reinterpret_cast<const guchar*>(text->data()),
                           static_cast<gint>(text->size()));
}

void releaseCut(GtkClipboard* /*clipboard*/, gpointer offer) {
    auto* cut = static_cast<CutOffer*>(offer);
    if (const auto seen = cut->seen.lock()) {
        seen->ownsCut = false;
    }
    delete cut;
}

class Gtk3DesktopClipboard : public DesktopClipboard {
  public:
    explicit Gtk3DesktopClipboard(GtkClipboard* clipboard) : clipboard_(clipboard) {
        handler_ = g_signal_connect_data(
            clipboard_, "owner-change", G_CALLBACK(onOwnerChange), new SeenRef(seen_),
            +[](gpointer ref, GClosure*) { delete static_cast<SeenRef*>(ref); }, GConnectFlags{});
        refresh(clipboard_, seen_);
    }
    ~Gtk3DesktopClipboard() override { g_signal_handler_disconnect(clipboard_, handler_); }
    Gtk3DesktopClipboard(const Gtk3DesktopClipboard&) = delete;
    Gtk3DesktopClipboard& operator=(const Gtk3DesktopClipboard&) = delete;

    void offerText(std::string_view text) override {
        const std::string terminated(text);
        gtk_clipboard_set_text(clipboard_, terminated.c_str(),
                               static_cast<gint>(terminated.size()));
        gtk_clipboard_set_can_store(clipboard_, nullptr, 0);
        ++seen_->generation;
        seen_->cut.reset();
    }

    void offerCut(const FileCutForms& forms) override {
        const std::string cutType(names::kCutPathsPasteboardType);
        const std::array<GtkTargetEntry, 4> own{{
            {const_cast<gchar*>(kGnomeCopiedFilesTarget.data()), 0, kGnomeInfo},
            {const_cast<gchar*>(kMateCopiedFilesTarget.data()), 0, kGnomeInfo},
            {const_cast<gchar*>(kUriListTarget.data()), 0, kUriListInfo},
            {const_cast<gchar*>(cutType.c_str()), 0, kCutPathsInfo},
        }};
        GtkTargetList* list = gtk_target_list_new(own.data(), own.size());
        gtk_target_list_add_text_targets(list, kTextInfo);
        gint count = 0;
        GtkTargetEntry* targets = gtk_target_table_new_from_list(list, &count);
        gtk_target_list_unref(list);
        auto* offer = new CutOffer{forms, seen_};
        if (gtk_clipboard_set_with_data(clipboard_, targets, static_cast<guint>(count), provideCut,
                                        releaseCut, offer) != FALSE) {
            gtk_clipboard_set_can_store(clipboard_, nullptr, 0);
            seen_->ownsCut = true;
        } else {
            delete offer;
        }
        gtk_target_table_free(targets, count);
        ++seen_->generation;
        seen_->cut = Pasteboard::DesktopCut{
            pathsOfGnomeCut(forms.gnomeCopiedFiles).value_or(std::vector<std::string>{}), true};
    }

    [[nodiscard]] std::optional<Pasteboard::DesktopCut> cut() const override { return seen_->cut; }
    void onCutChanged(const std::function<void()>& changed) override { seen_->changed = changed; }

    void endCut() override {
        if (!seen_->cut) {
            return;
        }
        if (seen_->ownsCut) {
            gtk_clipboard_clear(clipboard_);
        } else {
            // Another program's cut: the clipboard is left without an owner, as that program's
            // own paste leaves it.
            gdk_selection_owner_set_for_display(gtk_clipboard_get_display(clipboard_), nullptr,
                                                GDK_SELECTION_CLIPBOARD, GDK_CURRENT_TIME, TRUE);
        }
        ++seen_->generation;
        seen_->cut.reset();
    }

  private:
    static void onOwnerChange(GtkClipboard* clipboard, GdkEvent* /*event*/, gpointer ref) {
        if (const auto seen = static_cast<SeenRef*>(ref)->lock()) {
            refresh(clipboard, seen);
        }
    }

    // Asks for the targets, then for the cut of files where there is one; the answers come
    // through the main loop.
    static void refresh(GtkClipboard* clipboard, const std::shared_ptr<SeenCut>& seen) {
        const unsigned generation = ++seen->generation;
        gtk_clipboard_request_targets(
            clipboard,
            [](GtkClipboard* from, GdkAtom* atoms, gint count, gpointer data) {
                std::unique_ptr<PendingRead> read(static_cast<PendingRead*>(data));
                const auto state = read->seen.lock();
                if (!state || state->generation != read->generation) {
                    return;
                }
                const GdkAtom gnome = gdk_atom_intern_static_string(kGnomeCopiedFilesTarget.data());
                const GdkAtom mate = gdk_atom_intern_static_string(kMateCopiedFilesTarget.data());
                const std::string cutType(names::kCutPathsPasteboardType);
                const GdkAtom ours = gdk_atom_intern(cutType.c_str(), FALSE);
                GdkAtom cutTarget = GDK_NONE;
                for (gint i = 0; i < count; ++i) {
                    if (atoms[i] == gnome || (atoms[i] == mate && cutTarget == GDK_NONE)) {
                        cutTarget = atoms[i];
                    }
                    read->ours = read->ours || atoms[i] == ours;
                }
                if (cutTarget == GDK_NONE) {
                    state->take(std::nullopt);
                    return;
                }
                gtk_clipboard_request_contents(
                    from, cutTarget,
                    [](GtkClipboard*, GtkSelectionData* selection, gpointer pending) {
                        std::unique_ptr<PendingRead> cutRead(static_cast<PendingRead*>(pending));
                        const auto seenNow = cutRead->seen.lock();
                        if (!seenNow || seenNow->generation != cutRead->generation) {
                            return;
                        }
                        const gint length = gtk_selection_data_get_length(selection);
                        const guchar* bytes = gtk_selection_data_get_data(selection);
                        std::optional<std::vector<std::string>> paths;
                        if (length > 0 && bytes != nullptr) {
                            paths = pathsOfGnomeCut({reinterpret_cast<const char*>(bytes),
                                                     static_cast<std::size_t>(length)});
                        }
                        if (paths) {
                            seenNow->take(Pasteboard::DesktopCut{std::move(*paths), cutRead->ours});
                        } else {
                            seenNow->take(std::nullopt);
                        }
                    },
                    read.release());
            },
            new PendingRead{seen, generation, false});
    }

    GtkClipboard* clipboard_;
    std::shared_ptr<SeenCut> seen_ = std::make_shared<SeenCut>();
    gulong handler_ = 0;
};

std::unique_ptr<DesktopClipboard> desktopClipboard() {
    GdkDisplay* display = gdk_display_get_default();
    if (display == nullptr) {
        return nullptr;
    }
    return std::make_unique<Gtk3DesktopClipboard>(
        gtk_clipboard_get_for_display(display, GDK_SELECTION_CLIPBOARD));
}

}  // namespace

Gtk3ClipboardPasteboard::Gtk3ClipboardPasteboard(Pasteboard& store)
    : ClipboardOfferingPasteboard(store, desktopClipboard()) {}

}  // namespace quenta::linux_platform
