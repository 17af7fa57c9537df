#include "atelier/fabrication.h"

#include "app/constantes.h"
#include "atelier/atelier.h"
#include "plateforme/adresse.h"
#include "plateforme/json.h"

namespace ovrel {

namespace {
std::optional<std::string> siValide(std::string url, bool hoteRequis) {
    const auto adresse = analyserAdresse(url);
    if (!adresse || (hoteRequis && !adresse->hote)) return std::nullopt;
    return url;
}
}  // namespace

std::optional<ReponseFabrication> lireReponseFabrication(int statutHttp, std::string_view corps) {
    if (statutHttp != 200) return std::nullopt;
    const auto doc = json::Document::analyser(corps);
    if (!doc) return std::nullopt;
    const auto* objet = doc->objet();
    auto serie = json::texte(objet, "serie");
    auto jeton = json::texte(objet, "jeton");
    auto code = json::texte(objet, "code");
    auto site = json::texte(objet, "site_id");
    if (!serie || !jeton || !code || !site) return std::nullopt;
    auto nom = json::texte(objet, "nom");
    ReponseFabrication r;
    r.nom = nom && !nom->empty() ? std::move(*nom) : *serie;
    r.serie = std::move(*serie);
    r.jeton = std::move(*jeton);
    r.code = std::move(*code);
    r.site_id = std::move(*site);
    return r;
}

std::string corpsFabrication(std::string_view identifiant) {
    return "{\"empreinte\":" + json::litteral(identifiant) + "}";
}

std::string corpsFabrication(const BoxTrouvee& box) { return corpsFabrication(identifiantAtelier(box)); }

std::string corpsInjection(const ReponseFabrication& reponse) {
    return "{\"serie\":" + json::litteral(reponse.serie) + ",\"jeton\":" + json::litteral(reponse.jeton) +
           ",\"api\":" + json::litteral(URL_PORTAIL()) + ",\"nom\":" + json::litteral(reponse.nom) + "}";
}

std::optional<std::string> urlInjection(std::string_view hote, int port) {
    return siValide("http://" + std::string(hote) + ":" + std::to_string(port) + "/api/atelier/enregistrer", true);
}

std::optional<std::string> urlInjection(const BoxTrouvee& box) { return urlInjection(box.hote, box.port); }

std::optional<std::string> urlFicheEtiquette(std::string_view siteId, std::string_view code) {
    return siValide(BASE_CLOUD() + "/admin/etiquette/" + std::string(siteId) + "?code=" + std::string(code), false);
}

std::optional<std::string> urlFicheEtiquette(const ReponseFabrication& reponse) {
    return urlFicheEtiquette(reponse.site_id, reponse.code);
}

std::optional<std::string> urlConsoleBox(std::string_view id) {
    return siValide(BASE_CLOUD() + "/admin/box/" + std::string(id), false);
}

std::string texteFabricationEnCours(const BoxTrouvee& box) {
    return "Fabrication de l'Ovrel " + identifiantAtelier(box) + " en cours…";
}

std::string texteInjectionImpossible(const BoxTrouvee& box) {
    return "L'Ovrel " + identifiantAtelier(box) + " (" + box.hote +
           ") n'a pas accepté son identité (déjà enregistré, ou hors du réseau local ?).";
}

std::string messageRefaireEtiquette(std::string_view nom) { return "Refaire l'étiquette de " + std::string(nom) + " ?"; }

}  // namespace ovrel
