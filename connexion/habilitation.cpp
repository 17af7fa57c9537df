#include "connexion/habilitation.h"

#include "plateforme/objets_g.h"

#include <glib.h>

#include <cmath>
#include <memory>
#include <vector>

namespace ovrel {

namespace Habilitation {

std::optional<std::string> jeton(const Preferences& preferences) { return preferences.texte(CLE_JETON); }

Instant expire(const Preferences& preferences) {
    return instantDepuis1970(preferences.nombre(CLE_EXPIRE).value_or(0.0));
}

std::string organisation(const Preferences& preferences) {
    return preferences.texte(CLE_ORGANISATION).value_or(std::string());
}

bool valide(const Preferences& preferences, const Horloge& horloge) {
    return jeton(preferences).has_value() && expire(preferences) > horloge.maintenant();
}

void enregistrer(Preferences& preferences, const std::string& jeton, double expire,
                 const std::string& organisation) {
    preferences.ecrire({
        {std::string(CLE_JETON), ValeurPreference{jeton}},
        {std::string(CLE_EXPIRE), ValeurPreference{expire}},
        {std::string(CLE_ORGANISATION), ValeurPreference{organisation}},
    });
}

void effacer(Preferences& preferences) {
    preferences.ecrire({
        {std::string(CLE_JETON), std::nullopt},
        {std::string(CLE_EXPIRE), std::nullopt},
        {std::string(CLE_ORGANISATION), std::nullopt},
    });
}

}  // namespace Habilitation

namespace {

// "dd/MM à HH:mm" of an instant given in seconds since 1970, in the given zone. The seconds are
// rounded down, as a clock shows them, and kept inside the years GLib can represent in every
// zone (a cloud could send any number).
std::string dateCourte(double secondes, GTimeZone* fuseau) {
    constexpr double premier = -62135510400.0;  // 0001-01-02 00:00 UTC
    constexpr double dernier = 253402128000.0;  // 9999-12-30 00:00 UTC
    double s = std::floor(secondes);
    if (std::isnan(s) || s < premier) s = premier;
    if (s > dernier) s = dernier;
    DateG utc(g_date_time_new_from_unix_utc(static_cast<gint64>(s)));
    if (!utc) return std::string();
    DateG locale(g_date_time_to_timezone(utc.get(), fuseau));
    if (!locale) return std::string();
    TexteG texte(g_date_time_format(locale.get(), "%d/%m à %H:%M"));
    if (!texte) return std::string();
    return std::string(texte.get());
}

std::string texteAvecFuseau(const Preferences& preferences, const Horloge& horloge, GTimeZone* fuseau) {
    if (!Habilitation::valide(preferences, horloge)) return "Habilitation locale expirée — reconnectez-vous.";
    std::string organisation = Habilitation::organisation(preferences);
    if (organisation.empty()) organisation = "Habilitation locale";
    const double expire = preferences.nombre(Habilitation::CLE_EXPIRE).value_or(0.0);
    return organisation + " — accès local valable jusqu'au " + dateCourte(expire, fuseau);
}

}  // namespace

std::string dateJourHeure(double secondes, std::string_view fuseau) {
    const std::string identifiant(fuseau);
    FuseauG zone(identifiant.empty() ? g_time_zone_new_local() : g_time_zone_new_identifier(identifiant.c_str()));
    if (!zone) zone.reset(g_time_zone_new_utc());
    return dateCourte(secondes, zone.get());
}

std::string texteHabilitation(const Preferences& preferences, const Horloge& horloge) {
    FuseauG fuseau(g_time_zone_new_local());
    return texteAvecFuseau(preferences, horloge, fuseau.get());
}

std::string texteHabilitation(const Preferences& preferences, const Horloge& horloge,
                              std::string_view fuseau) {
    const std::string identifiant(fuseau);
    FuseauG zone(g_time_zone_new_identifier(identifiant.c_str()));
    if (!zone) zone.reset(g_time_zone_new_utc());
    return texteAvecFuseau(preferences, horloge, zone.get());
}

}  // namespace ovrel
