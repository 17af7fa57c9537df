#include "reseau/ouverture_box.h"

#include "app/constantes.h"
#include "plateforme/adresse.h"
#include "reseau/saisie.h"

#include <algorithm>

namespace ovrel {

namespace {

char enMinuscule(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool egalSansCasse(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (enMinuscule(a[i]) != enMinuscule(b[i])) return false;
    return true;
}

// Every occurrence of `motif` (ASCII letters in any case) removed, in one pass from the left:
// what the removal joins is not searched again.
std::string sansOccurrences(std::string_view texte, std::string_view motif) {
    std::string r;
    r.reserve(texte.size());
    std::size_t i = 0;
    while (i < texte.size()) {
        if (i + motif.size() <= texte.size() && egalSansCasse(texte.substr(i, motif.size()), motif)) {
            i += motif.size();
        } else {
            r.push_back(texte[i]);
            ++i;
        }
    }
    return r;
}

std::optional<std::string> siAdresseAvecHote(std::string url) {
    const auto adresse = analyserAdresse(url);
    if (!adresse || !adresse->hote) return std::nullopt;
    return url;
}

}  // namespace

std::optional<std::string> adresseBoxNettoyee(std::string_view saisie) {
    // A scheme typed in capitals must go too: left in place, "HTTP" would be taken for the
    // host and the local token sent to it.
    std::string adresse = sansOccurrences(sansBlancsAuxBords(saisie), "http://");
    adresse = sansOccurrences(adresse, "https://");
    if (const auto barre = adresse.find('/'); barre != std::string::npos) adresse.resize(barre);
    if (adresse.empty()) return std::nullopt;
    if (adresse.find(':') == std::string::npos) adresse += ":" + std::string(PORT_BOX_DEFAUT);
    return adresse;
}

std::optional<std::string> urlSessionBox(std::string_view adresse, std::string_view jeton) {
    return siAdresseAvecHote("http://" + std::string(adresse) + "/studio/session?jeton=" + std::string(jeton));
}

std::optional<BoxTrouvee> boxLocale(const std::map<std::string, BoxTrouvee>& boxes, std::string_view serie) {
    const std::string cherchee = serieNormalisee(serie);
    if (cherchee.empty()) return std::nullopt;
    for (const auto& [cle, box] : boxes)
        if (serieNormalisee(box.serie) == cherchee) return box;
    return std::nullopt;
}

std::optional<std::string> urlConfigDistante(std::string_view idSite) {
    std::string url = BASE_CLOUD() + "/studio/site/" + std::string(idSite) + "/configurer";
    if (!analyserAdresse(url)) return std::nullopt;
    return url;
}

std::vector<std::string> clesParNom(const std::map<std::string, BoxTrouvee>& boxes) {
    std::vector<std::pair<const std::string*, const std::string*>> paires;  // key, name
    paires.reserve(boxes.size());
    for (const auto& [cle, box] : boxes) paires.emplace_back(&cle, &box.nom);
    std::stable_sort(paires.begin(), paires.end(), [](const auto& a, const auto& b) { return *a.second < *b.second; });
    std::vector<std::string> cles;
    cles.reserve(paires.size());
    for (const auto& [cle, nom] : paires) cles.push_back(*cle);
    return cles;
}

std::string titreBoutonBox(const BoxTrouvee& box) {
    std::string titre = "\U0001F3E0  " + box.nom + "  —  " + box.hote;
    if (!box.version.empty()) titre += "  (v" + box.version + ")";
    return titre;
}

std::optional<std::string> adresseDuBouton(const std::vector<std::string>& clesAffichees,
                                           const std::map<std::string, BoxTrouvee>& boxes,
                                           std::int64_t indice) {
    if (indice < 0 || static_cast<std::uint64_t>(indice) >= clesAffichees.size()) return std::nullopt;
    const auto trouvee = boxes.find(clesAffichees[static_cast<std::size_t>(indice)]);
    if (trouvee == boxes.end()) return std::nullopt;
    return trouvee->second.hote + ":" + std::to_string(trouvee->second.port);
}

std::string texteOvrelInjoignable(std::string_view nom) {
    return "« " + std::string(nom) +
           " » n'est ni sur ce réseau, ni relié au tunnel sécurisé.\n"
           "Vérifiez qu'il est alimenté et connecté, puis actualisez.";
}

}  // namespace ovrel
