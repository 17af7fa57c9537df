// A stand-in default browser for the tests: a desktop entry, installed in a test's own XDG data
// folder and made the default handler of http and https in its own XDG config folder, whose
// program only writes each address it is given, one per line, to a file.
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>

namespace ovrel::essais {

class NavigateurEssai {
public:
    // `donnees` and `config` are the folders that XDG_DATA_HOME and XDG_CONFIG_HOME name.
    // `autres` are further schemes given to desktop entries of their own, as
    // {scheme, "Path=" folder}: their program starts in that folder (a missing folder makes the
    // launch fail once the handler was found).
    NavigateurEssai(const std::filesystem::path& donnees, const std::filesystem::path& config,
                    const std::vector<std::pair<std::string, std::string>>& autres = {})
        : journal_(donnees / "navigateur-essai.txt") {
        namespace fs = std::filesystem;
        fs::create_directories(donnees / "applications");
        fs::create_directories(config);
        const fs::path programme = donnees / "navigateur-essai.sh";
        {
            std::ofstream f(programme);
            f << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << journal_.string() << "'\n";
        }
        ::chmod(programme.c_str(), 0755);
        std::string defauts = "[Default Applications]\n";
        auto entree = [&](const std::string& nom, const std::string& types, const std::string& dossier) {
            std::ofstream f(donnees / "applications" / (nom + ".desktop"));
            f << "[Desktop Entry]\nType=Application\nName=" << nom << "\nExec=" << programme.string()
              << " %u\nMimeType=" << types << "\n";
            if (!dossier.empty()) f << "Path=" << dossier << "\n";
        };
        entree("navigateur-essai", "x-scheme-handler/http;x-scheme-handler/https;", "");
        defauts += "x-scheme-handler/http=navigateur-essai.desktop\nx-scheme-handler/https=navigateur-essai.desktop\n";
        for (const auto& [schema, dossier] : autres) {
            entree("essai-" + schema, "x-scheme-handler/" + schema + ";", dossier);
            defauts += "x-scheme-handler/" + schema + "=essai-" + schema + ".desktop\n";
        }
        std::ofstream(config / "mimeapps.list") << defauts;
    }

    // The addresses the browser was given so far, in order.
    std::vector<std::string> ouvertes() const {
        std::vector<std::string> lignes;
        std::ifstream f(journal_);
        for (std::string ligne; std::getline(f, ligne);)
            if (!ligne.empty()) lignes.push_back(ligne);
        return lignes;
    }

    // Waits (without running any main loop: the browser is another process) until it was given
    // `nombre` addresses; the addresses it has then.
    std::vector<std::string> attendre(std::size_t nombre, std::chrono::milliseconds delai) const {
        const auto fin = std::chrono::steady_clock::now() + delai;
        auto lignes = ouvertes();
        while (lignes.size() < nombre && std::chrono::steady_clock::now() < fin) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            lignes = ouvertes();
        }
        return lignes;
    }

private:
    std::filesystem::path journal_;
};

}  // namespace ovrel::essais
