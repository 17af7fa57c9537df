#include "reseau/box_trouvee.h"

#include "plateforme/adresse.h"
#include "plateforme/json.h"

#include <glib.h>

#include <algorithm>

namespace ovrel {

std::string BoxTrouvee::cle() const { return hote + ":" + std::to_string(port); }

std::optional<BoxTrouvee> boxResolue(std::string_view nomHote, int port) {
    if (nomHote.empty() || port < 1) return std::nullopt;
    if (nomHote.back() == '.') nomHote.remove_suffix(1);
    // A name made of the root dot alone names no host.
    if (nomHote.empty()) return std::nullopt;
    BoxTrouvee box;
    box.hote = std::string(nomHote);
    box.port = port;
    box.nom = box.hote;
    return box;
}

std::optional<std::string> urlDecouverte(std::string_view hote, int port) {
    std::string url = "http://" + std::string(hote) + ":" + std::to_string(port) + "/api/decouverte";
    const auto adresse = analyserAdresse(url);
    if (!adresse || !adresse->hote) return std::nullopt;
    return url;
}

std::optional<ReponseDecouverte> lireDecouverte(std::string_view donnees) {
    const auto doc = json::Document::analyser(donnees);
    if (!doc) return std::nullopt;
    const auto* objet = doc->objet();
    if (objet == nullptr) return std::nullopt;
    if (json::texte(objet, "produit") != "ovrel-box") return std::nullopt;
    ReponseDecouverte r;
    r.nom = json::texte(objet, "nom");
    r.version = json::texte(objet, "version");
    r.serie = json::texte(objet, "serie");
    r.empreinte = json::texte(objet, "empreinte");
    r.enregistree = json::booleen(objet, "enregistree");
    return r;
}

BoxTrouvee boxMiseAJour(const BoxTrouvee& stockee, const ReponseDecouverte& reponse) {
    BoxTrouvee box = stockee;
    if (reponse.nom && !reponse.nom->empty()) box.nom = *reponse.nom;
    box.version = reponse.version.value_or("");
    box.serie = reponse.serie.value_or("");
    box.empreinte = reponse.empreinte.value_or(box.serie);
    box.enregistree = reponse.enregistree.value_or(false);
    return box;
}

std::optional<BoxTrouvee> boxMiseAJour(const BoxTrouvee& stockee, std::string_view donnees) {
    const auto reponse = lireDecouverte(donnees);
    if (!reponse) return std::nullopt;
    return boxMiseAJour(stockee, *reponse);
}

namespace {
bool estUtf8(const std::string& texte) {
    return g_utf8_validate(texte.data(), static_cast<gssize>(texte.size()), nullptr);
}

// The JSON array, or absent when a text cannot be written as JSON (bytes that are not UTF-8,
// which a host name from the network could hold).
std::optional<std::string> tableauReseau(const std::vector<BoxTrouvee>& boxes) {
    std::vector<const BoxTrouvee*> tries;
    tries.reserve(boxes.size());
    for (const auto& box : boxes) tries.push_back(&box);
    std::stable_sort(tries.begin(), tries.end(),
                     [](const BoxTrouvee* a, const BoxTrouvee* b) { return a->serie < b->serie; });
    boost::json::array tableau;
    tableau.reserve(tries.size());
    for (const auto* box : tries) {
        const std::string adresse = box->cle();
        if (!estUtf8(box->nom) || !estUtf8(box->serie) || !estUtf8(box->version) || !estUtf8(adresse))
            return std::nullopt;
        boost::json::object objet;
        objet["nom"] = box->nom;
        objet["serie"] = box->serie;
        objet["version"] = box->version;
        objet["adresse"] = adresse;
        tableau.emplace_back(std::move(objet));
    }
    return boost::json::serialize(tableau);
}
}  // namespace

std::string appelReseau(const std::vector<BoxTrouvee>& boxes) {
    const std::string donnees = tableauReseau(boxes).value_or("[]");
    return "window.OvrelStudio && window.OvrelStudio.reseau && window.OvrelStudio.reseau(" + donnees + ");";
}

}  // namespace ovrel
