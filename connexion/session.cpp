#include "connexion/session.h"

#include "app/constantes.h"
#include "plateforme/adresse.h"
#include "plateforme/json.h"
#include "plateforme/objets_g.h"

#include <glib.h>

namespace ovrel {

namespace {

bool utf8Valide(std::string_view texte) {
    return g_utf8_validate(texte.data(), static_cast<gssize>(texte.size()), nullptr);
}

// A scheme: a letter, then letters, digits, "+", "-" or ".", then ":".
bool aUnSchema(std::string_view texte) {
    const auto deuxPoints = texte.find(':');
    if (deuxPoints == std::string_view::npos || deuxPoints == 0) return false;
    for (std::size_t i = 0; i < deuxPoints; ++i) {
        const char c = texte[i];
        const bool lettre = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        const bool autre = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
        if (!(lettre || (i > 0 && autre))) return false;
    }
    return true;
}

}  // namespace

bool demandeSessionAcceptee(Instant derniere, Instant maintenant) {
    // Compare without subtracting the two instants: from the distant past the difference would
    // not fit in the clock's count.
    if (maintenant < Instant::min() + INTERVALLE_SESSION) return false;
    return derniere < maintenant - INTERVALLE_SESSION;
}

std::optional<std::string> serieDeTunnel(std::string_view hote) {
    const std::string h = minuscules(hote);
    if (!finitPar(h, SUFFIXE_BOX())) return std::nullopt;
    // Two characters, not two bytes, when the host is UTF-8.
    const bool utf8 = g_utf8_validate(h.data(), static_cast<gssize>(h.size()), nullptr);
    std::size_t debut = 0;
    for (int i = 0; i < 2 && debut < h.size(); ++i)
        debut = utf8 ? static_cast<std::size_t>(g_utf8_next_char(h.data() + debut) - h.data()) : debut + 1;
    const std::string_view reste = std::string_view(h).substr(debut);
    return std::string(reste.substr(0, reste.find('.')));
}

std::optional<std::string> adresseEntreeTunnel(std::string_view idSite) {
    std::string texte = BASE_CLOUD() + "/studio/site/" + std::string(idSite) + "/configurer";
    if (!analyserAdresse(texte)) return std::nullopt;
    return texte;
}

std::optional<std::string> jetonDeRedirection(const std::optional<std::string>& location) {
    // Resolving a reference could otherwise hide characters no address may hold (inside a dropped
    // ".." segment, or after a NUL byte).
    if (!location || !caracteresPermisDansAdresse(*location)) return std::nullopt;
    // The header may be a reference relative to the asked address; only its query matters, so
    // any base will do. An absolute address is read as it stands: resolving it would remove its
    // dot segments, and "x:/..//y" would then lose its meaning (GLib cannot even write it back).
    std::optional<Adresse> adresse;
    if (aUnSchema(*location)) {
        adresse = analyserAdresse(*location);
    } else {
        ErreurRecue erreur;
        TexteG resolue(
            g_uri_resolve_relative("http://base.invalid/", location->c_str(), G_URI_FLAGS_ENCODED, erreur.adresse()));
        if (!resolue) return std::nullopt;
        adresse = analyserAdresse(resolue.get());
    }
    if (!adresse) return std::nullopt;
    auto element = adresse->premierElement("jeton");
    // A value that does not decode to UTF-8 text counts as no value.
    if (!element || !element->valeur || !utf8Valide(*element->valeur)) return std::nullopt;
    return element->valeur;
}

std::string scriptRenouvellement(const std::optional<std::string>& jeton) {
    // A token that is not UTF-8 text cannot be written as a script literal: the page gets null.
    const std::string argument = jeton && utf8Valide(*jeton) ? json::litteral(*jeton) : std::string("null");
    return "if (window.ovrelRenouvelerSession) window.ovrelRenouvelerSession(" + argument + ");";
}

}  // namespace ovrel
