#include "plateforme/soup/cookie_soup.h"

#include "plateforme/objets_g.h"

#include <algorithm>

namespace ovrel {

namespace {

using std::chrono::seconds;

gint64 secondesBornees(gint64 secondes) {
    constexpr gint64 plusTot = std::chrono::duration_cast<seconds>(Instant::duration::min()).count();
    constexpr gint64 plusTard = std::chrono::duration_cast<seconds>(expirationLaPlusLointaine.time_since_epoch()).count();
    return std::clamp(secondes, plusTot, plusTard);
}

std::string texte(const char* valeur) { return valeur ? std::string(valeur) : std::string(); }

}  // namespace

Cookie cookieDepuisSoup(SoupCookie* source) {
    Cookie cookie;
    cookie.nom = texte(soup_cookie_get_name(source));
    cookie.valeur = texte(soup_cookie_get_value(source));
    cookie.domaine = texte(soup_cookie_get_domain(source));
    const char* chemin = soup_cookie_get_path(source);
    cookie.chemin = chemin && *chemin ? chemin : "/";
    if (GDateTime* expiration = soup_cookie_get_expires(source))
        cookie.expiration = Instant(seconds(secondesBornees(g_date_time_to_unix(expiration))));
    cookie.securise = soup_cookie_get_secure(source);
    cookie.httpSeulement = soup_cookie_get_http_only(source);
    switch (soup_cookie_get_same_site_policy(source)) {
    case SOUP_SAME_SITE_POLICY_NONE: cookie.sameSite = "None"; break;
    case SOUP_SAME_SITE_POLICY_LAX: cookie.sameSite = "Lax"; break;
    case SOUP_SAME_SITE_POLICY_STRICT: cookie.sameSite = "Strict"; break;
    }
    return cookie;
}

SoupCookie* cookieVersSoup(const Cookie& source) {
    // max_age -1: a session cookie until an expiry is set below.
    SoupCookie* cookie = soup_cookie_new(source.nom.c_str(), source.valeur.c_str(), source.domaine.c_str(),
                                         source.chemin.empty() ? "/" : source.chemin.c_str(), -1);
    if (source.expiration) {
        const gint64 secondes =
            secondesBornees(std::chrono::floor<seconds>(source.expiration->time_since_epoch()).count());
        // Every Instant lies within GDateTime's years 1 to 9999: the date always exists.
        DateG date(g_date_time_new_from_unix_utc(secondes));
        soup_cookie_set_expires(cookie, date.get());
    }
    soup_cookie_set_secure(cookie, source.securise);
    soup_cookie_set_http_only(cookie, source.httpSeulement);
    SoupSameSitePolicy politique = SOUP_SAME_SITE_POLICY_NONE;
    if (g_ascii_strcasecmp(source.sameSite.c_str(), "Lax") == 0) politique = SOUP_SAME_SITE_POLICY_LAX;
    else if (g_ascii_strcasecmp(source.sameSite.c_str(), "Strict") == 0) politique = SOUP_SAME_SITE_POLICY_STRICT;
    soup_cookie_set_same_site_policy(cookie, politique);
    return cookie;
}

}  // namespace ovrel
