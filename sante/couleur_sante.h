// The health colour scale of the boxes and the wording built on it: tints, advice lines,
// readable durations, "seen" labels, short dates and the fleet headline.
//
// Everything here is pure: no state, no toolkit, "now" always passed in.
#pragma once

#include "plateforme/couleur.h"
#include "plateforme/horloge.h"
#include "sante/date_iso.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ovrel {

// The order of the cases is the order of the scale (and of the tables below): it is what the
// per-colour counts iterate in and what `std::map<CouleurSante, …>` sorts by.
enum class CouleurSante { gris, vert, jaune, orange, rouge, inconnue };

// The raw value the cloud sends and the application stores: "gris" … "rouge", "inconnue".
std::string_view valeurBrute(CouleurSante couleur) noexcept;

// The five real colours in scale order, without `inconnue`.
inline constexpr std::array<CouleurSante, 5> COULEURS_SANTE = {
    CouleurSante::gris, CouleurSante::vert, CouleurSante::jaune, CouleurSante::orange, CouleurSante::rouge};
// The colours that ask for the integrator's attention.
inline constexpr std::array<CouleurSante, 3> COULEURS_ATTENTION = {
    CouleurSante::jaune, CouleurSante::orange, CouleurSante::rouge};

// A box last heard from more than this long ago is shown as stale.
inline constexpr std::int64_t VU_PERIME_S = 180;
// Period of the fleet heartbeat.
inline constexpr double PERIODE_PARC_S = 30.0;
// Age of the fleet list on screen after which the health of its boxes is forgotten.
inline constexpr double PARC_PERIME_S = 90.0;

// Absent gives `inconnue`; otherwise the text, lower-cased, must be one of the five real
// colours ("ROUGE" is `rouge`; " rouge", "inconnue" and any other word are `inconnue`).
CouleurSante couleurSante(std::optional<std::string_view> texte) noexcept;

// Bits 16-23, 8-15 and 0-7 as red, green and blue; the top byte is ignored.
Couleur couleurHexa(std::uint32_t valeur, double alpha = 1.0) noexcept;

// The tint of a health colour; `inconnue` is the grey of `gris` made partly transparent.
Couleur teinteSante(CouleurSante couleur) noexcept;
// What the integrator should do for a colour.
std::string verbeSante(CouleurSante couleur);
// The short name shown in badges and counters ("santé inconnue" for `inconnue`).
std::string motSante(CouleurSante couleur);

// A short French duration: "42 s", "89 min", "47 h", "2 jours"; empty when absent or negative.
std::string dureeLisible(std::optional<std::int64_t> secondes);
// "jamais vu" when absent, otherwise "vu il y a " and the readable duration.
std::string libelleVu(std::optional<std::int64_t> secondes);
// True when absent or strictly more than `VU_PERIME_S`.
bool vuPerime(std::optional<std::int64_t> secondes) noexcept;

// Whole seconds from the timestamp to `maintenant`, 0 for a timestamp in the future; absent
// when the text is empty or not a strict timestamp.
std::optional<std::int64_t> ageDepuis(std::string_view texte, Instant maintenant) noexcept;

// The timestamp as "dd/MM/yyyy à HH:mm" in the user's local time zone; empty when the text is
// not a strict timestamp.
std::string dateCourte(std::string_view texte);
// The same in the time zone named by `fuseau` (an identifier such as "Europe/Paris" or "UTC";
// an unknown identifier falls back to UTC).
std::string dateCourte(std::string_view texte, std::string_view fuseau);

// The fleet headline for a number of boxes that need attention.
std::string titreAttention(std::int64_t nombre);

}  // namespace ovrel
