// The workshop registry and the fabrication answer, from arbitrary bytes.
#include "atelier/atelier.h"
#include "atelier/fabrication.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* donnees, std::size_t taille) {
    const std::string_view texte(reinterpret_cast<const char*>(donnees), taille);
    if (auto registre = ovrel::lireParcAtelier(texte)) {
        for (const auto& [serie, fiche] : *registre)
            if (serie.empty() || fiche.id.empty()) __builtin_trap();
    }
    if (auto reponse = ovrel::lireReponseFabrication(200, texte)) {
        if (reponse->nom.empty() && !reponse->serie.empty()) __builtin_trap();
        (void)ovrel::corpsInjection(*reponse);
        (void)ovrel::urlFicheEtiquette(*reponse);
    }
    return 0;
}
