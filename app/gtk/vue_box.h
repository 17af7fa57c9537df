// The screen of the boxes of this network, "OVRELS DE CE RÉSEAU": one button per box found, the
// search restarted on demand, an address to type, and the local authorization's status line.
#pragma once

#include "reseau/ecran_box.h"

#include <gtkmm.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace ovrel {

std::string feuilleDeStyleBox();

class VueBox final : public Gtk::Overlay, public EcranBox {
public:
    VueBox();

    // What the user's gestures call.
    std::function<void(std::size_t indice)> surOuvrir;
    std::function<void()> surOuvrirAdresse;

    Gtk::Button& boutonParc() { return parc_; }
    Gtk::Button& boutonActualiser() { return actualiser_; }
    Gtk::Button& boutonOuvrirAdresse() { return ouvrirAdresse_; }
    Gtk::Entry& champBox() { return champ_; }
    Gtk::Label& etiquetteHabilitation() { return habilitation_; }
    // The box buttons shown, in order (none while the waiting label shows).
    std::vector<Gtk::Button*> boutonsBox();

    // EcranBox
    bool construit() const override { return true; }
    void afficherListe(const std::vector<std::string>& titres) override;
    std::string adresseSaisie() const override { return champ_.get_text(); }
    void ecrireAdresse(const std::string& adresse) override { champ_.set_text(adresse); }

private:
    Gtk::Button parc_;
    Gtk::Box pile_{Gtk::Orientation::VERTICAL, 10};
    Gtk::Label titre_;
    Gtk::Label sousTitre_;
    Gtk::Box espace18_;
    Gtk::Box liste_{Gtk::Orientation::VERTICAL, 8};
    Gtk::Box espace4_;
    Gtk::Button actualiser_;
    Gtk::Box espace16_;
    Gtk::Label ou_;
    Gtk::Box espace4b_;
    Gtk::Entry champ_;
    Gtk::Button ouvrirAdresse_;
    Gtk::Box espace18b_;
    Gtk::Label habilitation_;
    Gtk::Box espace10_;
};

// The screen as the application object's port, for the window that comes after the object.
class EcranBoxGtk final : public EcranBox {
public:
    void attacher(VueBox* vue) { vue_ = vue; }
    bool construit() const override { return vue_ != nullptr; }
    void afficherListe(const std::vector<std::string>& titres) override {
        if (vue_) vue_->afficherListe(titres);
    }
    std::string adresseSaisie() const override { return vue_ ? vue_->adresseSaisie() : std::string(); }
    void ecrireAdresse(const std::string& adresse) override {
        if (vue_) vue_->ecrireAdresse(adresse);
    }

private:
    VueBox* vue_ = nullptr;
};

}  // namespace ovrel
