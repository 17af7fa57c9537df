// The application shell: construction, launch, the screen switches, the back control, menu
// validation and the window's delegate.
#include "app/delegue.h"

#include <chrono>
#include <utility>

namespace ovrel {

namespace {
// The page's own chance to save its work before the back control leaves it; 0 without a hook.
constexpr const char* SCRIPT_AVANT_DE_QUITTER = "window.ovrelAvantDeQuitter ? window.ovrelAvantDeQuitter() : 0";
// How long the back control waits for that hook.
constexpr std::chrono::milliseconds ATTENTE_AVANT_DE_QUITTER{700};
}  // namespace

Delegue::Delegue(PortsDelegue p) : ports(p) {}

Delegue::~Delegue() {
    // The timers would do nothing once the object is gone; they need not fire at all.
    windowDidMiniaturize();
}

void Delegue::applicationDidFinishLaunching() {
    ports.ecrans.afficher(Ecran::connexion);
    // The first screen is chosen only once the saved session is in the web view.
    restaurerCookies(vivant_.garder([this] { verifierMiseAJour(false); }));
}

void Delegue::montrerConnexion() {
    if (!sortieDeFicheConfirmee()) return;
    oublierLaFiche();
    // The box finder's browsing stops here too, once local discovery is part of the object.
    windowDidMiniaturize();
    roleRoute = false;
    ports.ecrans.afficher(Ecran::connexion);
}

void Delegue::montrerWeb() {
    windowDidMiniaturize();
    ports.ecrans.afficher(Ecran::web);
}

void Delegue::actionRetour() {
    if (!sortieDeFicheConfirmee()) return;
    // Copied now: the action may well set another one.
    std::function<void()> action = retourAction ? retourAction : vivant_.garder([this] { montrerConnexion(); });

    if (ports.ecrans.affiche() != Ecran::web || web == nullptr) {
        action();
        return;
    }

    // Whichever comes first, the hook's answer or the delay, runs the action; the other finds
    // it done.
    struct Unique {
        bool fait = false;
        std::weak_ptr<Minuterie> delai;  // weak: the timer holds this very state
    };
    auto unique = std::make_shared<Unique>();
    auto lancer = [unique, action = std::move(action)] {
        if (unique->fait) return;
        unique->fait = true;
        if (auto delai = unique->delai.lock()) delai->annuler();
        action();
    };
    unique->delai = ports.minuteries.apres(ATTENTE_AVANT_DE_QUITTER, vivant_.garder(lancer));
    web->evaluer(SCRIPT_AVANT_DE_QUITTER,
                 vivant_.garder([lancer](std::optional<std::string>, std::optional<ErreurTransport>) { lancer(); }));
}

bool Delegue::validerElementMenu(std::string_view action) const {
    if (action == "imprimerPage") {
        return ports.ecrans.fenetreExiste() && ports.ecrans.affiche() == Ecran::web && web != nullptr &&
               web->urlCourante().has_value();
    }
    return true;
}

bool Delegue::windowShouldClose() { return sortieDeFicheConfirmee(); }

void Delegue::windowWillClose() {
    windowDidMiniaturize();
    // The box finder's browsing stops here too, once local discovery is part of the object.
}

void Delegue::windowDidMiniaturize() {
    if (minuteurParc) {
        minuteurParc->annuler();
        minuteurParc.reset();
    }
    if (minuteurVu) {
        minuteurVu->annuler();
        minuteurVu.reset();
    }
}

}  // namespace ovrel
