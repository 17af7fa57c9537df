// Opening a box on the local network: the typed address cleaned, the box's studio session
// address, finding a discovered box by serial, and what the local box screen shows.
#pragma once

#include "reseau/box_trouvee.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ovrel {

// The box's local web port, used when the typed address gives none.
inline constexpr std::string_view PORT_BOX_DEFAUT = "8000";

// A typed box address reduced to host[:port]: white space and line breaks trimmed at both
// ends, every "http://" then every "https://" removed whatever their letter case, everything
// from the first "/" dropped, ":8000" appended when no port is written. Absent when nothing is
// left. Boxes are always reached over plain HTTP, whatever scheme was typed.
std::optional<std::string> adresseBoxNettoyee(std::string_view saisie);

// "http://" + address + "/studio/session?jeton=" + token, the token as stored (not encoded):
// the page where the box checks the local token and opens its studio. Absent when that is not
// an address with a host.
std::optional<std::string> urlSessionBox(std::string_view adresse, std::string_view jeton);

// The first discovered box whose serial, normalised, equals the given one normalised; absent
// when none does or when the serial normalises to nothing (a box that has not told its serial
// yet must never be taken for another).
std::optional<BoxTrouvee> boxLocale(const std::map<std::string, BoxTrouvee>& boxes, std::string_view serie);

// The cloud's configuration page of a site, reached through the tunnel:
// BASE_CLOUD + "/studio/site/" + id + "/configurer". Absent when not a valid address.
std::optional<std::string> urlConfigDistante(std::string_view idSite);

// --- The local box screen ---

inline constexpr std::string_view TEXTE_RECHERCHE_BOX = "Recherche des box sur ce réseau…";

// The table keys ordered by the name of their boxes (plain byte comparison; equal names keep
// the key order).
std::vector<std::string> clesParNom(const std::map<std::string, BoxTrouvee>& boxes);

// The title of a box's button: house, name, host, and its version when known. A box that never
// answered shows its host name twice.
std::string titreBoutonBox(const BoxTrouvee& box);

// The address (host:port) opened by the button at `indice` of the displayed keys; absent for a
// stale index or a box that has left the table since.
std::optional<std::string> adresseDuBouton(const std::vector<std::string>& clesAffichees,
                                           const std::map<std::string, BoxTrouvee>& boxes,
                                           std::int64_t indice);

// --- Alerts ---

inline constexpr std::string_view TITRE_CONNEXION_REQUISE = "Connexion requise";
inline constexpr std::string_view TEXTE_CONNEXION_REQUISE =
    "Connectez-vous d'abord avec votre compte Ovrel (une fois, avec internet) :\n"
    "votre habilitation locale sera ensuite valable 7 jours, même sans réseau.";
inline constexpr std::string_view TITRE_HABILITATION_EXPIREE = "Habilitation expirée";
inline constexpr std::string_view TEXTE_HABILITATION_EXPIREE =
    "Reconnectez-vous une fois avec votre compte Ovrel (internet requis), puis revenez.";
inline constexpr std::string_view TITRE_OVREL_INJOIGNABLE = "Ovrel injoignable";
// The text of "Ovrel injoignable" for a fleet box of that name.
std::string texteOvrelInjoignable(std::string_view nom);

}  // namespace ovrel
