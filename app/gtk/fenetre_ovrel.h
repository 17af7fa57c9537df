// The one window of the application and its five screens, each a page of one Gtk::Stack:
// the sign-in screen, the fleet, the boxes of this network, the workshop (empty views until
// their screens are built) and the web container (a bar with the back button above the web
// view).
//
// Sizes given in points by the visual identity are logical pixels here, like the window's own
// 1440 × 920.
#pragma once

#include "app/gtk/geometrie_fenetre.h"
#include "app/gtk/vue_atelier.h"
#include "app/gtk/vue_box.h"
#include "app/gtk/vue_parc.h"

#include <gtkmm.h>

#include <functional>
#include <string>

namespace ovrel {

// A colour as the style sheet writes it.
std::string cssCouleur(const Couleur& couleur);
// The application's style sheet: identity colours, the screens' fonts and the web bar.
std::string feuilleDeStyleOvrel();
// Installs it for the whole display (once).
void installerStyleOvrel();

// The sign-in screen.
class VueConnexion final : public Gtk::Box {
public:
    VueConnexion();
    Gtk::Button& boutonConnexion() { return connexion_; }
    Gtk::Button& boutonHorsLigne() { return horsLigne_; }

private:
    Gtk::Box pile_{Gtk::Orientation::VERTICAL, 10};
    Gtk::Label titre_;
    Gtk::Label sousTitre_;
    Gtk::Box espace26_;
    Gtk::Button connexion_;
    Gtk::Label explication_;
    Gtk::Box espace10_;
    Gtk::Button horsLigne_;
    Gtk::Box espace22_;
};

// The web screen: a 46-pixel bar holding "‹  Retour", above the web view. The view comes after
// the window is first drawn; until then the screen shows the bar over the window's background.
class ConteneurWeb final : public Gtk::Box {
public:
    ConteneurWeb();
    Gtk::Button& boutonRetour() { return retour_; }
    // Puts the web view below the bar, filling the screen; a second view is refused (false).
    bool placerVueWeb(Gtk::Widget& vueWeb);
    bool aUneVueWeb() const { return vueWeb_ != nullptr; }

private:
    Gtk::Box barre_;
    Gtk::Button retour_;
    Gtk::Widget* vueWeb_ = nullptr;
};

class FenetreOvrel final : public Gtk::ApplicationWindow {
public:
    // Without an application (tests) the window stands alone. The web view is placed later, in
    // the web container.
    FenetreOvrel(const Glib::RefPtr<Gtk::Application>& application, const GeometrieFenetre& geometrie);
    ~FenetreOvrel() override;

    Gtk::Stack& pile() { return pile_; }
    VueConnexion& vueConnexion() { return vueConnexion_; }
    ConteneurWeb& conteneurWeb() { return conteneurWeb_; }
    VueParc& vueParc() { return vueParc_; }
    // The local authorization's status line on the screen of this network's boxes.
    Gtk::Label& etiquetteHabilitation() { return vueBox_.etiquetteHabilitation(); }
    VueBox& vueBox() { return vueBox_; }
    VueAtelier& vueAtelier() { return vueAtelier_; }

    // The size to save: the unmaximised size, and whether the window is maximised.
    GeometrieFenetre geometrie() const;
    // Runs each time the window becomes minimised.
    void surMiniaturisation(std::function<void()> action) { miniaturisation_ = std::move(action); }
    // Runs each time the window stops being minimised.
    void surRestauration(std::function<void()> action) { restauration_ = std::move(action); }
    // Runs `action` once, from the main loop, after the window's first frame has been drawn on
    // its mapped surface: work that would delay that frame (the web engine's start) waits for it.
    // A second call replaces an action that has not run yet; it never runs once the window is
    // gone.
    void apresPremiereImage(std::function<void()> action);

private:
    void suivreEtat();
    void quandPageChange();
    void guetterPremiereImage();
    void quandPeinte();
    void arreterGuet();

    std::function<void()> premiereImage_;
    // The frame clock watched for the first frame, and the handler on it.
    Glib::RefPtr<Gdk::FrameClock> horloge_;
    gulong peinture_ = 0;
    sigc::connection attentePremiereImage_;
    bool premiereImageFaite_ = false;

    Gtk::Stack pile_;
    VueConnexion vueConnexion_;
    VueParc vueParc_;
    VueBox vueBox_;
    VueAtelier vueAtelier_;
    ConteneurWeb conteneurWeb_;
    std::function<void()> miniaturisation_;
    std::function<void()> restauration_;
    bool miniaturisee_ = false;
};

}  // namespace ovrel
