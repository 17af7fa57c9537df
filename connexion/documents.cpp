#include "connexion/documents.h"

#include "plateforme/json.h"

namespace ovrel {

std::optional<DocumentUtilisateur> lireDocumentUtilisateur(std::string_view corps) {
    auto doc = json::Document::analyser(corps);
    if (!doc || doc->objet() == nullptr) return std::nullopt;
    const auto* racine = doc->objet();
    DocumentUtilisateur u;
    u.studio = json::booleen(racine, "studio").value_or(false);
    u.exploitant = json::booleen(racine, "exploitant").value_or(false);
    u.email = json::texte(racine, "email");
    return u;
}

std::optional<JetonLocal> lireJetonLocal(std::string_view corps) {
    auto doc = json::Document::analyser(corps);
    if (!doc || doc->objet() == nullptr) return std::nullopt;
    const auto* racine = doc->objet();
    auto jeton = json::texte(racine, "jeton");
    auto expire = json::nombre(racine, "expire");
    if (!jeton || !expire) return std::nullopt;
    return JetonLocal{std::move(*jeton), *expire, json::texte(racine, "organisation").value_or(std::string())};
}

Routage routageAuLancement(const DocumentUtilisateur& utilisateur) {
    if (utilisateur.studio || utilisateur.exploitant)
        return Routage{Porte::MesOvrels, utilisateur.studio, true};
    return Routage{Porte::AccesRefuse, false, true};
}

Routage routageSansReponse(bool erreurTransport, bool cacheParc, bool habilitationValide) {
    if (erreurTransport && cacheParc && habilitationValide) return Routage{Porte::ParcEnCache, false, true};
    return Routage{Porte::Connexion, false, false};
}

Routage routageApresPage(const DocumentUtilisateur& utilisateur) {
    if (utilisateur.exploitant && !utilisateur.studio) return Routage{Porte::Atelier, false, true};
    if (utilisateur.studio) return Routage{Porte::ParcCharge, true, true};
    return Routage{Porte::AccesRefuse, false, true};
}

}  // namespace ovrel
