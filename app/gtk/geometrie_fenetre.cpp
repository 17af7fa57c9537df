#include "app/gtk/geometrie_fenetre.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

namespace ovrel {

namespace {

std::optional<int> cote(const Preferences& preferences, std::string_view cle, int minimum) {
    const auto valeur = preferences.nombre(cle);
    if (!valeur || !std::isfinite(*valeur) || *valeur < 1 || *valeur > COTE_MAX_FENETRE) return std::nullopt;
    return std::max(minimum, static_cast<int>(std::lround(*valeur)));
}

}  // namespace

GeometrieFenetre lireGeometrieFenetre(const Preferences& preferences) {
    GeometrieFenetre geometrie;
    if (auto largeur = cote(preferences, CLE_LARGEUR_FENETRE, LARGEUR_MIN_FENETRE)) geometrie.largeur = *largeur;
    if (auto hauteur = cote(preferences, CLE_HAUTEUR_FENETRE, HAUTEUR_MIN_FENETRE)) geometrie.hauteur = *hauteur;
    const auto maximisee = preferences.nombre(CLE_MAXIMISEE_FENETRE);
    geometrie.maximisee = maximisee && *maximisee == 1.0;
    return geometrie;
}

bool enregistrerGeometrieFenetre(Preferences& preferences, const GeometrieFenetre& geometrie) {
    return preferences.ecrire({
        {std::string(CLE_LARGEUR_FENETRE), ValeurPreference(static_cast<double>(geometrie.largeur))},
        {std::string(CLE_HAUTEUR_FENETRE), ValeurPreference(static_cast<double>(geometrie.hauteur))},
        {std::string(CLE_MAXIMISEE_FENETRE), ValeurPreference(geometrie.maximisee ? 1.0 : 0.0)},
    });
}

}  // namespace ovrel
