// The one window of the application and its five screens, each a page of one Gtk::Stack:
// the sign-in screen, the fleet, the boxes of this network, the workshop (empty views until
// their screens are built) and the web container (a bar with the back button above the web
// view).
//
// Sizes given in points by the visual identity are logical pixels here, like the window's own
// 1440 × 920.
#pragma once

#include "app/gtk/geometrie_fenetre.h"

#include <gtkmm.h>

#include <functional>
#include <string>

namespace ovrel {

// The application's style sheet: identity colours, the sign-in screen's fonts and the web bar.
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

// The web screen: a 46-pixel bar holding "‹  Retour", above the web view.
class ConteneurWeb final : public Gtk::Box {
public:
    explicit ConteneurWeb(Gtk::Widget& vueWeb);
    Gtk::Button& boutonRetour() { return retour_; }

private:
    Gtk::Box barre_;
    Gtk::Button retour_;
};

class FenetreOvrel final : public Gtk::ApplicationWindow {
public:
    // `vueWeb` is the web view's widget; the window shows it in the web container. Without an
    // application (tests) the window stands alone.
    FenetreOvrel(const Glib::RefPtr<Gtk::Application>& application, Gtk::Widget& vueWeb,
                 const GeometrieFenetre& geometrie);

    Gtk::Stack& pile() { return pile_; }
    VueConnexion& vueConnexion() { return vueConnexion_; }
    ConteneurWeb& conteneurWeb() { return conteneurWeb_; }

    // The size to save: the unmaximised size, and whether the window is maximised.
    GeometrieFenetre geometrie() const;
    // Runs each time the window becomes minimised.
    void surMiniaturisation(std::function<void()> action) { miniaturisation_ = std::move(action); }

private:
    void suivreEtat();
    void quandPageChange();

    Gtk::Stack pile_;
    VueConnexion vueConnexion_;
    Gtk::Box vueParc_;
    Gtk::Box vueBox_;
    Gtk::Box vueAtelier_;
    ConteneurWeb conteneurWeb_;
    std::function<void()> miniaturisation_;
    bool miniaturisee_ = false;
};

}  // namespace ovrel
