#include "sante/memoire_parc.h"

#include <cmath>
#include <vector>

namespace ovrel::MemoireParc {

bool enregistrer(Preferences& preferences, std::string_view donnees, Instant maintenant) {
    std::vector<Modification> lot;
    lot.push_back({std::string(CLE_CACHE), ValeurPreference{Octets{std::string(donnees)}}});
    lot.push_back({std::string(CLE_CACHE_LE), ValeurPreference{secondesDepuis1970(maintenant)}});
    return preferences.ecrire(lot);
}

std::optional<std::string> relire(const Preferences& preferences) {
    return preferences.octets(CLE_CACHE);
}

std::optional<Instant> date(const Preferences& preferences) {
    const double secondes = preferences.nombre(CLE_CACHE_LE).value_or(0.0);
    if (!std::isfinite(secondes) || !(secondes > 0)) return std::nullopt;
    return instantDepuis1970(secondes);
}

bool effacer(Preferences& preferences) {
    return preferences.ecrire({Modification{std::string(CLE_CACHE), std::nullopt},
                               Modification{std::string(CLE_CACHE_LE), std::nullopt}});
}

}  // namespace ovrel::MemoireParc
