// Printing the page shown, and the messages pages post to the application (their print
// requests, the console's word that its session ran out).
#include "app/delegue.h"
#include "plateforme/adresse.h"
#include "web/adresses.h"
#include "web/scripts_page.h"

#include <chrono>

namespace ovrel {

namespace {
// A page's print request this soon after the last print dialog closed is the same request
// again (a page calling print() twice, a double click).
constexpr std::chrono::seconds REPIT_IMPRESSION{1};
}  // namespace

void Delegue::imprimerPage() {
    if (!ports_.ecrans.fenetreExiste() || ports_.ecrans.affiche() != Ecran::web || web_ == nullptr) {
        ports_.dialogues.bip();
        return;
    }
    // Foreign pages are never printed.
    const std::optional<std::string> adresse = gardien_.urlAffichee() ? gardien_.urlAffichee() : web_->urlCourante();
    if (!adresse || !hoteAutorise(*adresse)) {
        ports_.dialogues.bip();
        return;
    }
    if (ports_.dialogues.dialogueOuvert() || impressionDe_) {
        ports_.dialogues.bip();
        return;
    }
    std::string titre = web_->titre();
    if (titre.empty()) titre = "Ovrel";
    impressionDe_ = adresse;
    ports_.systeme.journal("OVREL IMPRESSION → " + adresseSansSecret(adresse));
    web_->imprimer(titre, vivant_.garder([this](bool reussie) { impressionTerminee(reussie); }));
}

void Delegue::impressionTerminee(bool reussie) {
    ports_.systeme.journal(std::string("OVREL IMPRESSION: ") + (reussie ? "faite" : "annulée"));
    finDerniereImpression_ = ports_.horloge.maintenant();
    // Only the sheet still on screen is secured by its print.
    if (reussie && estFicheEtiquette(impressionDe_) && impressionDe_ == gardien_.urlAffichee()) gardien_.desarmer();
    impressionDe_.reset();
}

void Delegue::messageScript(const MessageScript& message) {
    // Only the page itself speaks for the application, and only from an allowed host; anything
    // else is dropped without a trace.
    if (message.cadrePrincipal != true || !message.origine) return;
    if (!analyserAdresse(*message.origine) || !hoteAutorise(*message.origine)) return;

    if (message.nom == MESSAGE_SESSION) {
        // The body is JSON text: the page posted the text "expiree".
        if (message.corps == "\"" + std::string(DEMANDE_SESSION) + "\"") renouvelerSessionStudio(*message.origine);
        return;
    }
    if (message.nom == MESSAGE_IMPRIMER) {
        const auto maintenant = ports_.horloge.maintenant();
        if (finDerniereImpression_ && maintenant - *finDerniereImpression_ <= REPIT_IMPRESSION) return;
        ports_.minuteries.surLaFilePrincipale(vivant_.garder([this] { imprimerPage(); }));
    }
}

}  // namespace ovrel
