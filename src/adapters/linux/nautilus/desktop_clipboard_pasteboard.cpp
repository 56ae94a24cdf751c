#include "adapters/linux/nautilus/desktop_clipboard_pasteboard.hpp"

#include "core/shared/shared_names.hpp"

#include <gdk/gdk.h>

#include <array>
#include <memory>
#include <string>

namespace quenta::linux_platform {
namespace {

// What the clipboard's asynchronous answers update: shared with them, so an answer arriving after
// the pasteboard is gone changes nothing.
struct SeenCut {
    std::optional<Pasteboard::DesktopCut> cut;
    // Bumped by every change; an answer to an older read is dropped.
    unsigned generation = 0;
    // The content of our last cut, compared by address only.
    const void* ownContent = nullptr;
};

using SeenRef = std::weak_ptr<SeenCut>;

struct PendingRead {
    SeenRef seen;
    unsigned generation;
    bool ours;
};

GdkContentProvider* bytesProvider(std::string_view mimeType, const std::string& text) {
    GBytes* bytes = g_bytes_new(text.data(), text.size());
    GdkContentProvider* provider = gdk_content_provider_new_for_bytes(mimeType.data(), bytes);
    g_bytes_unref(bytes);
    return provider;
}

// Everything the clipboard holds may be kept by the clipboard manager after Nautilus exits.
void storeForManager(GdkClipboard* clipboard) {
    gdk_clipboard_store_async(
        clipboard, G_PRIORITY_DEFAULT, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer) {
            // Without a clipboard manager there is nothing to store to; the text stays ours.
            GError* error = nullptr;
            if (gdk_clipboard_store_finish(GDK_CLIPBOARD(source), result, &error) == FALSE) {
                g_error_free(error);
            }
        },
        nullptr);
}

class Gtk4DesktopClipboard : public DesktopClipboard {
  public:
    explicit Gtk4DesktopClipboard(GdkClipboard* clipboard) : clipboard_(clipboard) {
        handler_ = g_signal_connect_data(
            clipboard_, "changed", G_CALLBACK(onChanged), new SeenRef(seen_),
            +[](gpointer ref, GClosure*) { delete static_cast<SeenRef*>(ref); }, GConnectFlags{});
        refresh(clipboard_, seen_);
    }
    ~Gtk4DesktopClipboard() override { g_signal_handler_disconnect(clipboard_, handler_); }
    Gtk4DesktopClipboard(const Gtk4DesktopClipboard&) = delete;
    Gtk4DesktopClipboard& operator=(const Gtk4DesktopClipboard&) = delete;

    void offerText(std::string_view text) override {
        const std::string terminated(text);
        gdk_clipboard_set_text(clipboard_, terminated.c_str());
        storeForManager(clipboard_);
        ++seen_->generation;
        seen_->cut.reset();
    }

    void offerCut(const FileCutForms& forms) override {
        GValue text = G_VALUE_INIT;
        g_value_init(&text, G_TYPE_STRING);
        g_value_set_string(&text, forms.plainText.c_str());
        std::array<GdkContentProvider*, 5> providers{
            bytesProvider(kGnomeCopiedFilesTarget, forms.gnomeCopiedFiles),
            bytesProvider(kMateCopiedFilesTarget, forms.gnomeCopiedFiles),
            bytesProvider(kUriListTarget, forms.uriList),
            bytesProvider(names::kCutPathsPasteboardType, forms.cutPaths),
            gdk_content_provider_new_for_value(&text),
        };
        g_value_unset(&text);
        GdkContentProvider* content =
            gdk_content_provider_new_union(providers.data(), providers.size());
        gdk_clipboard_set_content(clipboard_, content);
        seen_->ownContent = content;
        g_object_unref(content);
        storeForManager(clipboard_);
        ++seen_->generation;
        seen_->cut = Pasteboard::DesktopCut{
            pathsOfGnomeCut(forms.gnomeCopiedFiles).value_or(std::vector<std::string>{}), true};
    }

    [[nodiscard]] std::optional<Pasteboard::DesktopCut> cut() const override { return seen_->cut; }

    void endCut() override {
        if (!seen_->cut) {
            return;
        }
        gdk_clipboard_set_content(clipboard_, nullptr);
        ++seen_->generation;
        seen_->cut.reset();
    }

