// What the web view reports, and what pages ask of the application beyond navigation: its
// application links and its plain alert.
#include "app/constantes.h"
#include "app/delegue.h"
#include "connexion/connexion.h"
#include "connexion/habilitation.h"
#include "sante/memoire_parc.h"
#include "plateforme/adresse.h"
#include "web/adresses.h"
#include "web/scripts_page.h"

#include <chrono>

namespace ovrel {

void Delegue::alerte(const std::string& titre, const std::string& message) {
    ports_.dialogues.alerte(titre, message);
}

void Delegue::lienDeLApp(const std::string& url, OrigineLien origine) {
    switch (genreDeLien(url)) {
    case LienApp::RetourConnexion:
        // Only the browser comes back this way: a page cannot hand the application a sign-in.
        // The sign-in waiting for its return takes it; one nobody waits for (an old page, an
        // application started afresh) is only logged.
        if (origine == OrigineLien::bureau && sessions_.recevoirRetour(url)) return;
        break;
    case LienApp::Ouvrir:
        ports_.systeme.journal("OVREL LIEN → " + adresseSansSecret(url));
        if (const auto serie = serieAOuvrir(url)) {
            if (const auto box = boxLocale(*serie)) {
                ouvrirBoxLAN(box->cle(), true);
                return;
            }
        }
        alerte("Ovrel introuvable sur ce réseau",
               "L'application ne voit plus cet Ovrel sur le réseau local. Vérifiez qu'il est branché, puis "
               "actualisez Mes Ovrels.");
        return;
    case LienApp::Connexion:
        ports_.systeme.journal("OVREL LIEN → " + adresseSansSecret(url));
        // Each asks the label-sheet guard by itself.
        montrerConnexion();
        ouvrirConnexionOvrel();
        return;
    case LienApp::Aucun:
        break;
    }
    ports_.systeme.journal("OVREL LIEN → " + adresseSansSecret(url));
}

bool Delegue::parcConnu() const {
    return !parc_.empty() || ports_.preferences.lire(MemoireParc::CLE_CACHE).has_value();
}

void Delegue::adresseEngagee() {
    livretEnVol_ = false;
    // Committing a label sheet arms its guard; committing any other page disarms it.
    gardien_.pageEngagee(web_ != nullptr ? web_->urlCourante() : std::nullopt);
}

void Delegue::chargementTermine() {
    const std::optional<std::string> url = web_ != nullptr ? web_->urlCourante() : std::nullopt;
    // Asked for by the workshop's new label: once, on the page that opened for it.
    if (mettreEnAvantNouveauCode_) {
        mettreEnAvantNouveauCode_ = false;
        const auto adresse = url ? analyserAdresse(*url) : std::nullopt;
        if (adresse && adresse->chemin.starts_with("/admin/box/")) {
            web_->evaluer(std::string(SCRIPT_NOUVEAU_CODE),
                          vivant_.garder([this](std::optional<std::string> resultat, std::optional<ErreurTransport>) {
                              if (resultat != "absent") return;
                              alerte("Pas de nouvelle étiquette pour cet Ovrel",
                                     "La console ne la propose pas : l'Ovrel a déjà été remis à son client (son code a "
                                     "servi), ou ce compte n'a pas le rôle concepteur.");
                          }));
        }
    }
    // Every finished page may have changed the login: the jar follows at once, so that the
    // application's own requests carry it and a crash loses nothing.
    const auto adresse = url ? analyserAdresse(*url) : std::nullopt;
    if (!adresse || !adresse->hote || !estHoteOvrel(*adresse->hote)) {
        sauvegarderCookies();
        return;
    }
    // A cloud page: the user's role, asked with the session just saved, until it is known.
    sauvegarderCookies(vivant_.garder([this] {
        if (!roleRoute_) verifierRole();
    }));
    if (adresse->chemin.starts_with("/studio")) recupererJetonLocal();
    // The fleet page hears of the boxes already found here as soon as it is loaded.
    if (estMesOvrels(url)) verserLeReseau();
}

void Delegue::chargementEchoue(const std::optional<std::string>& url, const ErreurTransport& erreur,
                               bool avantEngagement) {
    // A page that failed once shown keeps what it shows.
    if (!avantEngagement) return;
    mettreEnAvantNouveauCode_ = false;
    livretEnVol_ = false;
    // A load the user or a page replaced, or that a decision turned away (a download, a
    // cancel): nothing to say.
    if ((erreur.domaine == "WebKitNetworkError" && erreur.code == 302) ||
        (erreur.domaine == "WebKitPolicyError" && erreur.code == 102))
        return;
    const std::string code = erreur.domaine + " " + std::to_string(erreur.code);
    // The engine gives no underlying error.
    ports_.systeme.journal("OVREL ECHEC NAV: " + code + " — " + adresseSansSecret(url) + " — sous-jacent: —");

    // A new label sheet: its code exists only in this request, so it is worth asking again.
    if (estFicheEtiquette(url) && url != gardien_.urlAffichee()) {
        const int choix = ports_.dialogues.question(
            "La fiche d'étiquette n'a pas pu s'afficher",
            "Son code n'est que dans cette demande (le cloud n'en garde qu'une empreinte). Réessayez tant que "
            "l'app est ouverte ; sinon, « Refaire l'étiquette » dans l'Atelier en donnera une nouvelle — la box, "
            "elle, est bien fabriquée.\n(" + code + ")",
            {"Réessayer", "Abandonner cette fiche"});
        if (choix == 0 && web_ != nullptr) web_->charger(*url, std::chrono::seconds(60));
        return;
    }
    // The fleet page of a known fleet: the native fleet screen shows it without the network.
    if (estMesOvrels(url) && parcConnu()) {
        montrerParc(false);
        return;
    }
    alerte("Connexion impossible", "Impossible de joindre le serveur.\nVérifiez le réseau, puis réessayez.\n(" + code + ")");
    // Nothing shown at all: a screen of the application instead.
    if (web_ == nullptr || web_->urlCourante()) return;
    if (parcConnu()) {
        montrerParc(false);
    } else if (Habilitation::valide(ports_.preferences, ports_.horloge)) {
        montrerBoxLocales();
    } else {
        montrerConnexion();
    }
}

bool Delegue::certificatRefuse(const EchecCertificat& echec) {
    // Boxes behind the cloud's tunnel present certificates of their own, which the system's
    // trust store need not know; every other host keeps the ordinary checks. The suffix starts
    // with its dot, so neither the studio host nor a look-alike such as "xbox.<domain>" passes.
    const std::string hote = minuscules(echec.hote);
    ports_.systeme.journal("OVREL DEFI TLS: hote=" + hote + " methode=certificat-serveur");
    if (!hote.ends_with(SUFFIXE_BOX())) return false;
    // For diagnosis only: the subject is not compared with the host.
    if (!echec.sujet.empty())
        ports_.systeme.journal("OVREL DEFI TLS: CN=" + echec.sujet + " (hôte attendu " + hote + ")");
    ports_.systeme.journal("OVREL DEFI TLS: accepté pour " + hote + " (exceptions posées)");
    return true;
}

ReponseDialogueScript Delegue::dialogueScript(const DialogueScript& dialogue) {
    // The page's frame and origin do not matter: it only talks to the user.
    constexpr const char* TITRE = "Ovrel Studio";
    ReponseDialogueScript reponse;
    switch (dialogue.genre) {
    case GenreDialogueScript::alerte:
        ports_.dialogues.alerte(TITRE, dialogue.message);
        reponse.ok = true;
        break;
    case GenreDialogueScript::confirmation:
        reponse.ok = ports_.dialogues.question(TITRE, dialogue.message, {"OK", "Annuler"}) == 0;
        break;
    case GenreDialogueScript::saisie:
        // Cancelled gives the page nothing, not an empty text.
        reponse.texte = ports_.dialogues.saisie(TITRE, dialogue.message, dialogue.texteInitial);
        reponse.ok = reponse.texte.has_value();
        break;
    }
    return reponse;
}

std::vector<std::filesystem::path> Delegue::fichiersDemandes(bool plusieurs) {
    return ports_.dialogues.ouvrir("Ovrel Studio", "Choisissez le fichier à importer dans l'Ovrel", "Importer",
                                   plusieurs);
}

bool Delegue::mediaDemande(const DemandeMedia& demande) {
    // The console may take a picture (a box's label, a site); nothing listens through the
    // application, and no other site sees the camera.
    if (demande.micro || !demande.camera || !demande.url) return false;
    const auto adresse = analyserAdresse(*demande.url);
    return adresse && adresse->hote && estHoteOvrel(*adresse->hote);
}

void Delegue::telechargementCommence(IdTelechargement id, const std::optional<std::string>& url) {
    telechargements_.commence(id, url);
}

void Delegue::destinationTelechargement(IdTelechargement id, const std::string& nomPropose,
                                        std::function<void(std::optional<std::filesystem::path>)> repondre) {
    // Nothing is saved without the user choosing where (the view replaces a file chosen again).
    auto fichier = ports_.dialogues.enregistrer("Où enregistrer ce fichier de l'Ovrel ?",
                                                nomPropose.empty() ? "fichier-ovrel" : nomPropose);
    if (!fichier) {
        ports_.systeme.journal("OVREL TELECHARGEMENT: annulé");
        repondre(std::nullopt);
        return;
    }
    telechargements_.destinationChoisie(id, *fichier);
    ports_.systeme.journal("OVREL TELECHARGEMENT → " + fichier->string());
    repondre(std::move(fichier));
}

void Delegue::telechargementTermine(IdTelechargement id) {
    const auto fin = telechargements_.fin(id);
    if (!fin.fichier) return;
    ports_.systeme.journal("OVREL TELECHARGEMENT: terminé → " + fin.fichier->string());
    // The booklet keeps the sheet's code: the sheet may be left freely.
    if (fin.livret) gardien_.desarmer();
    ports_.systeme.reveler(*fin.fichier);
}

void Delegue::telechargementEchoue(IdTelechargement id, const ErreurTransport& erreur, bool annule) {
    telechargements_.fin(id);
    // A refused destination or a stopped download: the user knows.
    if (annule) return;
    const std::string code = erreur.domaine + " " + std::to_string(erreur.code);
    ports_.systeme.journal("OVREL TELECHARGEMENT ÉCHEC: " + code);
    alerte("Téléchargement impossible", "Le fichier n'a pas pu être enregistré.\n(" + code + ")");
}

}  // namespace ovrel
