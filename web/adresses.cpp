#include "web/adresses.h"

#include "app/constantes.h"
#include "plateforme/adresse.h"

#include <glib.h>

#include <vector>

namespace ovrel {

namespace {

std::optional<Adresse> analyserOptionnelle(const std::optional<std::string>& url) {
    if (!url) return std::nullopt;
    return analyserAdresse(*url);
}

// Lower-cased host of an address, absent when the address has none.
std::optional<std::string> hoteMinuscule(const Adresse& adresse) {
    if (!adresse.hote) return std::nullopt;
    return minuscules(*adresse.hote);
}

// The host of the cloud's root, lower-cased; absent when the root is not an address with a host.
std::optional<std::string> hoteStudio() {
    auto base = analyserAdresse(BASE_CLOUD());
    if (!base) return std::nullopt;
    return hoteMinuscule(*base);
}

// The host test shared by the web view's policy and the label sheet: the host is already
// lower-cased.
bool hoteDeConfiance(const std::string& hote) {
    if (hote == "localhost" || finitPar(hote, ".local")) return true;
    if (estHoteOvrel(hote)) return true;
    return estIPv4Privee(hote);
}

std::vector<std::string_view> segmentsNonVides(std::string_view chemin) {
    std::vector<std::string_view> segments;
    while (!chemin.empty()) {
        const auto barre = chemin.find('/');
        const std::string_view segment = chemin.substr(0, barre);
        if (!segment.empty()) segments.push_back(segment);
        if (barre == std::string_view::npos) break;
        chemin.remove_prefix(barre + 1);
    }
    return segments;
}

bool estHexa(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The standard 36-character textual form: 8-4-4-4-12 hexadecimal digits, either case.
bool estUuid(std::string_view texte) {
    if (texte.size() != 36) return false;
    for (std::size_t i = 0; i < texte.size(); ++i) {
        const bool tiret = i == 8 || i == 13 || i == 18 || i == 23;
        if (tiret ? texte[i] != '-' : !estHexa(texte[i])) return false;
    }
    return true;
}

// Characters as the user sees them counted: code points of a UTF-8 text, bytes otherwise.
std::size_t nombreDeCaracteres(std::string_view texte) {
    if (g_utf8_validate(texte.data(), static_cast<gssize>(texte.size()), nullptr))
        return static_cast<std::size_t>(g_utf8_strlen(texte.data(), static_cast<gssize>(texte.size())));
    return texte.size();
}

std::string majuscules(std::string_view texte) {
    std::string r(texte);
    for (char& c : r)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return r;
}

}  // namespace

bool estHoteOvrel(std::string_view hote) {
    const std::string h = minuscules(hote);
    const std::string domaine(DOMAINE_CLOUD);
    return h == domaine || finitPar(h, "." + domaine);
}

bool hoteAutorise(std::string_view url) {
    auto adresse = analyserAdresse(url);
    if (!adresse) return false;
    auto hote = hoteMinuscule(*adresse);
    return hote && hoteDeConfiance(*hote);
}

bool estIPv4Privee(std::string_view hote) {
    int octets[4] = {0, 0, 0, 0};
    std::size_t n = 0;
    std::string_view reste = hote;
    while (true) {
        const auto point = reste.find('.');
        const std::string_view champ = reste.substr(0, point);
        if (n == 4) return false;  // a fifth field, even an empty one
        if (champ.empty() || champ.size() >= 4) return false;
        int valeur = 0;
        for (char c : champ) {
            if (c < '0' || c > '9') return false;
            valeur = valeur * 10 + (c - '0');
        }
        if (valeur >= 256) return false;
        octets[n++] = valeur;
        if (point == std::string_view::npos) break;
        reste.remove_prefix(point + 1);
    }
    if (n != 4) return false;
    if (octets[0] == 10) return true;
    if (octets[0] == 172) return octets[1] >= 16 && octets[1] <= 31;
    if (octets[0] == 192) return octets[1] == 168;
    return false;
}

bool estMesOvrels(const std::optional<std::string>& url) {
    auto adresse = analyserOptionnelle(url);
    if (!adresse) return false;
    auto hote = hoteMinuscule(*adresse);
    if (!hote) return false;
    auto studio = hoteStudio();
    if (!studio) return false;
    std::string_view chemin = adresse->chemin;
    if (chemin.size() > 1 && chemin.back() == '/') chemin.remove_suffix(1);
    if (*hote != *studio) return false;
    return chemin == "/studio";
}

std::optional<std::string> idDeConfigurer(const std::optional<std::string>& url) {
    auto adresse = analyserOptionnelle(url);
    if (!adresse) return std::nullopt;
    auto studio = hoteStudio();
    if (!studio) return std::nullopt;
    auto hote = hoteMinuscule(*adresse);
    if (!hote || *hote != *studio) return std::nullopt;
    const auto segments = segmentsNonVides(adresse->chemin);
    if (segments.size() != 4 || segments[0] != "studio" || segments[1] != "site" || segments[3] != "configurer")
        return std::nullopt;
    if (!estUuid(segments[2])) return std::nullopt;
    return std::string(segments[2]);
}

std::optional<std::string> serieDeConfigurer(const std::optional<std::string>& url) {
    if (!idDeConfigurer(url)) return std::nullopt;
    // idDeConfigurer succeeded, so the address parses.
    auto adresse = analyserAdresse(*url);
    if (!adresse) return std::nullopt;
    auto element = adresse->premierElement("serie");
    if (!element || !element->valeur) return std::nullopt;
    if (serieNormalisee(*element->valeur).empty()) return std::nullopt;
    return element->valeur;
}

std::optional<std::string> serieAOuvrir(std::string_view url) {
    auto adresse = analyserAdresse(url);
    if (!adresse) return std::nullopt;
    if (minuscules(adresse->schema) != SCHEMA_APP) return std::nullopt;
    auto hote = hoteMinuscule(*adresse);
    if (!hote || *hote != "ouvrir") return std::nullopt;
    auto element = adresse->premierElement("serie");
    if (!element || !element->valeur) return std::nullopt;
    const std::string n = serieNormalisee(*element->valeur);
    if (n.empty() || nombreDeCaracteres(n) >= 25) return std::nullopt;
    return element->valeur;
}

bool estPieceJointe(const std::optional<std::string>& disposition) {
    if (!disposition) return false;
    std::string_view type(*disposition);
    type = type.substr(0, type.find(';'));
    while (!type.empty() && (type.front() == ' ' || type.front() == '\t')) type.remove_prefix(1);
    while (!type.empty() && (type.back() == ' ' || type.back() == '\t')) type.remove_suffix(1);
    return minuscules(type) == "attachment";
}

bool estFicheEtiquette(const std::optional<std::string>& url) {
    auto adresse = analyserOptionnelle(url);
    if (!adresse) return false;
    auto hote = hoteMinuscule(*adresse);
    if (!hote || !hoteDeConfiance(*hote)) return false;
    return commencePar(adresse->chemin, "/admin/etiquette/");
}

bool quitteLaFiche(const std::optional<std::string>& depuis, std::string_view vers,
                   const std::optional<std::string>& methode, bool rechargement, bool cadrePrincipal) {
    if (!cadrePrincipal) return false;
    if (!depuis || !estFicheEtiquette(depuis)) return false;
    const std::string m = methode ? majuscules(*methode) : std::string("GET");
    // A target that does not parse has neither path nor fragment: any navigation to it leaves.
    const auto cible = analyserAdresse(vers);
    if (m == "POST" && cible && finitPar(cible->chemin, "/livret")) return false;
    if (rechargement) return true;
    if (!cible || !cible->ancre) return true;
    return adresseSansAncre(vers) != adresseSansAncre(*depuis);
}

std::string adresseSansAncre(std::string_view url) {
    auto texte = reecrireAdresse(url, true, false, false);
    return texte ? *texte : std::string(url);
}

std::string adresseSansSecret(const std::optional<std::string>& url) {
    if (!url) return "?";
    auto texte = reecrireAdresse(*url, true, true, true);
    return texte ? *texte : std::string("?");
}

}  // namespace ovrel
