// The native fleet screen on GTK 4: the header (title, subtitle, headline, colour counters), a
// search field, the list of boxes and the buttons below it, then the status line. The list is a
// Gtk::ListView over the rows' view models: only the rows on view have widgets, a new list swaps
// the model, and the seen labels refresh only where they are seen. Everything it shows comes
// from the application object through EcranParc; it keeps to itself only the list's filter.
#pragma once

#include "parc/ecran_parc.h"

#include <gtkmm.h>

#include <cstddef>
#include <functional>
#include <map>
#include <set>
#include <deque>
#include <string>
#include <vector>

namespace ovrel {

// A health dot with its soft halo, or an empty ring for an unknown health.
class PointSante final : public Gtk::DrawingArea {
public:
    explicit PointSante(CouleurSante couleur = CouleurSante::inconnue, double diametre = 10);
    void definirCouleur(CouleurSante couleur);
    CouleurSante couleur() const { return couleur_; }

private:
    CouleurSante couleur_;
    double diametre_;
};

// A box's health badge: dot, word, number of anomalies and the disclosure mark; a click opens or
// closes the row's anomalies.
class VuePastille final : public Gtk::Button {
public:
    VuePastille();
    void definir(const PastilleModele& modele);
    // The tooltip it gives when the pointer asks.
    const std::string& infobulle() const { return infobulle_; }

private:
    std::optional<CouleurSante> couleur_;
    std::string infobulle_;
    Gtk::Box ligne_{Gtk::Orientation::HORIZONTAL, 5};
    PointSante point_;
    Gtk::Label mot_;
    Gtk::Label compte_;
    Gtk::Label marque_;
};

// The style sheet of the fleet screen (badge borders per colour included).
std::string feuilleDeStyleParc();

// A label's colour, alpha included, as text attributes: they win over the style sheet and cost
// nothing to change each second.
void colorer(Gtk::Label& etiquette, const Couleur& couleur);

class LigneParcGtk;

class VueParc final : public Gtk::Box, public EcranParc {
public:
    VueParc();
    ~VueParc() override;

    // What the user's gestures call.
    std::function<void(std::size_t indice)> surConfigurer;
    std::function<void(const std::string& id)> surBasculer;
    std::function<void(std::size_t action)> surAgir;
    // Rows came on view: their seen labels want the current age.
    std::function<void()> surNouvellesLignes;

    Gtk::Button& boutonActualiser() { return actualiser_; }
    Gtk::Button& boutonAjouter() { return ajouter_; }
    Gtk::Button& boutonReseau() { return reseau_; }
    Gtk::SearchEntry& recherche() { return recherche_; }
    // The rows shown once the filter is applied, in order (their index in the list).
    std::vector<std::size_t> lignesFiltrees() const;
    const FiltreParc& filtre() const { return filtre_; }
    void filtrerCouleur(std::optional<CouleurSante> couleur);

    // EcranParc
    bool construit() const override { return true; }
    void afficherEntete(const EnteteParcModele& entete) override;
    void afficherListe(ListeParcModele liste) override;
    std::vector<std::size_t> lignesVisibles() const override;
    void afficherVus(const std::vector<AffichageVu>& vus) override;
    void actionEnCours(std::size_t action, bool enCours) override;

private:
    friend class LigneParcGtk;
    void lier(LigneParcGtk& ligne, std::size_t indice);
    void delier(LigneParcGtk& ligne);
    bool aLEcran(LigneParcGtk& ligne) const;
    void lierLesPerimees(double marge, std::size_t auPlus);
    void appliquerFiltre();
    bool garder(const char* indice) const;
    void majCompteurs();

    Gtk::Box entete_{Gtk::Orientation::VERTICAL, 4};
    Gtk::Label titre_;
    Gtk::Label sousTitre_;
    Gtk::Box espace4_;
    Gtk::Label attention_;
    Gtk::Box compteurs_{Gtk::Orientation::HORIZONTAL, 16};
    Gtk::SearchEntry recherche_;
    Gtk::Stack contenu_;
    Gtk::Label vide_;
    Gtk::ScrolledWindow defilement_;
    Gtk::ListView liste_;
    Gtk::Box boutons_{Gtk::Orientation::HORIZONTAL, 10};
    Gtk::Button actualiser_;
    Gtk::Button ajouter_;
    Gtk::Button reseau_;
    Gtk::Box pied_{Gtk::Orientation::VERTICAL, 3};
    Gtk::Label statut_;
    Gtk::Label version_;

    Glib::RefPtr<Gtk::StringList> modele_;
    Glib::RefPtr<Gtk::Filter> filtreGtk_;
    Glib::RefPtr<Gtk::FilterListModel> filtreModele_;

    ListeParcModele donnees_;
    EnteteParcModele enteteDonnees_;
    FiltreParc filtre_;
    FiltrePrepare filtrePrepare_;
    std::vector<std::string> cles_;
    std::set<std::size_t> actionsEnCours_;
    // The rows that have widgets now, by their index in the list.
    std::map<std::size_t, LigneParcGtk*> liees_;
    // Rows with widgets that still show an older list: the list keeps widgets for a few hundred
    // rows, and laying out all of them again takes several frames. Those on view take the new list
    // at once, the others a few at a time when the main loop is idle, or as soon as a scroll
    // brings them near.
    std::set<std::size_t> perimees_;
    sigc::connection majPerimees_;
    sigc::connection rafraichissement_;
    // The lists new ones replaced, freed a slice per idle turn of the main loop: ten thousand rows
    // of texts take longer to free than a frame lasts, and nothing on screen waits for them.
    // (Freeing them on another thread made the frame wait on the allocator's lock instead.)
    std::deque<std::function<bool()>> rebut_;
    sigc::connection liberation_;
    template <class T>
    void jeterPeuAPeu(std::vector<T> elements);
    bool libererUneTranche();
};

// The fleet screen as the application object's port, for the window that comes after the object.
class EcranParcGtk final : public EcranParc {
public:
    void attacher(VueParc* vue) { vue_ = vue; }
    bool construit() const override { return vue_ != nullptr; }
    void afficherEntete(const EnteteParcModele& e) override {
        if (vue_) vue_->afficherEntete(e);
    }
    void afficherListe(ListeParcModele l) override {
        if (vue_) vue_->afficherListe(std::move(l));
    }
    std::vector<std::size_t> lignesVisibles() const override { return vue_ ? vue_->lignesVisibles() : std::vector<std::size_t>{}; }
    void afficherVus(const std::vector<AffichageVu>& v) override {
        if (vue_) vue_->afficherVus(v);
    }
    void actionEnCours(std::size_t a, bool e) override {
        if (vue_) vue_->actionEnCours(a, e);
    }

private:
    VueParc* vue_ = nullptr;
};

}  // namespace ovrel
