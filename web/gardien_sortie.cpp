#include "web/gardien_sortie.h"

#include "web/adresses.h"

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
}  // namespace

void GardienSortie::pageEngagee(std::optional<std::string> url) {
    urlAffichee_ = std::move(url);
    aGarder_ = estFicheEtiquette(urlAffichee_);
}

bool GardienSortie::ficheAffichee() const { return estFicheEtiquette(urlAffichee_); }

bool GardienSortie::demanderSortie(Dialogues& dialogues) {
    if (questionOuverte_) return false;
    questionOuverte_ = true;
    const int choix = dialogues.question(TITRE_FICHE, MESSAGE_FICHE, {RESTER, PARTIR});
    questionOuverte_ = false;
    if (choix != 1) return false;
    aGarder_ = false;
    return true;
}

void GardienSortie::attendreFin(std::function<void()> terminer, std::unique_ptr<Minuterie> delai) {
    terminer_ = terminer ? std::move(terminer) : [] {};
    delaiFin_ = std::move(delai);
}

void GardienSortie::acquitterFin() {
    if (finAcquittee_ || !terminer_) return;
    finAcquittee_ = true;
    auto terminer = std::move(terminer_);
    terminer_ = nullptr;
    delaiFin_.reset();
    terminer();
}

}  // namespace ovrel
