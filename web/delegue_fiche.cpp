// The label-sheet guard and the quit (their state: GardienSortie).
#include "app/delegue.h"
#include "web/adresses.h"

#include <chrono>
#include <utility>

namespace ovrel {

namespace {
// The quit waits this long at most for the cookies to be saved.
constexpr std::chrono::milliseconds ATTENTE_FIN{1500};
}  // namespace

bool Delegue::ficheALEcran() const {
    return gardien_.ficheAGarder() && ports_.ecrans.fenetreExiste() && ports_.ecrans.affiche() == Ecran::web &&
           gardien_.ficheAffichee();
}

bool Delegue::sortieDeFicheConfirmee() {
    if (!ficheALEcran()) return true;
    return gardien_.demanderSortie(ports_.dialogues);
}

void Delegue::oublierLaFiche() {
    if (web_ == nullptr || !gardien_.ficheAffichee()) return;
    gardien_.desarmer();
    // Neither on screen nor in the back history.
    web_->charger("about:blank", std::chrono::seconds(60));
}

ReponseTerminaison Delegue::applicationShouldTerminate(std::function<void()> terminer) {
    // The quit is already granted: this request gets the same answer.
    if (gardien_.finAcquittee()) {
        if (terminer) ports_.minuteries.surLaFilePrincipale(std::move(terminer));
        return ReponseTerminaison::plusTard;
    }
    // One quit at a time: the pending one's answer ends the application.
    if (gardien_.finEnAttente()) return ReponseTerminaison::plusTard;
    if (!sortieDeFicheConfirmee()) return ReponseTerminaison::annuler;
    if (!interruptionRattachementConfirmee()) return ReponseTerminaison::annuler;
    // The fleet heartbeat stops here too, once the fleet screen has one.

    // Saved cookies and the delay race; the first to come answers, the other finds it done.
    auto repondre = vivant_.garder([this] { gardien_.acquitterFin(); });
    gardien_.attendreFin(std::move(terminer), ports_.minuteries.apres(ATTENTE_FIN, repondre));
    sauvegarderCookies(vivant_.garder([this, repondre] { ports_.minuteries.surLaFilePrincipale(repondre); }));
    return ReponseTerminaison::plusTard;
}

}  // namespace ovrel
