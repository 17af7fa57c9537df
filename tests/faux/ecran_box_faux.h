// The screen of this network's boxes for tests: what it was last given, and what the user typed.
#pragma once

#include "reseau/ecran_box.h"

#include <optional>
#include <string>
#include <vector>

namespace ovrel {

class EcranBoxFaux final : public EcranBox {
public:
    bool construit() const override { return estConstruit; }
    void afficherListe(const std::vector<std::string>& t) override {
        titres = t;
        ++reconstructions;
    }
    std::string adresseSaisie() const override { return adresse; }
    void ecrireAdresse(const std::string& a) override { adresse = a; }

    bool estConstruit = true;
    std::optional<std::vector<std::string>> titres;
    int reconstructions = 0;
    std::string adresse;
};

}  // namespace ovrel
