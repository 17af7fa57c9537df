#include "sante/couleur_sante.h"

#include "plateforme/objets_g.h"

#include <glib.h>

#include <algorithm>
#include <cstdio>

namespace ovrel {

std::string_view valeurBrute(CouleurSante couleur) noexcept {
    switch (couleur) {
    case CouleurSante::gris: return "gris";
    case CouleurSante::vert: return "vert";
    case CouleurSante::jaune: return "jaune";
    case CouleurSante::orange: return "orange";
    case CouleurSante::rouge: return "rouge";
    case CouleurSante::inconnue: break;
    }
    return "inconnue";
}

namespace {
// ASCII lower-casing is enough to recognise the raw values: no character outside ASCII
// lower-cases to one of their letters, so a full Unicode mapping could not match more texts.
bool egalSansCasse(std::string_view texte, std::string_view minuscules) noexcept {
    if (texte.size() != minuscules.size()) return false;
    for (std::size_t i = 0; i < texte.size(); ++i) {
        char c = texte[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != minuscules[i]) return false;
    }
    return true;
}
}  // namespace

CouleurSante couleurSante(std::optional<std::string_view> texte) noexcept {
    if (!texte) return CouleurSante::inconnue;
    for (CouleurSante couleur : COULEURS_SANTE)
        if (egalSansCasse(*texte, valeurBrute(couleur))) return couleur;
    return CouleurSante::inconnue;
}

Couleur couleurHexa(std::uint32_t valeur, double alpha) noexcept {
    return Couleur::octets(static_cast<int>((valeur >> 16) & 0xFF), static_cast<int>((valeur >> 8) & 0xFF),
                           static_cast<int>(valeur & 0xFF), alpha);
}

Couleur teinteSante(CouleurSante couleur) noexcept {
    switch (couleur) {
    case CouleurSante::gris: return couleurHexa(0x7D766B);
    case CouleurSante::vert: return couleurHexa(0x69C690);
    case CouleurSante::jaune: return couleurHexa(0xD8AB6A);
    case CouleurSante::orange: return couleurHexa(0xD98A4E);
    case CouleurSante::rouge: return couleurHexa(0xE06A5E);
    case CouleurSante::inconnue: break;
    }
    return couleurHexa(0x7D766B, 0.62);
}

std::string verbeSante(CouleurSante couleur) {
    switch (couleur) {
    case CouleurSante::gris: return "Rien — cet Ovrel n'est pas encore en service.";
    case CouleurSante::vert: return "Rien à faire.";
    case CouleurSante::jaune: return "À traiter cette semaine.";
    case CouleurSante::orange: return "À regarder aujourd'hui.";
    case CouleurSante::rouge: return "Appelez le client.";
    case CouleurSante::inconnue: break;
    }
    return "Santé inconnue — l'app n'a pas pu l'obtenir du cloud.";
}

std::string motSante(CouleurSante couleur) {
    if (couleur == CouleurSante::inconnue) return "santé inconnue";
    return std::string(valeurBrute(couleur));
}

std::string dureeLisible(std::optional<std::int64_t> secondes) {
    if (!secondes || *secondes < 0) return {};
    const std::int64_t s = *secondes;
    if (s < 90) return std::to_string(s) + " s";
    if (s < 5400) return std::to_string(s / 60) + " min";
    if (s < 172800) return std::to_string(s / 3600) + " h";
    return std::to_string(s / 86400) + " jours";
}

std::string libelleVu(std::optional<std::int64_t> secondes) {
    if (!secondes) return "jamais vu";
    return "vu il y a " + dureeLisible(secondes);
}

bool vuPerime(std::optional<std::int64_t> secondes) noexcept {
    return !secondes || *secondes > VU_PERIME_S;
}

std::optional<std::int64_t> ageDepuis(std::string_view texte, Instant maintenant) noexcept {
    const auto depuis = secondesIsoUtc(texte);
    if (!depuis) return std::nullopt;
    // The timestamp holds whole seconds, so truncating the difference (which only matters when
    // it is positive) is the difference of the floors. Both terms stay far from the int64 limits.
    return std::max<std::int64_t>(0, secondesPlancher(maintenant) - *depuis);
}

namespace {
std::string dateDansLeFuseau(std::string_view texte, GTimeZone* fuseau) {
    const auto secondes = secondesIsoUtc(texte);
    if (!secondes) return {};
    // GDateTime covers the years 1 to 9999; a timestamp outside (year 0, or an offset that pushes
    // it out) has no date to show.
    const DateG utc(g_date_time_new_from_unix_utc(*secondes));
    if (!utc) return {};
    const DateG local(g_date_time_to_timezone(utc.get(), fuseau));
    if (!local) return {};
    char tampon[40];
    std::snprintf(tampon, sizeof tampon, "%02d/%02d/%04d à %02d:%02d", g_date_time_get_day_of_month(local.get()),
                  g_date_time_get_month(local.get()), g_date_time_get_year(local.get()),
                  g_date_time_get_hour(local.get()), g_date_time_get_minute(local.get()));
    return tampon;
}
}  // namespace

std::string dateCourte(std::string_view texte) {
    const FuseauG fuseau(g_time_zone_new_local());
    return dateDansLeFuseau(texte, fuseau.get());
}

std::string dateCourte(std::string_view texte, std::string_view fuseau) {
    const std::string identifiant(fuseau);
    FuseauG tz(g_time_zone_new_identifier(identifiant.c_str()));
    if (!tz) tz.reset(g_time_zone_new_utc());
    return dateDansLeFuseau(texte, tz.get());
}

std::string titreAttention(std::int64_t nombre) {
    if (nombre < 1) return "Aucun Ovrel ne demande votre attention.";
    if (nombre == 1) return "1 Ovrel demande votre attention";
    return std::to_string(nombre) + " Ovrels demandent votre attention";
}

}  // namespace ovrel
