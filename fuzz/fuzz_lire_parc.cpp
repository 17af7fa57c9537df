// The fleet document, fresh and from the cache, and everything shown from it.
#include "sante/couleur_sante.h"
#include "sante/lecture_parc.h"
#include "sante/suivi_vu.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* donnees, std::size_t taille) {
    const std::string_view texte(reinterpret_cast<const char*>(donnees), taille);
    for (bool fiable : {true, false}) {
        auto lecture = ovrel::lireParc(texte, fiable);
        if (!lecture) continue;
        // The summary always has the five real colours and never the unknown one.
        if (lecture->sante.parCouleur.count(ovrel::CouleurSante::inconnue) != 0) __builtin_trap();
        if (!fiable && lecture->sante.connue) __builtin_trap();
        (void)ovrel::enteteParc(lecture->sante);
        (void)ovrel::compteursVisibles(lecture->sante);
        std::vector<ovrel::SuiviVu> suivis;
        for (const auto& ovrel : lecture->ovrels) {
            if (!fiable && ovrel.sante.connue) __builtin_trap();
            for (const auto& anomalie : ovrel.sante.anomalies) {
                (void)anomalie.consigne();
                (void)anomalie.quand("UTC");
                if (anomalie.action && (anomalie.action->libelle.empty() || anomalie.action->href.empty()))
                    __builtin_trap();
            }
            suivis.push_back({suivis.size(), ovrel.sante.vuLe, ovrel.sante.vuIlYaS});
        }
        const ovrel::Instant maintenant{std::chrono::seconds(1'800'000'000)};
        for (const auto& vu : ovrel::rafraichirVus(maintenant, ovrel::Instant::min(), suivis))
            if (vu.texte.empty() || vu.texte == "vu il y a ") __builtin_trap();
    }
    return 0;
}
