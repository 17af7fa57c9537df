// What stays inside the web view, what goes to the desktop's default application, what becomes
// a download, and what the application does itself instead (its own links, the sign-in, a box
// of this network, a label sheet that must not be lost).
//
// WebKitGTK does not always say which frame a navigation targets when it starts (an iframe's
// own load, a script's navigation and a redirect look like top-level ones); the response to it
// does. So the main frame's rules run when a navigation starts if its frame is known then, and
// otherwise on its response, on the address it ended on. A navigation judged at its start finds
// nothing more to do there. What a rule applied on the response lets through is the request
// itself: the server has been asked, but the page is not shown, nothing is downloaded and the
// sheet on screen stays.
#include "app/constantes.h"
#include "app/delegue.h"
#include "connexion/connexion.h"
#include "plateforme/adresse.h"
#include "web/adresses.h"

#include <chrono>

namespace ovrel {

namespace {

// The extension of the address's last path segment, lower-cased; empty when it has none.
std::string extension(const Adresse& adresse) {
    const auto barre = adresse.chemin.rfind('/');
    const std::string segment = barre == std::string::npos ? adresse.chemin : adresse.chemin.substr(barre + 1);
    const auto point = segment.rfind('.');
    if (point == std::string::npos || point == 0) return {};
    return minuscules(segment.substr(point + 1));
}

bool estWeb(const std::string& schema) { return schema == "http" || schema == "https"; }

bool finitParLivret(const std::optional<Adresse>& adresse) {
    return adresse && adresse->chemin.ends_with("/livret");
}

}  // namespace

void Delegue::ouvrirAilleurs(const std::string& url) { ports_.systeme.ouvrirDansLeNavigateur(url); }

std::optional<DecisionNavigation> Delegue::interceptionPrincipale(const std::string& url) {
    if (const auto site = idDeConfigurer(url)) {
        // The box of the site, named by the page or found in the fleet by the site's id, opens
        // directly when this network has it: it works without internet.
        std::optional<std::string> serie = serieDeConfigurer(url);
        if (!serie)
            for (const auto& ovrel : parc_)
                if (ovrel.id == *site) {
                    serie = ovrel.serie;
                    break;
                }
        if (serie) {
            if (const auto box = boxLocale(*serie)) {
                ports_.minuteries.surLaFilePrincipale(
                    vivant_.garder([this, adresse = box->cle()] { ouvrirBoxLAN(adresse, true); }));
                return DecisionNavigation::annuler;
            }
        }
        // The cloud shows the configuration page; Retour leads back to the fleet page.
        retourAction_ = vivant_.garder([this] { montrerMesOvrels(); });
        chercheur_.arreter();
    }
    if (auto quoi = navigationDeConnexion(url)) {
        ports_.minuteries.surLaFilePrincipale(
            vivant_.garder([this, quoi = *quoi] { connexionDemandeeParLaPage(quoi); }));
        return DecisionNavigation::annuler;
    }
    return std::nullopt;
}

DecisionNavigation Delegue::deciderNavigation(const ActionNavigation& action) {
    if (!action.url) return DecisionNavigation::autoriser;
    const std::string& url = *action.url;
    ports_.systeme.journal("OVREL NAV → " + adresseSansSecret(url));
    const auto adresse = analyserAdresse(url);
    const std::string schema = adresse ? minuscules(adresse->schema) : std::string();

    if (schema == SCHEMA_APP) {
        // Handled once the decision is made, on the main queue.
        ports_.minuteries.surLaFilePrincipale(
            vivant_.garder([this, url] { lienDeLApp(url, OrigineLien::page); }));
        return DecisionNavigation::annuler;
    }

    const bool principal = action.cadrePrincipal == true;
    if (principal) {
        if (auto decision = interceptionPrincipale(url)) return *decision;
    }
    // The booklet's answer was awaited and the server sends the page elsewhere instead. A
    // redirect of unknown frame counts: it follows the form just sent.
    if (livretEnVol_ && (principal || (!action.cadrePrincipal && action.redirection))) {
        livretEnVol_ = false;
        alerterLivretManque(std::nullopt);
        return DecisionNavigation::annuler;
    }
    // The sheet's booklet form is being sent: not a departure. A form of the sheet whose frame
    // is not known counts (no sub-frame of a label sheet posts a booklet).
    if (action.cadrePrincipal != false && gardien_.ficheAGarder() && gardien_.ficheAffichee() &&
        action.methode == "POST" && finitParLivret(adresse))
        livretEnVol_ = true;
    if (principal && gardien_.ficheAGarder()) {
        if (quitteLaFiche(gardien_.urlAffichee(), url, action.methode, action.genre == GenreNavigation::rechargement,
                          true) &&
            !sortieDeFicheConfirmee())
            return DecisionNavigation::annuler;
    }

    if (estWeb(schema)) {
        const std::string ext = extension(*adresse);
        if (ext == "zip" || ext == "pdf" || ext == "ovrelbk") {
            if (hoteAutorise(url)) return DecisionNavigation::telecharger;
            ouvrirAilleurs(url);
            return DecisionNavigation::annuler;
        }
        // Installers are the desktop's business, whoever serves them.
        if (ext == "dmg" || ext == "exe" || ext == "pkg") {
            ouvrirAilleurs(url);
            return DecisionNavigation::annuler;
        }
        // A sub-frame may show any site; the main frame only the allowed hosts (for a frame not
        // known here, the response decides).
        if (principal && !hoteAutorise(url)) {
            ouvrirAilleurs(url);
            return DecisionNavigation::annuler;
        }
        return DecisionNavigation::autoriser;
    }
    // The engine loads nothing for the mail and telephone schemes: the desktop's mail client
    // or dialler takes them, and the page stays.
    if (schema == "mailto" || schema == "tel") {
        ouvrirAilleurs(url);
        return DecisionNavigation::annuler;
    }
    return DecisionNavigation::autoriser;
}

std::optional<DecisionNavigation> Delegue::gardeEnReponse(const ReponseNavigation& reponse) {
    // Judged at its start already: its booklet is awaited, or the user let the sheet go.
    if (!gardien_.ficheAGarder() || livretEnVol_ || !gardien_.ficheAffichee()) return std::nullopt;
    if (reponse.methode == "POST" && finitParLivret(analyserAdresse(*reponse.url))) {
        livretEnVol_ = true;
        return std::nullopt;
    }
    if (quitteLaFiche(gardien_.urlAffichee(), *reponse.url, reponse.methode, false, true) &&
        !sortieDeFicheConfirmee())
        return DecisionNavigation::annuler;
    return std::nullopt;
}

DecisionNavigation Delegue::deciderReponse(const ReponseNavigation& reponse) {
    const auto adresse = reponse.url ? analyserAdresse(*reponse.url) : std::nullopt;
    const bool web = adresse && estWeb(minuscules(adresse->schema));

    if (reponse.cadrePrincipal && web) {
        // The main frame's rules for a navigation whose frame was not known at its start.
        if (auto decision = interceptionPrincipale(*reponse.url)) return *decision;
        if (auto decision = gardeEnReponse(reponse)) return *decision;
        if (!hoteAutorise(*reponse.url)) {
            ouvrirAilleurs(*reponse.url);
            return DecisionNavigation::annuler;
        }
    }

    if (reponse.typeAffichable && !estPieceJointe(reponse.dispositionContenu)) {
        // On an unsecured sheet the only main-frame page left to come is the booklet's answer:
        // a page instead of the file.
        if (gardien_.ficheAGarder() && reponse.cadrePrincipal && gardien_.ficheAffichee()) {
            livretEnVol_ = false;
            alerterLivretManque(reponse.statut > 0 ? std::optional<int>(reponse.statut) : std::nullopt);
            return DecisionNavigation::annuler;
        }
        return DecisionNavigation::autoriser;
    }
    // A file. From a foreign site, the default browser fetches it; what has no address to give
    // away (a page's own blob: or data:) is saved here.
    if (web && !hoteAutorise(*reponse.url)) {
        ouvrirAilleurs(*reponse.url);
        return DecisionNavigation::annuler;
    }
    livretEnVol_ = false;
    if (reponse.statut == 200 && reponse.typeMime == "application/pdf" && finitParLivret(adresse))
        telechargements_.livretAttendu(*reponse.url);
    return DecisionNavigation::telecharger;
}

void Delegue::nouvelleFenetreDemandee(const std::optional<std::string>& url) {
    // The application never makes a second web view.
    if (!url) return;
    const auto adresse = analyserAdresse(*url);
    const std::string schema = adresse ? minuscules(adresse->schema) : std::string();
    if (schema == SCHEMA_APP) {
        // A page's own link, whatever window it asks for: never the desktop's, which would
        // hand it back as if the browser had sent it.
        lienDeLApp(*url, OrigineLien::page);
        return;
    }
    if (estWeb(schema)) {
        // The load goes through the navigation policy: a sheet on screen still asks.
        if (hoteAutorise(*url)) {
            if (web_ != nullptr) web_->charger(*url, std::chrono::seconds(60));
        } else {
            ouvrirAilleurs(*url);
        }
        return;
    }
    // A blank window a script means to write into, or a data: address: nothing to open.
    if (schema == "about" || schema == "data" || schema == "blob" || schema == "javascript" || schema.empty()) return;
    ouvrirAilleurs(*url);
}

void Delegue::alerterLivretManque(std::optional<int> statut) {
    const std::string raison =
        statut ? "réponse " + std::to_string(*statut) + " du serveur" : std::string("le serveur renvoie ailleurs");
    alerte("La fiche d'étiquette reste à l'écran",
           "Le livret n'a pas pu être préparé (" + raison + " — session expirée ?). " +
               "Imprimez l'étiquette maintenant (Ctrl+P, ou « Enregistrer au format PDF ») : " +
               "c'est elle qui garde le code.");
}

void Delegue::connexionDemandeeParLaPage(const std::string& quoi) {
    if (quoi == "deconnexion") {
        deconnexion();
        return;
    }
    // Each asks the label-sheet guard by itself.
    montrerConnexion();
    ouvrirConnexionOvrel();
}

void Delegue::montrerMesOvrels() {
    if (!sortieDeFicheConfirmee()) return;
    oublierLaFiche();
    // The fleet page is the top: Retour has nothing to go back to.
    roleRoute_ = true;
    retourAction_ = nullptr;
    appliquerLeCacheSiVide();
    // The page lists the boxes of this network as they are found.
    chercheur_.definirSurChangement(vivant_.garder([this] { verserLeReseau(); }));
    chercheur_.demarrer();
    // The fleet in memory is kept fresh too: the native screen falls back on it when the page
    // fails, and the session renewal of a box behind the tunnel finds its site there.
    chargerParc();
    if (!analyserAdresse(URL_STUDIO())) {
        montrerParc(false);
        return;
    }
    montrerPageWeb(URL_STUDIO());
}

void Delegue::recharger() {
    if (!sortieDeFicheConfirmee()) return;
    if (ports_.ecrans.affiche() == Ecran::web && web_ != nullptr) web_->recharger();
}

}  // namespace ovrel
