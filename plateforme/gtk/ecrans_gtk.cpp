#include "plateforme/gtk/ecrans_gtk.h"

#include <gtkmm.h>

#include <array>
#include <string>
#include <utility>

namespace ovrel {

namespace {

constexpr std::array<std::pair<Ecran, std::string_view>, 5> NOMS{{
    {Ecran::connexion, "connexion"},
    {Ecran::parc, "parc"},
    {Ecran::box, "box"},
    {Ecran::atelier, "atelier"},
    {Ecran::web, "web"},
}};

}  // namespace

std::string_view EcransGtk::nom(Ecran ecran) {
    for (const auto& [e, n] : NOMS)
        if (e == ecran) return n;
    return {};
}

std::optional<Ecran> EcransGtk::depuisNom(std::string_view nom) {
    for (const auto& [e, n] : NOMS)
        if (n == nom) return e;
    return std::nullopt;
}

EcransGtk::~EcransGtk() { detacher(); }

void EcransGtk::attacher(Gtk::Window& fenetre, Gtk::Stack& pile, Gtk::Label* etiquetteHabilitation) {
    detacher();
    fenetre_ = &fenetre;
    pile_ = &pile;
    etiquette_ = etiquetteHabilitation;
    // GTK destroys the window when the application lets it go: from then on there is none.
    destruction_ = g_signal_connect_swapped(fenetre.gobj(), "destroy", G_CALLBACK(+[](gpointer moi) {
                                                auto* ecrans = static_cast<EcransGtk*>(moi);
                                                ecrans->destruction_ = 0;
                                                ecrans->fenetre_ = nullptr;
                                                ecrans->pile_ = nullptr;
                                                ecrans->etiquette_ = nullptr;
                                            }),
                                            this);
}

void EcransGtk::detacher() {
    if (fenetre_ && destruction_ != 0) g_signal_handler_disconnect(fenetre_->gobj(), destruction_);
    destruction_ = 0;
    fenetre_ = nullptr;
    pile_ = nullptr;
    etiquette_ = nullptr;
}

void EcransGtk::ecrireEtiquetteHabilitation(const std::string& texte) {
    if (etiquette_) etiquette_->set_text(texte);
}

bool EcransGtk::fenetreVisible() const {
    if (!fenetre_ || !fenetre_->get_mapped()) return false;
    GdkSurface* surface = gtk_native_get_surface(GTK_NATIVE(fenetre_->gobj()));
    if (surface && GDK_IS_TOPLEVEL(surface) &&
        (gdk_toplevel_get_state(GDK_TOPLEVEL(surface)) & GDK_TOPLEVEL_STATE_MINIMIZED))
        return false;
    return true;
}

std::optional<Ecran> EcransGtk::affiche() const {
    if (!fenetre_ || !pile_) return std::nullopt;
    return depuisNom(std::string(pile_->get_visible_child_name()));
}

void EcransGtk::afficher(Ecran ecran) {
    if (!pile_) return;
    const std::string page(nom(ecran));
    if (!pile_->get_child_by_name(page)) {
        g_warning("OVREL ÉCRAN: page absente: %s", page.c_str());
        return;
    }
    pile_->set_visible_child(page);
    if (changement_) changement_(ecran);
}

}  // namespace ovrel
