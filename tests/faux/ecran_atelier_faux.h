// The workshop screen for tests: what it was last given.
#pragma once

#include "atelier/ecran_atelier.h"

#include <optional>
#include <string>
#include <vector>

namespace ovrel {

class EcranAtelierFaux final : public EcranAtelier {
public:
    bool construit() const override { return estConstruit; }
    void afficherListe(const std::vector<LigneAtelier>& l) override { lignes = l; }
    void ecrireEtiquette(const std::string& t) override { etiquette = t; }
    std::string adresseAncien() const override { return ancien; }
    void ecrireAdresseAncien(const std::string& a) override { ancien = a; }
    void activerRattacher(bool actif) override { rattacherActif = actif; }

    bool estConstruit = true;
    std::optional<std::vector<LigneAtelier>> lignes;
    std::string etiquette;
    std::string ancien;
    bool rattacherActif = true;
};

}  // namespace ovrel
