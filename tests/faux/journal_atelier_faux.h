// The workshop's log window for tests: what it shows now, and how often it was opened.
#pragma once

#include "atelier/journal_atelier.h"

#include <string>

namespace ovrel {

class JournalAtelierFaux final : public JournalAtelier {
public:
    void ouvrir(const std::string& t) override {
        titre = t;
        texte.clear();
        ++ouvertures;
    }
    void ecrire(const std::string& t) override {
        if (ouvertures > 0) texte += t;
    }

    std::string titre;
    std::string texte;
    int ouvertures = 0;
};

}  // namespace ovrel
