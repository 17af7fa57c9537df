// The designer's workshop screen, "ATELIER — FABRIQUER UNE BOX": one row per box of this network
// with its state and the gesture it allows, the search restarted on demand, the progress line,
// the attach of a legacy box, and the web console.
#pragma once

#include "atelier/ecran_atelier.h"

#include <gtkmm.h>

#include <functional>
#include <string>
#include <vector>

namespace ovrel {

std::string feuilleDeStyleAtelier();

class VueAtelier final : public Gtk::Box, public EcranAtelier {
public:
    VueAtelier();

    // A row's gesture button activates the application action of its gesture
    // ("app.fabriquerBoxAction" or "app.refaireEtiquetteAction") with the box's table key.
    static constexpr const char* ACTION_FABRIQUER = "app.fabriquerBoxAction";
    static constexpr const char* ACTION_REFAIRE_ETIQUETTE = "app.refaireEtiquetteAction";

    // "Rattacher cet Ovrel", or Return in the address field.
    std::function<void()> surRattacher;

    Gtk::Button& boutonActualiser() { return actualiser_; }
    Gtk::Button& boutonRattacher() { return rattacher_; }
    Gtk::Button& boutonConsole() { return console_; }

    // EcranAtelier
    bool construit() const override { return true; }
    void afficherListe(const std::vector<LigneAtelier>& lignes) override;
    // A spinner turns beside the progress line while it shows something.
    void ecrireEtiquette(const std::string& texte) override;
    std::string adresseAncien() const override { return champAncien_.get_text(); }
    void ecrireAdresseAncien(const std::string& adresse) override { champAncien_.set_text(adresse); }
    void activerRattacher(bool actif) override { rattacher_.set_sensitive(actif); }
    const Gtk::Spinner& roue() const { return roue_; }
    const Gtk::Box& liste() const { return liste_; }

private:
    Gtk::Box pile_{Gtk::Orientation::VERTICAL, 9};
    Gtk::Label marque_;
    Gtk::Label titre_;
    Gtk::Label explication_;
    Gtk::Box espace16_;
    Gtk::Box liste_{Gtk::Orientation::VERTICAL, 8};
    Gtk::Box espace4_;
    Gtk::Button actualiser_;
    Gtk::Box espace10_;
    Gtk::Box ligneEtiquette_{Gtk::Orientation::HORIZONTAL, 8};
    Gtk::Spinner roue_;
    Gtk::Label etiquette_;
    Gtk::Box espace16b_;
    Gtk::Label ancien_;
    Gtk::Box espace2_;
    Gtk::Label explicationAncien_;
    Gtk::Box espace4b_;
    Gtk::Entry champAncien_;
    Gtk::Button rattacher_;
    Gtk::Box espace12_;
    Gtk::Button console_;
    Gtk::Box espace12b_;
};

// The screen as the application object's port, for the window that comes after the object.
class EcranAtelierGtk final : public EcranAtelier {
public:
    void attacher(VueAtelier* vue) { vue_ = vue; }
    bool construit() const override { return vue_ != nullptr; }
    void afficherListe(const std::vector<LigneAtelier>& lignes) override {
        if (vue_) vue_->afficherListe(lignes);
    }
    void ecrireEtiquette(const std::string& texte) override {
        if (vue_) vue_->ecrireEtiquette(texte);
    }
    std::string adresseAncien() const override { return vue_ ? vue_->adresseAncien() : std::string(); }
    void ecrireAdresseAncien(const std::string& adresse) override {
        if (vue_) vue_->ecrireAdresseAncien(adresse);
    }
    void activerRattacher(bool actif) override {
        if (vue_) vue_->activerRattacher(actif);
    }

private:
    VueAtelier* vue_ = nullptr;
};

}  // namespace ovrel
