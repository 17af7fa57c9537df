// Who the signed-in user is, and the screen that fits the account: at launch, after every cloud
// page until the role is known, and the local authorization that opens boxes without internet.
#include "app/constantes.h"
#include "app/delegue.h"
#include "connexion/documents.h"
#include "connexion/habilitation.h"
#include "plateforme/adresse.h"
#include "sante/memoire_parc.h"

#include <chrono>

namespace ovrel {

namespace {

constexpr std::chrono::seconds DELAI_ROLE{8};

// The user document, counted only from a 200 answer whose body is a JSON object.
std::optional<DocumentUtilisateur> utilisateurDe(const ReponseHttp& reponse) {
    if (reponse.statut != 200 || !reponse.corps) return std::nullopt;
    return lireDocumentUtilisateur(*reponse.corps);
}

}  // namespace

void Delegue::demanderUtilisateur(std::function<void(const ReponseHttp&)> suite) {
    RequeteHttp requete;
    requete.url = URL_MOI();
    requete.entetes = {{"Accept", "application/json"}};
    requete.delai = DELAI_ROLE;
    ports_.http.envoyer(std::move(requete), vivant_.garder(std::move(suite)));
}

void Delegue::ouvrirLaBonnePorte() {
    if (!analyserAdresse(URL_MOI())) {
        montrerConnexion();
        return;
    }
    demanderUtilisateur([this](const ReponseHttp& reponse) {
        if (const auto utilisateur = utilisateurDe(reponse)) {
            suivreRoutage(routageAuLancement(*utilisateur), *utilisateur);
            return;
        }
        // Without internet, the cached fleet still opens for a valid local authorization; a
        // refusal of the cloud (a 401) never does.
        suivreRoutage(routageSansReponse(reponse.erreur.has_value(), parcConnu(),
                                         Habilitation::valide(ports_.preferences, ports_.horloge)),
                      std::nullopt);
    });
}

void Delegue::verifierRole() {
    if (!analyserAdresse(URL_MOI())) return;
    demanderUtilisateur([this](const ReponseHttp& reponse) {
        // Not read: the next cloud page asks again.
        if (const auto utilisateur = utilisateurDe(reponse)) suivreRoutage(routageApresPage(*utilisateur), *utilisateur);
    });
}

void Delegue::suivreRoutage(const Routage& routage, const std::optional<DocumentUtilisateur>& utilisateur) {
    if (routage.roleEtabli) roleRoute_ = true;
    if (utilisateur && (routage.porte == Porte::MesOvrels || routage.porte == Porte::ParcCharge))
        parcCompte_ = utilisateur->email.value_or("");
    switch (routage.porte) {
    case Porte::MesOvrels:
        montrerMesOvrels();
        break;
    case Porte::ParcCharge:
        montrerParc(true);
        break;
    case Porte::ParcEnCache:
        montrerParc(false);
        break;
    case Porte::Atelier:
        montrerAtelier();
        break;
    case Porte::AccesRefuse:
        alerte("Accès", "Ce compte n'a ni la console concepteur ni un Studio installateur habilité.");
        montrerConnexion();
        break;
    case Porte::Connexion:
        montrerConnexion();
        break;
    }
    if (routage.jetonLocal) recupererJetonLocal();
}

void Delegue::recupererJetonLocal() {
    // Right after the launch the view may not be there yet: its store holds the web login once
    // the launch copied the saved session into it.
    quandVueWebPrete([this] {
        if (web_ != nullptr) copierLoginEtDemanderJeton();
    });
}

void Delegue::copierLoginEtDemanderJeton() {
    // The web login travels with the application's own request: the cloud's cookies of the web
    // view go to the shared jar first.
    web_->cookies(vivant_.garder([this](std::vector<Cookie> cookies) {
        for (const Cookie& cookie : cookies)
            if (cookie.domaine.find(DOMAINE_CLOUD) != std::string::npos) ports_.http.ajouterCookie(cookie);
        if (!analyserAdresse(URL_JETON_LOCAL())) return;
        RequeteHttp requete;
        requete.url = URL_JETON_LOCAL();
        requete.delai = DELAI_ROLE;
        ports_.http.envoyer(std::move(requete), vivant_.garder([this](ReponseHttp reponse) {
            // Anything but a well-formed 200 leaves the stored authorization as it was.
            if (reponse.statut != 200 || !reponse.corps) return;
            const auto jeton = lireJetonLocal(*reponse.corps);
            if (!jeton) return;
            Habilitation::enregistrer(ports_.preferences, jeton->jeton, jeton->expire, jeton->organisation);
            majEtiquetteHabilitation();
        }));
    }));
}

void Delegue::majEtiquetteHabilitation() {
    if (!ports_.ecrans.aEtiquetteHabilitation()) return;
    ports_.ecrans.ecrireEtiquetteHabilitation(texteHabilitation(ports_.preferences, ports_.horloge));
}

}  // namespace ovrel
