// The browser sign-in and sign-out. The user signs in with the cloud account in the default
// browser, never inside the web view: the application opens the cloud's sign-in page with a
// random state, the cloud sends the browser back to the application's scheme with that state
// and a one-time token, and the application, once the return is checked, loads in its web view
// the page that turns the token into a web login. From there the role routing takes over.
//
// A page in the default browser cannot tell the application that the user closed it: a sign-in
// may wait for a return that never comes. So a new sign-in is never blocked by a pending one:
// it replaces it (the old session is dropped, and a return carrying the old state is refused).
// A sign-out session is short-lived (it ends as soon as the browser was asked to open the page)
// and is never replaced: nothing starts while it runs, so a sign-in and a sign-out never overlap.
// A sign-out drops a sign-in that still waits, so that a late return cannot sign the forgotten
// account back in.
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
constexpr std::chrono::seconds DELAI_PAGE_SESSION{60};
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
    if (sessionSafari && !sessionSafariEstConnexion_) return;
    // The probe of a press just before is on its way (a double click): one sign-in, one page.
    if (sondeConnexionEnVol_) return;
    // The box finder's browsing stops here too, once local discovery is part of the object.
    roleRoute = false;

    RequeteHttp sonde;
    sonde.url = BASE_CLOUD() + "/sante";
    if (!analyserAdresse(sonde.url)) return;
    sonde.delai = DELAI_SONDE;
    sondeConnexionEnVol_ = true;
    ports.http.envoyer(std::move(sonde), vivant_.garder([this](ReponseHttp reponse) {
        sondeConnexionEnVol_ = false;
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
    if (sessionSafari) {
        if (!sessionSafariEstConnexion_) return;
        // The page of the pending sign-in may well be closed already: nobody would ever answer
        // it. Its state dies with it.
        sessionSafari->annuler();
        sessionSafari.reset();
    }

    const std::string etat = nouvelEtatConnexion();
    const auto adresse = adresseConnexionSafari(etat);
    if (!adresse) return;

    // The state lives only in this completion; a completion counts only while its session is
    // the one running.
    const std::uint64_t numero = ++numeroSessionSafari_;
    auto session = ports.navigateur.creer(
        *adresse, std::string(SCHEMA_APP),
        vivant_.garder([this, numero, etat](std::optional<std::string> url, std::optional<ErreurTransport> erreur) {
            if (!sessionSafari || numero != numeroSessionSafari_) return;
            connexionSafariTerminee(url, erreur, etat);
        }));
    sessionSafari = session;
    sessionSafariEstConnexion_ = true;
    if (!session || !session->demarrer()) {
        if (sessionSafari == session) sessionSafari.reset();
        alerte("Connexion impossible", "Le navigateur n'a pas pu ouvrir la page de connexion. Réessayez.");
    }
}

void Delegue::connexionSafariTerminee(const std::optional<std::string>& url,
                                      const std::optional<ErreurTransport>& erreur, const std::string& etat) {
    sessionSafari.reset();
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
    // The page sets the web login's cookies; once it has loaded, the role check chooses the
    // screen because no role is established yet.
    roleRoute = false;
    retourAction = vivant_.garder([this] { montrerConnexion(); });
    montrerWeb();
    if (web != nullptr) web->charger(*page, DELAI_PAGE_SESSION);
}

void Delegue::deconnexion() {
    if (!sortieDeFicheConfirmee()) return;
    // Not waited for: the account is forgotten whatever the store does later.
    if (web != nullptr) web->effacerDonnees({});
    ports.http.supprimerCookies();
    Habilitation::effacer(ports.preferences);
    MemoireParc::effacer(ports.preferences);
    parc.clear();
    parcOrganisation.clear();
    parcCompte.clear();
    parcHorsLigne = false;
    registreAtelier.clear();
    ports.preferences.supprimer(CLE_MODE);
    montrerConnexion();
    // A sign-in still waiting for its return goes with the account: a late return would sign
    // it back in.
    if (sessionSafari && sessionSafariEstConnexion_) {
        sessionSafari->annuler();
        sessionSafari.reset();
    }
    // The browser keeps its own login; without this, the next sign-in would reuse it.
    fermerSessionSafari();
}

void Delegue::fermerSessionSafari() {
    if (sessionSafari) return;
    const auto adresse = adresseDeconnexionSafari();
    if (!adresse) return;

    // Nothing comes back from the sign-out page: the session ends once the browser was asked.
    const std::uint64_t numero = ++numeroSessionSafari_;
    auto session = ports.navigateur.creer(
        *adresse, std::nullopt, vivant_.garder([this, numero](std::optional<std::string>, std::optional<ErreurTransport>) {
            if (numero == numeroSessionSafari_) sessionSafari.reset();
        }));
    sessionSafari = session;
    sessionSafariEstConnexion_ = false;
    if (!session || !session->demarrer()) {
        if (sessionSafari == session) sessionSafari.reset();
    }
}

}  // namespace ovrel
