// The label-sheet guard and the quit. A label sheet shows a box's one-time code, which the cloud
// keeps only as a fingerprint: once the page is gone, the code is lost for good. So leaving an
// unsecured sheet (neither printed nor saved as its booklet) asks the user first.
#include "app/delegue.h"
#include "web/adresses.h"

#include <chrono>
#include <utility>

namespace ovrel {

namespace {
constexpr const char* TITRE_FICHE = "Le code de cette étiquette n'est gardé nulle part";
// This build prints with Ctrl+P.
constexpr const char* MESSAGE_FICHE =
    "L'étiquette n'est pas imprimée et le livret n'est pas téléchargé. Ce code ne sera plus jamais "
    "affiché : le cloud n'en garde qu'une empreinte. Imprimez l'étiquette (Ctrl+P, ou « Enregistrer au "
    "format PDF ») ou téléchargez le livret avant de partir — sinon il faudra une nouvelle étiquette "
    "(nouveau code), depuis la fiche console de la box.";
constexpr const char* RESTER = "Rester sur la fiche";
constexpr const char* PARTIR = "Partir sans l'étiquette";

// The quit waits this long at most for the cookies to be saved.
constexpr std::chrono::milliseconds ATTENTE_FIN{1500};
}  // namespace

bool Delegue::sortieDeFicheConfirmee() {
    if (!ficheAGarder || !ports.ecrans.fenetreExiste() || ports.ecrans.affiche() != Ecran::web ||
        !estFicheEtiquette(urlAffichee))
        return true;
    // The question is already on screen: its answer decides; a second attempt to leave meanwhile
    // stays where it is.
    if (questionFicheOuverte_) return false;

    questionFicheOuverte_ = true;
    const int choix = ports.dialogues.question(TITRE_FICHE, MESSAGE_FICHE, {RESTER, PARTIR});
    questionFicheOuverte_ = false;
    if (choix != 1) return false;
    ficheAGarder = false;
    return true;
}

void Delegue::oublierLaFiche() {
    if (web == nullptr || !estFicheEtiquette(urlAffichee)) return;
    ficheAGarder = false;
    // Neither on screen nor in the back history.
    web->charger("about:blank", std::chrono::seconds(60));
}

ReponseTerminaison Delegue::applicationShouldTerminate(std::function<void()> terminer) {
    // The quit is already granted: this request gets the same answer.
    if (finAcquittee) {
        if (terminer) ports.minuteries.surLaFilePrincipale(std::move(terminer));
        return ReponseTerminaison::plusTard;
    }
    // One quit at a time: the pending one's answer ends the application.
    if (finEnAttente_) return ReponseTerminaison::plusTard;
    if (!sortieDeFicheConfirmee()) return ReponseTerminaison::annuler;
    windowDidMiniaturize();
    finEnAttente_ = true;

    // Saved cookies and the delay race; the first to come answers, the other finds it done.
    auto repondre = vivant_.garder([this, terminer = std::move(terminer)] {
        if (finAcquittee) return;
        finAcquittee = true;
        finEnAttente_ = false;
        if (terminer) terminer();
    });
    sauvegarderCookies(vivant_.garder([this, repondre] { ports.minuteries.surLaFilePrincipale(repondre); }));
    ports.minuteries.apres(ATTENTE_FIN, repondre);
    return ReponseTerminaison::plusTard;
}

}  // namespace ovrel
