// The window and its five screens for tests: which screen is shown, and every switch.
#pragma once

#include "plateforme/ecrans.h"

#include <optional>
#include <string>
#include <vector>

namespace ovrel {

class EcransFaux final : public Ecrans {
public:
    bool fenetreExiste() const override { return fenetre; }
    bool fenetreVisible() const override { return fenetre && visible; }
    std::optional<Ecran> affiche() const override {
        if (!fenetre) return std::nullopt;
        return ecran;
    }
    void afficher(Ecran e) override {
        historique.push_back(e);
        ecran = e;
    }

    bool aEtiquetteHabilitation() const override { return fenetre && etiquette.has_value(); }
    void ecrireEtiquetteHabilitation(const std::string& texte) override { etiquette = texte; }

    bool fenetre = true;
    // The status line of the local authorization; absent: the window has none.
    std::optional<std::string> etiquette;
    bool visible = true;
    Ecran ecran = Ecran::connexion;
    // Every screen asked for, in order.
    std::vector<Ecran> historique;
};

}  // namespace ovrel
