// The local authorization (habilitation): the token the cloud issues to an installer, its expiry
// and the organisation's name, kept in the user defaults so that boxes on a site can be opened
// without internet until it expires. No cache: every operation reads or writes the defaults.
#pragma once

#include "plateforme/horloge.h"
#include "plateforme/preferences.h"

#include <optional>
#include <string>
#include <string_view>

namespace ovrel {

namespace Habilitation {

inline constexpr std::string_view CLE_JETON = "jeton_local";
inline constexpr std::string_view CLE_EXPIRE = "jeton_local_exp";
inline constexpr std::string_view CLE_ORGANISATION = "jeton_local_org";

// The stored local token, absent when none (or not a text) is stored.
std::optional<std::string> jeton(const Preferences& preferences);
// The expiry; 1970-01-01 itself when none is stored.
Instant expire(const Preferences& preferences);
// The organisation's name, or empty text.
std::string organisation(const Preferences& preferences);
// A token is stored (an empty text counts) and its expiry is strictly later than now.
bool valide(const Preferences& preferences, const Horloge& horloge);

// Writes the three keys in one batch: they are never seen half-written.
void enregistrer(Preferences& preferences, const std::string& jeton, double expire,
                 const std::string& organisation);
// Removes the three keys in one batch.
void effacer(Preferences& preferences);

}  // namespace Habilitation

// "dd/MM à HH:mm" of an instant given in seconds since 1970, in the zone named by its identifier
// (the local zone when empty, UTC when unknown).
std::string dateJourHeure(double secondes, std::string_view fuseau = {});

// The status line of the local authorization: "<organisation> — accès local valable jusqu'au
// dd/MM à HH:mm" while it is valid, the expiry written in the local time zone; otherwise the
// invitation to sign in again.
std::string texteHabilitation(const Preferences& preferences, const Horloge& horloge);
// The same with the time zone named by its identifier (for example "Europe/Paris"); an unknown
// identifier falls back to UTC.
std::string texteHabilitation(const Preferences& preferences, const Horloge& horloge,
                              std::string_view fuseau);

}  // namespace ovrel
