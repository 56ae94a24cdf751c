#include "adapters/linux/gtk/gtk_installer_window.hpp"

#include <gdk/gdkkeysyms.h>
#include <gtkmm/cssprovider.h>
#include <gtkmm/image.h>
#include <gtkmm/separator.h>
#include <gtkmm/shortcutcontroller.h>
#include <gtkmm/stylecontext.h>

#include <algorithm>
#include <string>

namespace quenta::linux_platform {
namespace {

// Text styles of the window, in the sizes of the platform the layout was drawn for (one point
// is one pixel at the usual 96 dpi).
constexpr const char* kStyleSheet = R"css(
.quenta-title2 { font-size: 17px; font-weight: 600; }
.quenta-headline { font-size: 13px; font-weight: 700; }
.quenta-callout { font-size: 12px; }
.quenta-monospaced { font-family: monospace; }
.quenta-secondary { color: alpha(currentColor, 0.55); }
.quenta-accent { color: @theme_selected_bg_color; }
.quenta-installer button { padding: 3px 10px; min-height: 22px; }
)css";

void installStyleSheet() {
    static bool installed = false;
    if (installed) {
        return;
    }
    installed = true;
    auto provider = Gtk::CssProvider::create();
    provider->load_from_data(kStyleSheet);
    Gtk::StyleContext::add_provider_for_display(Gdk::Display::get_default(), provider,
                                                GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
}

Gtk::Label* label(std::string_view text, std::initializer_list<const char*> classes) {
    auto* made = Gtk::make_managed<Gtk::Label>(std::string(text));
    made->set_xalign(0.0F);
    made->set_wrap(true);
    for (const char* name : classes) {
        made->add_css_class(name);
    }
    return made;
}

}  // namespace

GtkInstallerWindow::GtkInstallerWindow(Gtk::Application& application,
                                       std::unique_ptr<ContentView> view, Icons& icons)
    : application_(application), view_(std::move(view)), icons_(icons) {
    installStyleSheet();
    window_.set_title(view_->localized(ContentView::kTitle));
    window_.set_resizable(false);
    window_.set_deletable(true);
    window_.set_hide_on_close(true);
    window_.set_default_size(kContentWidth, kContentHeight);

    // The root: a vertical stack, spacing 18, inset 24 on every edge, 600 wide.
    auto* root = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 18);
    root->set_margin(24);
    root->set_size_request(kContentWidth - 2 * 24, kContentHeight - 2 * 24);

