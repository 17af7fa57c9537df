// The window's size and maximised state, kept in the user defaults between launches under the
// name "OvrelStudioFenetre". The window manager places the window itself, so only the size is
// remembered, not the position.
#pragma once

#include "plateforme/preferences.h"

#include <string_view>

namespace ovrel {

inline constexpr std::string_view NOM_FENETRE = "OvrelStudioFenetre";
inline constexpr std::string_view CLE_LARGEUR_FENETRE = "OvrelStudioFenetre.largeur";
inline constexpr std::string_view CLE_HAUTEUR_FENETRE = "OvrelStudioFenetre.hauteur";
inline constexpr std::string_view CLE_MAXIMISEE_FENETRE = "OvrelStudioFenetre.maximisee";

inline constexpr int LARGEUR_FENETRE = 1440;
inline constexpr int HAUTEUR_FENETRE = 920;
inline constexpr int LARGEUR_MIN_FENETRE = 1050;
inline constexpr int HAUTEUR_MIN_FENETRE = 640;
// Above this a stored size can only be damage: no screen is that large.
inline constexpr int COTE_MAX_FENETRE = 16384;

struct GeometrieFenetre {
    int largeur = LARGEUR_FENETRE;
    int hauteur = HAUTEUR_FENETRE;
    bool maximisee = false;
    bool operator==(const GeometrieFenetre&) const = default;
};

// The saved geometry, or the default 1440 × 920 for what is missing or unusable. A size below
// the minimum is raised to it; a size that is not a number of a sane range is ignored.
GeometrieFenetre lireGeometrieFenetre(const Preferences& preferences);
// Saves the three keys in one batch (an unmaximised size, even for a maximised window).
bool enregistrerGeometrieFenetre(Preferences& preferences, const GeometrieFenetre& geometrie);

}  // namespace ovrel