  private:
    static void onChanged(GdkClipboard* clipboard, gpointer ref) {
        if (const auto seen = static_cast<SeenRef*>(ref)->lock()) {
            refresh(clipboard, seen);
        }
    }

    // Reads the cut of files where the clipboard offers one, with the formats a local content
    // provider can be serialized to; the answer comes through the main loop.
    static void refresh(GdkClipboard* clipboard, const std::shared_ptr<SeenCut>& seen) {
        const unsigned generation = ++seen->generation;
        // Nautilus's own content is not read back inside Nautilus: a read of its Cut from within
        // its "changed" emission left the window unresponsive (GNOME Files 43 under Xvfb). Only
        // our own content counts there; a cut made in another process is read below.
        if (gdk_clipboard_is_local(clipboard) != FALSE) {
            if (gdk_clipboard_get_content(clipboard) != seen->ownContent) {
                seen->cut.reset();
            }
            return;
        }
        GdkContentFormats* formats = gdk_content_formats_union_serialize_mime_types(
            gdk_content_formats_ref(gdk_clipboard_get_formats(clipboard)));
        const bool hasCut =
            gdk_content_formats_contain_mime_type(formats, kGnomeCopiedFilesTarget.data()) != FALSE;
        const std::string cutType(names::kCutPathsPasteboardType);
        const bool ours = gdk_content_formats_contain_mime_type(formats, cutType.c_str()) != FALSE;
        gdk_content_formats_unref(formats);
        if (!hasCut) {
            seen->cut.reset();
            return;
        }
        static std::array<const char*, 2> kMimeTypes{kGnomeCopiedFilesTarget.data(), nullptr};
        gdk_clipboard_read_async(
            clipboard, kMimeTypes.data(), G_PRIORITY_DEFAULT, nullptr,
            [](GObject* source, GAsyncResult* result, gpointer data) {
                std::unique_ptr<PendingRead> read(static_cast<PendingRead*>(data));
                GInputStream* stream =
                    gdk_clipboard_read_finish(GDK_CLIPBOARD(source), result, nullptr, nullptr);
                if (stream == nullptr) {
                    return;
                }
                GOutputStream* memory = g_memory_output_stream_new_resizable();
                g_output_stream_splice_async(
                    memory, stream,
                    static_cast<GOutputStreamSpliceFlags>(G_OUTPUT_STREAM_SPLICE_CLOSE_SOURCE |
                                                          G_OUTPUT_STREAM_SPLICE_CLOSE_TARGET),
                    G_PRIORITY_DEFAULT, nullptr,
                    [](GObject* target, GAsyncResult* spliced, gpointer pending) {
                        std::unique_ptr<PendingRead> cutRead(static_cast<PendingRead*>(pending));
                        auto* output = G_OUTPUT_STREAM(target);
                        const gssize size = g_output_stream_splice_finish(output, spliced, nullptr);
                        const auto seenNow = cutRead->seen.lock();
                        if (size >= 0 && seenNow && seenNow->generation == cutRead->generation) {
                            auto* memoryOutput = G_MEMORY_OUTPUT_STREAM(target);
                            const std::string_view text(
                                static_cast<const char*>(
                                    g_memory_output_stream_get_data(memoryOutput)),
                                g_memory_output_stream_get_data_size(memoryOutput));
                            if (auto paths = pathsOfGnomeCut(text)) {
                                seenNow->cut =
                                    Pasteboard::DesktopCut{std::move(*paths), cutRead->ours};
                            } else {
                                seenNow->cut.reset();
                            }
                        }
                        g_object_unref(target);
                    },
                    read.release());
                g_object_unref(stream);
            },
            new PendingRead{seen, generation, ours});
    }

    GdkClipboard* clipboard_;
    std::shared_ptr<SeenCut> seen_ = std::make_shared<SeenCut>();
    gulong handler_ = 0;
};

std::unique_ptr<DesktopClipboard> desktopClipboard() {
    GdkDisplay* display = gdk_display_get_default();
    if (display == nullptr) {
        return nullptr;
    }
    return std::make_unique<Gtk4DesktopClipboard>(gdk_display_get_clipboard(display));
}

}  // namespace

DesktopClipboardPasteboard::DesktopClipboardPasteboard(Pasteboard& store)
    : ClipboardOfferingPasteboard(store, desktopClipboard()) {}

}  // namespace quenta::linux_platform
