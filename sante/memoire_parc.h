// The fleet cache: the last fleet document read successfully from the cloud, byte for byte,
// with the moment it was saved, so that the fleet can still be listed without the cloud.
//
// There is one cache per user of the computer, whatever cloud account signed in. The document
// and its date are always written together and erased together, in one atomic batch.
#pragma once

#include "plateforme/horloge.h"
#include "plateforme/preferences.h"

#include <optional>
#include <string>
#include <string_view>

namespace ovrel::MemoireParc {

inline constexpr std::string_view CLE_CACHE = "parc_cache";        // bytes
inline constexpr std::string_view CLE_CACHE_LE = "parc_cache_le";  // seconds since 1970, with fraction

// Stores the bytes and `maintenant`. False when the store could not be written (nothing changed).
bool enregistrer(Preferences& preferences, std::string_view donnees, Instant maintenant);
// The stored bytes, or nothing.
std::optional<std::string> relire(const Preferences& preferences);
// When the cache was saved; nothing when the stored number is missing, not a number, not
// finite or not strictly positive.
std::optional<Instant> date(const Preferences& preferences);
// Removes both keys. False when the store could not be written.
bool effacer(Preferences& preferences);

}  // namespace ovrel::MemoireParc
