// Every address predicate and rewriter, on arbitrary texts.
#include "app/constantes.h"
#include "connexion/session.h"
#include "reseau/ouverture_box.h"
#include "web/adresses.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* donnees, std::size_t taille) {
    const std::string texte(reinterpret_cast<const char*>(donnees), taille);
    const std::optional<std::string> url = texte;

    (void)ovrel::estHoteOvrel(texte);
    (void)ovrel::estIPv4Privee(texte);
    const bool autorise = ovrel::hoteAutorise(texte);
    (void)ovrel::estMesOvrels(url);
    if (auto id = ovrel::idDeConfigurer(url))
        if (id->size() != 36) __builtin_trap();
    if (auto serie = ovrel::serieDeConfigurer(url))
        if (ovrel::serieNormalisee(*serie).empty()) __builtin_trap();
    if (auto serie = ovrel::serieAOuvrir(texte))
        if (ovrel::serieNormalisee(*serie).empty()) __builtin_trap();
    (void)ovrel::estPieceJointe(url);
    if (ovrel::estFicheEtiquette(url) && !autorise) __builtin_trap();
    (void)ovrel::quitteLaFiche(url, texte, std::string("post"), false, true);
    (void)ovrel::quitteLaFiche(url, texte + "#a", std::nullopt, true, true);
    if (ovrel::quitteLaFiche(url, texte, std::nullopt, true, false)) __builtin_trap();
    // What goes to the log never keeps a query nor a fragment.
    const std::string journal = ovrel::adresseSansSecret(url);
    if (journal.find('?') != std::string::npos && journal != "?") __builtin_trap();
    if (journal.find('#') != std::string::npos) __builtin_trap();
    (void)ovrel::adresseSansAncre(texte);

    if (auto adresse = ovrel::adresseBoxNettoyee(texte)) {
        if (adresse->empty() || adresse->find(':') == std::string::npos) __builtin_trap();
        (void)ovrel::urlSessionBox(*adresse, "jeton");
    }
    (void)ovrel::jetonDeRedirection(url);
    (void)ovrel::serieDeTunnel(texte);
    (void)ovrel::scriptRenouvellement(url);
    return 0;
}
