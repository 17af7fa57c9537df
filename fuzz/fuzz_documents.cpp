// The cloud's small JSON documents: the user, the local token, the update manifest.
#include "app/constantes.h"
#include "app/mise_a_jour.h"
#include "connexion/documents.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* donnees, std::size_t taille) {
    const std::string_view texte(reinterpret_cast<const char*>(donnees), taille);
    if (auto utilisateur = ovrel::lireDocumentUtilisateur(texte)) {
        (void)ovrel::routageAuLancement(*utilisateur);
        (void)ovrel::routageApresPage(*utilisateur);
    }
    if (auto jeton = ovrel::lireJetonLocal(texte))
        if (!std::isfinite(jeton->expire)) __builtin_trap();
    if (auto manifeste = ovrel::lireManifeste(texte)) {
        (void)ovrel::plusRecente(manifeste->version, ovrel::VERSION_APP);
        (void)ovrel::plusRecente(ovrel::VERSION_APP, manifeste->version);
    }
    return 0;
}
