// The browser sign-in and sign-out. The user signs in with the cloud account in the default
// browser, never inside the web view: the application opens the cloud's sign-in page with a
// random state, the cloud sends the browser back to the application's scheme with that state
// and a one-time token, and the application, once the return is checked, loads in its web view
// the page that turns the token into a web login. From there the role routing takes over.
//
// The sessions themselves (one at a time, a waiting sign-in replaced by the next) are
// SessionsNavigateur's. A sign-out drops a sign-in that still waits, so that a late return cannot
// sign the forgotten account back in.
#include "app/constantes.h"
#include "app/delegue.h"
#include "connexion/connexion.h"
#include "connexion/habilitation.h"
#include "plateforme/adresse.h"
#include "sante/memoire_parc.h"

#include <chrono>
#include <string>
#include <utility>

namespace ovrel {

namespace {
constexpr std::chrono::seconds DELAI_SONDE{6};
// Left in the user defaults by an account; a sign-out removes it with the rest.
constexpr std::string_view CLE_MODE = "mode";

std::string entreParentheses(const ErreurTransport& erreur) {
    return "(" + erreur.domaine + " " + std::to_string(erreur.code) + ")";
}
}  // namespace

void Delegue::actionConnexionOvrel() { ouvrirConnexionOvrel(); }

void Delegue::ouvrirConnexionOvrel() {
    if (!sortieDeFicheConfirmee()) return;
    // A sign-out is opening its page: it ends in a moment.
    if (sessions_.deconnexionEnCours()) return;
    // The probe of a press just before is on its way (a double click): one sign-in, one page.
    if (sessions_.sondeEnVol()) return;
    chercheur_.arreter();
    // The account that signs in chooses its screen again.
    roleRoute_ = false;

    RequeteHttp sonde;
    sonde.url = BASE_CLOUD() + "/sante";
    if (!analyserAdresse(sonde.url)) return;
    sonde.delai = DELAI_SONDE;
    sessions_.sondeEnVol(true);
    ports_.http.envoyer(std::move(sonde), vivant_.garder([this](ReponseHttp reponse) {
        sessions_.sondeEnVol(false);
        if (reponse.erreur) {
            alerte("Connexion impossible",
                   "Impossible de joindre le serveur Ovrel.\nVérifiez votre connexion, puis réessayez.\n" +
                       entreParentheses(*reponse.erreur));
            return;
        }
        if (reponse.statut == 200) {
            lancerConnexionSafari();
            return;
        }
        alerte("Connexion impossible", "Le serveur Ovrel ne répond pas pour l'instant (HTTP " +
                                           std::to_string(reponse.statut) + "). Réessayez dans un moment.");
    }));
}

void Delegue::lancerConnexionSafari() {
    if (sessions_.deconnexionEnCours()) return;
    // A new sign-in: the account it brings chooses its screen again.
    roleRoute_ = false;
    const std::string etat = nouvelEtatConnexion();
    const auto adresse = adresseConnexionSafari(etat);
    if (!adresse) return;

    // The state lives only in this completion.
    const bool demarree = sessions_.connexion(
        *adresse, std::string(SCHEMA_APP),
        vivant_.garder([this, etat](std::optional<std::string> url, std::optional<ErreurTransport> erreur) {
            connexionSafariTerminee(url, erreur, etat);
        }));
    if (!demarree) {
        alerte("Connexion impossible", "Le navigateur n'a pas pu ouvrir la page de connexion. Réessayez.");
        return;
    }
    // The session page comes back in a moment: the web view's page process, a quarter of a second
    // or more to start, starts meanwhile.
    quandVueWebPrete([this] {
        if (web_ != nullptr) web_->preparer();
    });
}

void Delegue::connexionSafariTerminee(const std::optional<std::string>& url,
                                      const std::optional<ErreurTransport>& erreur, const std::string& etat) {
    // A browser page closed by the user reports nothing; the desktop's own refusal to choose a
    // browser comes without an address and without an error, and is silent as well.
    if (erreur) {
        alerte("Connexion impossible",
               "La connexion dans le navigateur n'a pas abouti.\nVérifiez votre connexion, puis réessayez.\n" +
                   entreParentheses(*erreur));
        return;
    }
    if (!url) return;
    const auto retour = analyserAdresse(*url);
    if (!retour || minuscules(retour->hote.value_or("")) != "session") return;

    const auto jeton = analyserRetourConnexion(url, etat);
    const auto page = jeton ? adresseSessionApp(*jeton) : std::nullopt;
    if (!page) {
        alerte("Connexion refusée", "Le retour du navigateur ne correspond pas à la connexion demandée. Recommencez.");
        montrerConnexion();
        return;
    }
    // The page sets the web login's cookies; the role check then chooses the screen. A return
    // that comes before the web view exists (the browser was quick, the launch slow) loads once
    // the view is there with the saved cookies.
    // Whatever took the window meanwhile, the first cloud page of this login asks who the user is.
    roleRoute_ = false;
    retourAction_ = vivant_.garder([this] { montrerConnexion(); });
    montrerPageWeb(*page);
}

void Delegue::deconnexion() {
    if (!sortieDeFicheConfirmee()) return;
    // Not waited for: the account is forgotten whatever the store does later.
    effacerDonneesWeb();
    ports_.http.supprimerCookies();
    Habilitation::effacer(ports_.preferences);
    MemoireParc::effacer(ports_.preferences);
    parc_.clear();
    registreAtelier_.clear();
    parcOrganisation_.clear();
    parcCompte_.clear();
    parcHorsLigne_ = false;
    // The workshop registry held in memory goes too, once it is kept.
    ports_.preferences.supprimer(CLE_MODE);
    montrerConnexion();
    // A sign-in still waiting for its return goes with the account: a late return would sign
    // it back in.
    sessions_.abandonnerConnexion();
    // The browser keeps its own login; without this, the next sign-in would reuse it.
    fermerSessionSafari();
}

void Delegue::fermerSessionSafari() {
    if (sessions_.enCours()) return;
    const auto adresse = adresseDeconnexionSafari();
    if (!adresse) return;
    sessions_.deconnexion(*adresse);
}

}  // namespace ovrel
