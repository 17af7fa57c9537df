// The fleet screen for tests: what it was last given, and which rows it says are on view.
#pragma once

#include "parc/ecran_parc.h"

#include <optional>
#include <set>

namespace ovrel {

class EcranParcFaux final : public EcranParc {
public:
    bool construit() const override { return estConstruit; }
    void afficherEntete(const EnteteParcModele& e) override { entete = e; }
    void afficherListe(ListeParcModele l) override {
        liste = std::move(l);
        ++reconstructions;
    }
    std::vector<std::size_t> lignesVisibles() const override {
        std::vector<std::size_t> v;
        for (std::size_t i = 0; liste && i < liste->lignes.size() && i < visibles; ++i) v.push_back(i);
        return v;
    }
    void afficherVus(const std::vector<AffichageVu>& v) override { vus = v; }
    void actionEnCours(std::size_t action, bool enCours) override {
        if (enCours) actionsEnCours.insert(action);
        else actionsEnCours.erase(action);
    }

    bool estConstruit = true;
    std::size_t visibles = 1000;  // how many rows, from the top, are on view
    std::optional<EnteteParcModele> entete;
    std::optional<ListeParcModele> liste;
    int reconstructions = 0;
    std::vector<AffichageVu> vus;
    std::set<std::size_t> actionsEnCours;
};

}  // namespace ovrel
