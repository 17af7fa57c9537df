// The desktop for tests: records the addresses opened in the browser, the files revealed and the
// log lines.
#pragma once

#include "plateforme/systeme.h"

#include <filesystem>
#include <string>
#include <vector>

namespace ovrel {

class SystemeFaux final : public Systeme {
public:
    bool ouvrirDansLeNavigateur(const std::string& url) override {
        ouvertes.push_back(url);
        return navigateurDisponible;
    }
    void reveler(const std::filesystem::path& fichier) override { reveles.push_back(fichier); }
    void journal(const std::string& ligne) override { lignes.push_back(ligne); }

    std::vector<std::string> ouvertes;
    bool navigateurDisponible = true;
    std::vector<std::filesystem::path> reveles;
    std::vector<std::string> lignes;
};

}  // namespace ovrel