    // Header: the symbol and the title with its subtitle.
    auto* header = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 12);
    auto* symbol = Gtk::make_managed<Gtk::Image>();
    symbol->set_from_icon_name(iconName(ContentView::kHeaderSymbol));
    symbol->set_pixel_size(34);
    symbol->add_css_class("quenta-accent");
    symbol->set_valign(Gtk::Align::CENTER);
    header->append(*symbol);
    auto* titles = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 4);
    titles->set_valign(Gtk::Align::CENTER);
    titles->append(*label(view_->localized(ContentView::kTitle), {"quenta-title2"}));
    titles->append(
        *label(view_->localized(ContentView::kSubtitle), {"quenta-callout", "quenta-secondary"}));
    header->append(*titles);
    root->append(*header);

    root->append(*Gtk::make_managed<Gtk::Separator>(Gtk::Orientation::HORIZONTAL));

    // What the extension offers.
    auto* capabilities = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 10);
    capabilities->append(
        *label(view_->localized(ContentView::kCapabilitiesHeading), {"quenta-headline"}));
    auto* kinds = label(view_->localized(ContentView::kFileKinds),
                        {"quenta-callout", "quenta-monospaced", "quenta-secondary"});
    kinds->set_selectable(true);
    capabilities->append(*kinds);
    capabilities->append(*label(view_->localized(ContentView::kOtherCommands),
                                {"quenta-callout", "quenta-secondary"}));
    root->append(*capabilities);

    // The four commands.
    auto* commands = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 10);
    Gtk::Button* install = commandButton(ContentView::kInstallCommand);
    install->add_css_class("suggested-action");
    install->signal_clicked().connect([this] { view_->installOrRepair(); });
    commands->append(*install);
    Gtk::Button* registration = commandButton(ContentView::kRegisterCommand);
    registration->signal_clicked().connect([this] {
        ignoreResult(view_->registerExtension(true), "the view shows the outcome in an alert");
    });
    commands->append(*registration);
    Gtk::Button* settings = commandButton(ContentView::kSettingsCommand);
    settings->signal_clicked().connect([this] { view_->openExtensionsSettings(); });
    commands->append(*settings);
    Gtk::Button* restart = commandButton(ContentView::kRestartCommand);
    restart->signal_clicked().connect([this] { view_->restartFileManager(); });
    commands->append(*restart);
    root->append(*commands);

    root->append(*Gtk::make_managed<Gtk::Separator>(Gtk::Orientation::HORIZONTAL));

    // The update row: version, status, then the buttons at the trailing edge.
    auto* updates = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 10);
    updates->add_css_class("quenta-callout");
    auto* version = label(view_->currentVersionText(), {"quenta-secondary"});
    version->set_wrap(false);
    updates->append(*version);
    statusLabel_ = label("", {});
    statusLabel_->set_wrap(false);
    updates->append(*statusLabel_);
    auto* spacer = Gtk::make_managed<Gtk::Box>();
    spacer->set_hexpand(true);
    updates->append(*spacer);
    downloadButton_ = Gtk::make_managed<Gtk::Button>(view_->localized(ContentView::kDownloadLabel));
    downloadButton_->signal_clicked().connect([this] { view_->downloadNewVersion(); });
    updates->append(*downloadButton_);
    checkButton_ = Gtk::make_managed<Gtk::Button>(view_->localized(ContentView::kCheckLabel));
    checkButton_->signal_clicked().connect([this] { view_->checkForUpdates(); });
    updates->append(*checkButton_);
    root->append(*updates);

    window_.add_css_class("quenta-installer");
    window_.set_child(*root);
    window_.set_default_widget(*install);
    // The focus starts on the default command, not in the selectable text.
    window_.set_focus(*install);

    // Return runs the default command even while another button has the focus.
    auto shortcuts = Gtk::ShortcutController::create();
    shortcuts->set_propagation_phase(Gtk::PropagationPhase::CAPTURE);
    for (const guint key : {guint{GDK_KEY_Return}, guint{GDK_KEY_KP_Enter}}) {
        shortcuts->add_shortcut(Gtk::Shortcut::create(
            Gtk::KeyvalTrigger::create(key, Gdk::ModifierType(0)),
            Gtk::CallbackAction::create([this](Gtk::Widget&, const Glib::VariantBase&) {
                view_->installOrRepair();
                return true;
            })));
    }
    window_.add_controller(shortcuts);

    view_->setOnChange([this] { render(); });
    window_.signal_map().connect([this] { view_->appear(); });
    // gtkmm lets go of a window of the application whenever it is hidden: each show makes it the
    // application's again, so that hiding the application reaches it and alerts are modal over it.
    window_.signal_show().connect([this] { belongToApplication(); });
    belongToApplication();
    render();
}

GtkInstallerWindow::~GtkInstallerWindow() {
    view_->setOnChange({});
    application_.remove_window(window_);
}

void GtkInstallerWindow::belongToApplication() {
    const auto windows = application_.get_windows();
    if (std::find(windows.begin(), windows.end(), &window_) == windows.end()) {
        application_.add_window(window_);
    }
}

void GtkInstallerWindow::makeKeyAndOrderFront() {
    belongToApplication();
    window_.present();
}

void GtkInstallerWindow::orderOut() {
    window_.hide();
}

Gtk::Button* GtkInstallerWindow::commandButton(const ContentView::Command& command) {
    auto* content = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 6);
    auto* image = Gtk::make_managed<Gtk::Image>();
    image->set_from_icon_name(iconName(command.symbol));
    content->append(*image);
    content->append(*Gtk::make_managed<Gtk::Label>(view_->localized(command.label)));
    auto* button = Gtk::make_managed<Gtk::Button>();
    button->set_child(*content);
    return button;
}

std::string GtkInstallerWindow::iconName(std::string_view symbol) {
    const auto image = icons_.symbolImage(symbol, "");
    // The symbolic variant takes the text colour (and the accent colour where asked).
    return image ? image->iconName + "-symbolic" : std::string("image-missing");
}

void GtkInstallerWindow::render() {
    const UpdateStatusText status = view_->statusText();
    statusLabel_->set_text(status.text);
    statusLabel_->set_visible(status.style != UpdateStatusText::Style::none);
    statusLabel_->remove_css_class("quenta-secondary");
    statusLabel_->remove_css_class("quenta-accent");
    if (status.style == UpdateStatusText::Style::secondary) {
        statusLabel_->add_css_class("quenta-secondary");
    } else if (status.style == UpdateStatusText::Style::accent) {
        statusLabel_->add_css_class("quenta-accent");
    }
    downloadButton_->set_visible(view_->showsDownloadButton());
    checkButton_->set_sensitive(view_->checkButtonEnabled());
}

}  // namespace quenta::linux_platform
