// The legacy-attach tool's output: the first line is the typed address, the rest the output.
#include "atelier/rattachement.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* donnees, std::size_t taille) {
    std::string_view texte(reinterpret_cast<const char*>(donnees), taille);
    const auto saut = texte.find('\n');
    const std::string_view adresse = texte.substr(0, saut);
    const std::string_view sortie = saut == std::string_view::npos ? std::string_view{} : texte.substr(saut + 1);
    const auto decision = ovrel::lireCompteRendu(adresse, sortie);
    if (decision.titre.empty() && decision.issue != ovrel::IssueRattachement::aFabriquer) __builtin_trap();
    if (decision.issue == ovrel::IssueRattachement::aFabriquer) {
        if (!decision.box || decision.box->port != 8000 || decision.box->empreinte.empty()) __builtin_trap();
    }
    (void)ovrel::hoteDeLAdresse(adresse);
    return 0;
}
