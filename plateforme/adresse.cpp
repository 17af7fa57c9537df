#include "plateforme/adresse.h"

#include "plateforme/objets_g.h"

#include <glib.h>

#include <memory>

namespace ovrel {

namespace {
constexpr auto DRAPEAUX = static_cast<GUriFlags>(G_URI_FLAGS_ENCODED | G_URI_FLAGS_HAS_PASSWORD);

// GUri always decodes the host, whatever the flags, and writes it back decoded: a host such
// as "a%23b" would come back as "a#b" and change the meaning of the whole address. Hosts are
// therefore limited to what a host may hold as written (letters, digits, "-._~", sub-delimiters,
// and ":" and a "%" zone for IPv6 literals).
bool hotePermis(const char* hote) {
    if (hote == nullptr) return true;
    const std::string_view h(hote);
    const bool ipv6 = h.find(':') != std::string_view::npos;
    for (unsigned char c : h) {
        const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (alnum || std::string_view("-._~!$&'()*+,;=").find(static_cast<char>(c)) != std::string_view::npos)
            continue;
        if (ipv6 && (c == ':' || c == '%')) continue;
        return false;
    }
    return true;
}

UriG analyserGUri(std::string_view texte) {
    if (!caracteresPermisDansAdresse(texte)) return nullptr;
    std::string copie(texte);
    ErreurRecue erreur;
    UriG resultat(g_uri_parse(copie.c_str(), DRAPEAUX, erreur.adresse()));
    if (resultat && !hotePermis(g_uri_get_host(resultat.get()))) return nullptr;
    return resultat;
}

std::optional<std::string> texteOuAbsent(const char* c) {
    if (c == nullptr) return std::nullopt;
    return std::string(c);
}

int valeurHexa(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
}  // namespace

bool caracteresPermisDansAdresse(std::string_view texte) {
    for (unsigned char c : texte) {
        if (c <= 0x20 || c >= 0x7F) return false;
        switch (c) {
            case '"': case '<': case '>': case '\\': case '^': case '`': case '{': case '|': case '}':
                return false;
            default:
                break;
        }
    }
    return true;
}

std::string minuscules(std::string_view texte) {
    std::string r(texte);
    for (char& c : r)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return r;
}

bool commencePar(std::string_view texte, std::string_view debut) {
    return texte.size() >= debut.size() && texte.substr(0, debut.size()) == debut;
}

bool finitPar(std::string_view texte, std::string_view fin) {
    return texte.size() >= fin.size() && texte.substr(texte.size() - fin.size()) == fin;
}

std::optional<std::string> decoderPourcent(std::string_view texte) {
    std::string r;
    r.reserve(texte.size());
    for (std::size_t i = 0; i < texte.size(); ++i) {
        if (texte[i] != '%') {
            r.push_back(texte[i]);
            continue;
        }
        if (i + 2 >= texte.size()) return std::nullopt;
        const int haut = valeurHexa(texte[i + 1]);
        const int bas = valeurHexa(texte[i + 2]);
        if (haut < 0 || bas < 0) return std::nullopt;
        const char octet = static_cast<char>(haut * 16 + bas);
        if (octet == '\0') return std::nullopt;
        r.push_back(octet);
        i += 2;
    }
    return r;
}

std::optional<Adresse> analyserAdresse(std::string_view texte) {
    UriG uri = analyserGUri(texte);
    if (!uri) return std::nullopt;
    Adresse a;
    a.texte = std::string(texte);
    a.schema = g_uri_get_scheme(uri.get());
    // Already decoded by GUri (and checked by hotePermis).
    if (const char* hote = g_uri_get_host(uri.get()); hote != nullptr && *hote != '\0') a.hote = hote;
    a.port = g_uri_get_port(uri.get());
    const char* chemin = g_uri_get_path(uri.get());
    auto cheminDecode = decoderPourcent(chemin == nullptr ? "" : chemin);
    a.chemin = cheminDecode ? *cheminDecode : std::string(chemin == nullptr ? "" : chemin);
    a.requete = texteOuAbsent(g_uri_get_query(uri.get()));
    a.ancre = texteOuAbsent(g_uri_get_fragment(uri.get()));
    a.utilisateur = texteOuAbsent(g_uri_get_user(uri.get()));
    a.motDePasse = texteOuAbsent(g_uri_get_password(uri.get()));
    return a;
}

std::vector<ElementRequete> Adresse::elementsRequete() const {
    std::vector<ElementRequete> elements;
    if (!requete || requete->empty()) return elements;
    std::string_view reste(*requete);
    while (true) {
        const auto fin = reste.find('&');
        const std::string_view morceau = reste.substr(0, fin);
        ElementRequete e;
        const auto egal = morceau.find('=');
        const std::string_view nom = morceau.substr(0, egal);
        e.nom = decoderPourcent(nom).value_or(std::string(nom));
        if (egal != std::string_view::npos) {
            const std::string_view valeur = morceau.substr(egal + 1);
            e.valeur = decoderPourcent(valeur).value_or(std::string(valeur));
        }
        elements.push_back(std::move(e));
        if (fin == std::string_view::npos) break;
        reste.remove_prefix(fin + 1);
    }
    return elements;
}

std::optional<ElementRequete> Adresse::premierElement(std::string_view nom) const {
    for (auto& e : elementsRequete())
        if (e.nom == nom) return std::move(e);
    return std::nullopt;
}

std::optional<std::string> reecrireAdresse(std::string_view texte, bool sansAncre, bool sansRequete,
                                           bool sansUtilisateur) {
    UriG uri = analyserGUri(texte);
    if (!uri) return std::nullopt;
    // Without a host, a path that begins with "//" (left by dot-segment removal, as in "a:/.//x")
    // would read back as a host: GUri refuses to write it.
    const char* chemin = g_uri_get_path(uri.get());
    if (g_uri_get_host(uri.get()) == nullptr && chemin != nullptr && chemin[0] == '/' && chemin[1] == '/')
        return std::nullopt;
    unsigned masque = G_URI_HIDE_NONE;
    if (sansAncre) masque |= G_URI_HIDE_FRAGMENT;
    if (sansRequete) masque |= G_URI_HIDE_QUERY;
    if (sansUtilisateur) masque |= G_URI_HIDE_USERINFO | G_URI_HIDE_AUTH_PARAMS;
    TexteG resultat(g_uri_to_string_partial(uri.get(), static_cast<GUriHideFlags>(masque)));
    if (!resultat) return std::nullopt;
    return std::string(resultat.get());
}

}  // namespace ovrel
