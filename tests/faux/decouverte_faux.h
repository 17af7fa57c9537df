// The discovery port for tests: the test announces resolved services; it remembers what was
// browsed for and whether the browse runs.
#pragma once

#include "plateforme/decouverte.h"

#include <string>
#include <utility>

namespace ovrel {

class DecouverteFaux final : public Decouverte {
public:
    void chercher(const std::string& t, const std::string& d, SurResolu s) override {
        type = t;
        domaine = d;
        surResolu_ = std::move(s);
        enCours = true;
        ++demarrages;
    }
    void arreter() override { enCours = false; }

    // A service of the current browse resolves (as the adapter reports it, even after `arreter`).
    void resoudre(const std::string& hote, int port) {
        if (surResolu_) surResolu_(hote, port);
    }

    std::string type;
    std::string domaine;
    bool enCours = false;
    int demarrages = 0;

private:
    SurResolu surResolu_;
};

}  // namespace ovrel
