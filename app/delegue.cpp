// The application shell: construction, launch, the screen switches, the back control, menu
// validation and the window's delegate.
#include "app/delegue.h"

#include "app/constantes.h"
#include "connexion/habilitation.h"
#include "reseau/ouverture_box.h"
#include "web/scripts_page.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <utility>

namespace ovrel {

namespace {
// The page's own chance to save its work before the back control leaves it; 0 without a hook.
constexpr const char* SCRIPT_AVANT_DE_QUITTER = "window.ovrelAvantDeQuitter ? window.ovrelAvantDeQuitter() : 0";
// How long the back control waits for that hook.
constexpr std::chrono::milliseconds ATTENTE_AVANT_DE_QUITTER{700};

// The menu actions this object carries out; each flow adds its own as it arrives.
constexpr std::array<std::string_view, 16> ACTIONS = {
    "verifierMiseAJourManuelle", "deconnexion",           "actionRetour",        "actionConnexionOvrel",
    "actionParc",                "recharger",             "actionParcHorsLigne", "ouvrirStudioWeb",
    "actionActualiserParc",      "montrerBoxLocales",     "ouvrirConsole",       "actionActualiser",
    "montrerAtelier",            "fabriquerBoxAction",    "refaireEtiquetteAction", "rattacherAncienAction"};
}  // namespace

Delegue::Delegue(PortsDelegue p, Configuration configuration)
    : ports_(p), configuration_(std::move(configuration)), sessions_(p.navigateur), chercheur_(p.decouverte, p.http, p.minuteries) {}

Delegue::~Delegue() { attacherVueWeb(nullptr); }

void Delegue::attacherVueWeb(VueWeb* vue) {
    if (web_ == vue) return;
    if (web_ != nullptr) web_->definirEcouteur(nullptr);
    web_ = vue;
    if (web_ == nullptr) return;
    web_->definirEcouteur(this);
    // The print bridge: every print request of a page comes here. The session bridge: the
    // console says here when its session ran out.
    web_->ajouterScript(std::string(SCRIPT_IMPRIMER));
    web_->ecouterMessages(std::string(MESSAGE_IMPRIMER));
    web_->ecouterMessages(std::string(MESSAGE_SESSION));
    // A signed-in launch shows a page in a moment: the page process starts now, while the saved
    // session is copied in and the cloud is asked who the user is.
    if (std::exchange(pageAttendue_, false)) web_->preparer();
    preparerVueWeb();
}

void Delegue::applicationDidFinishLaunching() {
    ports_.ecrans.afficher(Ecran::connexion);
    // The saved session goes into the web view, which the window may make a moment later: the
    // sign-in screen shows without waiting for the engine.
    restaurationAuLancement_ = true;
    const auto cookies = ports_.http.cookies();
    pageAttendue_ = std::any_of(cookies.begin(), cookies.end(),
                                [](const Cookie& c) { return c.domaine.find(DOMAINE_CLOUD) != std::string::npos; });
    if (web_ != nullptr && std::exchange(pageAttendue_, false)) web_->preparer();
    preparerVueWeb();
    // The question to the cloud does not need the view (the application's own requests carry
    // the jar's session) and goes at once; a page it opens waits for the view and its session.
    ouvrirLaBonnePorte();
}

bool Delegue::vueWebPrete() const {
    return web_ != nullptr && !preparationVueWeb_ && !restaurationAuLancement_ && effacementsDifferes_ == 0;
}

void Delegue::quandVueWebPrete(std::function<void()> action) {
    attenteVueWeb_.push_back(std::move(action));
    preparerVueWeb();
}

void Delegue::preparerVueWeb() {
    if (web_ == nullptr || preparationVueWeb_) return;
    // A sign-out before the view came: the view's own store, on disk, still holds the forgotten
    // account, and must lose it before anything is copied in or loaded.
    if (effacementsDifferes_ > 0) {
        const int differes = std::exchange(effacementsDifferes_, 0);
        preparationVueWeb_ = true;
        web_->effacerDonnees(vivant_.garder([this, differes] {
            effacementsEnCours_ -= differes;
            preparationVueWeb_ = false;
            preparerVueWeb();
        }));
        return;
    }
    if (std::exchange(restaurationAuLancement_, false)) {
        preparationVueWeb_ = true;
        restaurerCookies(vivant_.garder([this] {
            preparationVueWeb_ = false;
            verifierMiseAJour(false);
            preparerVueWeb();
        }));
        return;
    }
    // Ready: what waited runs in its order; an action may ask for more, which then waits its turn
    // behind the others, or may take the view away.
    while (!attenteVueWeb_.empty() && vueWebPrete()) {
        std::function<void()> action = std::move(attenteVueWeb_.front());
        attenteVueWeb_.erase(attenteVueWeb_.begin());
        if (action) action();
    }
}

void Delegue::montrerConnexion() {
    if (!sortieDeFicheConfirmee()) return;
    oublierLaFiche();
    chercheur_.arreter();
    arreterBattementParc();
    roleRoute_ = false;
    ports_.ecrans.afficher(Ecran::connexion);
}

void Delegue::montrerPageWeb(const std::string& url) {
    montrerWeb();
    quandVueWebPrete([this, url] {
        if (web_ != nullptr) web_->charger(url, std::chrono::seconds(60));
    });
}

void Delegue::montrerWeb() {
    arreterBattementParc();
    ports_.ecrans.afficher(Ecran::web);
}

void Delegue::actionRetour() {
    // The page's hook is being asked for an earlier press: this is the same back.
    if (delaiRetour_ && delaiRetour_->active()) return;
    if (!sortieDeFicheConfirmee()) return;
    // Copied now: the action may well set another one.
    std::function<void()> action = retourAction_ ? retourAction_ : vivant_.garder([this] { montrerConnexion(); });

    if (ports_.ecrans.affiche() != Ecran::web || web_ == nullptr) {
        action();
        return;
    }

    // Whichever comes first, the hook's answer or the delay, runs the action; the other finds
    // it done.
    auto fait = std::make_shared<bool>(false);
    auto lancer = vivant_.garder([this, fait, action = std::move(action)] {
        if (*fait) return;
        *fait = true;
        delaiRetour_.reset();
        action();
    });
    delaiRetour_ = ports_.minuteries.apres(ATTENTE_AVANT_DE_QUITTER, lancer);
    web_->evaluer(SCRIPT_AVANT_DE_QUITTER, [lancer](std::optional<std::string>, std::optional<ErreurTransport>) mutable {
        lancer();
    });
}

bool Delegue::validerElementMenu(std::string_view action) const {
    if (action == "imprimerPage") {
        return ports_.ecrans.fenetreExiste() && ports_.ecrans.affiche() == Ecran::web && web_ != nullptr &&
               web_->urlCourante().has_value();
    }
    for (std::string_view connue : ACTIONS)
        if (action == connue) return true;
    return false;
}

bool Delegue::windowShouldClose() { return sortieDeFicheConfirmee(); }

void Delegue::windowWillClose() {
    chercheur_.arreter();
    arreterBattementParc();
}


}  // namespace ovrel
