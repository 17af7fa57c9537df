#include "app/gtk/fenetre_journal.h"

namespace ovrel {

std::string feuilleDeStyleJournal() {
    // A dark ground of its own whatever the theme, and the text white at 0.92.
    return "textview.ovrel-journal, textview.ovrel-journal text { background-color: rgb(18, 17, 15); "
           "color: rgba(235, 235, 235, 1); }\n";
}

FenetreJournal::FenetreJournal() {
    set_default_size(780, 460);
    set_resizable(true);
    set_deletable(true);
    // Closing it hides it: the next run shows the same window, emptied.
    set_hide_on_close(true);

    vue_.set_editable(false);
    vue_.set_cursor_visible(false);
    vue_.set_wrap_mode(Gtk::WrapMode::WORD_CHAR);
    vue_.set_left_margin(10);
    vue_.set_right_margin(10);
    vue_.set_top_margin(8);
    vue_.set_bottom_margin(8);
    vue_.add_css_class("ovrel-journal");
    gtk_accessible_update_property(GTK_ACCESSIBLE(vue_.gobj()), GTK_ACCESSIBLE_PROPERTY_LABEL,
                                   "Journal du rattachement", -1);

    auto tampon = vue_.get_buffer();
    style_ = tampon->create_tag();
    style_->property_family() = "monospace";
    style_->property_size_points() = 11.5;
    style_->property_weight() = Pango::Weight::NORMAL;
    style_->property_foreground_rgba() = Gdk::RGBA(0.92, 0.92, 0.92, 1.0);
    // Right gravity: the mark stays after every text appended, where the view scrolls to.
    fin_ = tampon->create_mark("fin", tampon->end(), false);

    defilement_.set_policy(Gtk::PolicyType::NEVER, Gtk::PolicyType::AUTOMATIC);
    defilement_.set_has_frame(false);
    defilement_.set_child(vue_);
    defilement_.set_expand(true);
    set_child(defilement_);

    // Ctrl+W or Escape hide it, as its close button does; the text stays selectable and Ctrl+C
    // copies it.
    auto raccourcis = Gtk::ShortcutController::create();
    raccourcis->set_scope(Gtk::ShortcutScope::LOCAL);
    auto fermer = Gtk::CallbackAction::create([this](Gtk::Widget&, const Glib::VariantBase&) {
        close();
        return true;
    });
    raccourcis->add_shortcut(Gtk::Shortcut::create(Gtk::ShortcutTrigger::parse_string("<Control>w|Escape"), fermer));
    add_controller(raccourcis);
}

void FenetreJournal::vider() { vue_.get_buffer()->set_text(""); }

void FenetreJournal::ajouter(const std::string& texte) {
    if (texte.empty()) return;
    auto tampon = vue_.get_buffer();
    tampon->insert_with_tag(tampon->end(), texte, style_);
    vue_.scroll_to(fin_);
}

std::string FenetreJournal::texte() const { return vue_.get_buffer()->get_text(); }

void JournalAtelierGtk::ouvrir(const std::string& titre) {
    if (!fenetre_) {
        fenetre_ = std::make_unique<FenetreJournal>();
        // Over the main window, where the window manager centres it.
        if (parent_) fenetre_->set_transient_for(*parent_);
    }
    fenetre_->set_title(titre);
    fenetre_->vider();
    fenetre_->present();
}

void JournalAtelierGtk::ecrire(const std::string& texte) {
    if (fenetre_) fenetre_->ajouter(texte);
}

}  // namespace ovrel
