// The one application object: all of the session state and every flow of the application.
//
// It talks to the outside only through the ports it is given (HTTP, user defaults, clock,
// timers, dialogs, screens, desktop, and the web view once the window has made it), so that
// every flow runs headless in tests. Everything runs on the main context; every closure that
// runs later holds the object's liveness token and does nothing once the object is gone.
//
// The operations are defined in the folder of the subsystem they belong to (app/ for the shell
// and the update check, web/ for the label-sheet guard, the quit and the cookies, …).
#pragma once

#include "atelier/atelier.h"
#include "connexion/session.h"
#include "plateforme/dialogues.h"
#include "plateforme/ecrans.h"
#include "plateforme/horloge.h"
#include "plateforme/http.h"
#include "plateforme/minuteries.h"
#include "plateforme/preferences.h"
#include "plateforme/session_navigateur.h"
#include "plateforme/systeme.h"
#include "plateforme/vivant.h"
#include "plateforme/vue_web.h"
#include "sante/lecture_parc.h"
#include "sante/suivi_vu.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace ovrel {

// The one box finder; its port comes with local discovery.
class ChercheurBox;

// The ports the object works through. They outlive it.
struct PortsDelegue {
    Http& http;
    Preferences& preferences;
    Horloge& horloge;
    Minuteries& minuteries;
    Dialogues& dialogues;
    Ecrans& ecrans;
    Systeme& systeme;
    NavigateurConnexion& navigateur;
};

// The answer to a quit request.
enum class ReponseTerminaison {
    annuler,  // the application stays
    plusTard  // the answer comes later, through the `terminer` action given with the request
};

class Delegue {
public:
    explicit Delegue(PortsDelegue ports);
    ~Delegue();
    Delegue(const Delegue&) = delete;
    Delegue& operator=(const Delegue&) = delete;

    // The window made its web view (or lost it: nullptr). The view outlives its attachment.
    void attacherVueWeb(VueWeb* vue) { web = vue; }

    // --- Launch, window, menu and screens ---

    // The launch once the menu and the window are built: the sign-in screen, the saved cookies
    // copied into the web view, then the automatic update check.
    void applicationDidFinishLaunching();
    // Back to the sign-in screen, unless the label-sheet guard keeps the page.
    void montrerConnexion();
    // The web container; it asks no guard.
    void montrerWeb();
    // The back control of the web container: the page's own hook gets 0.7 s before the back
    // action (`retourAction`, or the sign-in screen) runs, exactly once.
    void actionRetour();
    // Whether the menu item with this action is enabled ("imprimerPage" needs the web screen
    // with a page; every other action is enabled).
    bool validerElementMenu(std::string_view action) const;
    bool windowShouldClose();
    void windowWillClose();
    bool applicationShouldTerminateAfterLastWindowClosed() const { return true; }
    // Stops the fleet heartbeat: cancels and clears `minuteurParc`, then `minuteurVu`.
    void windowDidMiniaturize();

    // --- Update check ---

    void verifierMiseAJour(bool manuel);
    void verifierMiseAJourManuelle();

    // --- Cookies ---

    // Copies every cookie of the shared HTTP jar into the web view's store, then runs `ensuite`
    // once: at once when there is nothing to copy, otherwise after the last copy completed.
    void restaurerCookies(std::function<void()> ensuite);
    // Copies every cookie of the web view's store into the shared jar, then runs `ensuite`.
    void sauvegarderCookies(std::function<void()> ensuite = {});

    // --- Label-sheet guard and quit ---

    // May the page on screen be left? Asks the user when it is a label sheet whose code is not
    // secured.
    bool sortieDeFicheConfirmee();
    // Drops the label sheet on screen: the guard is disarmed and the view shows a blank page.
    void oublierLaFiche();
    // A quit request: refused by the guard, or answered later (exactly once, through
    // `terminer`) once the cookies are saved, and never later than 1.5 s.
    ReponseTerminaison applicationShouldTerminate(std::function<void()> terminer);

    // --- Browser sign-in and sign-out ---

    // The sign-in screen's button.
    void actionConnexionOvrel();
    // Probes the cloud, then starts the sign-in in the default browser. A sign-in already
    // waiting for its return is replaced by the new one (see lancerConnexionSafari).
    void ouvrirConnexionOvrel();
    // Opens the sign-in page in the default browser with a fresh state.
    void lancerConnexionSafari();
    // The browser came back (or could not open the page): checks the return against the state
    // of the session that delivered it, then loads the session page in the web view.
    void connexionSafariTerminee(const std::optional<std::string>& url, const std::optional<ErreurTransport>& erreur,
                                 const std::string& etat);
    // The menu's "Changer de compte (oublier la session)…": forgets the account, its web data
    // and the local authorization, then signs the browser out.
    void deconnexion();
    // Opens the cloud's sign-out page in the default browser, unless a session is running.
    void fermerSessionSafari();

    // --- Dialogs ---

    // The application's plain modal alert with one "OK" button.
    void alerte(const std::string& titre, const std::string& message);

    // --- Ports ---

    PortsDelegue ports;
    // The web view, absent until the window makes it.
    VueWeb* web = nullptr;

    // --- Stored state, in declaration order ---
    // The window is the `Ecrans` port; the screens and their widgets live in the toolkit's
    // screens, which receive what they show from the operations above.

    std::shared_ptr<SessionNavigateur> sessionSafari;
    std::map<IdTelechargement, std::filesystem::path> destinationsTelechargement;
    bool ficheAGarder = false;
    bool mettreEnAvantNouveauCode = false;
    std::map<std::string, FicheRegistre> registreAtelier;
    std::optional<std::string> urlAffichee;
    std::set<IdTelechargement> telechargementsLivret;
    std::optional<std::string> impressionDe;
    bool livretEnVol = false;
    Instant finDerniereImpression = PASSE_LOINTAIN;
    bool fabricationEnCours = false;
    std::function<void()> retourAction;
    // Set once and never replaced.
    std::shared_ptr<ChercheurBox> chercheur;
    std::vector<std::string> clesAffichees;
    std::vector<std::string> clesAtelier;
    std::vector<OvrelParc> parc;
    std::string parcOrganisation;
    std::string parcCompte;
    bool parcHorsLigne = false;
    bool roleRoute = false;
    SanteParc santeParc;
    std::set<std::string> depliees;
    std::vector<SuiviVu> suivisVu;
    std::vector<ActionSante> actionsAffichees;
    Instant parcRecuLe = PASSE_LOINTAIN;
    bool chargementParcEnCours = false;
    std::shared_ptr<Minuterie> minuteurParc;
    std::shared_ptr<Minuterie> minuteurVu;
    bool finAcquittee = false;
    Instant derniereDemandeSession = PASSE_LOINTAIN;

private:
    // The guard's question is open: a modal dialog runs a nested main loop, which may deliver
    // another attempt to leave the same sheet meanwhile.
    bool questionFicheOuverte_ = false;
    // A quit is waiting for its answer.
    bool finEnAttente_ = false;
    // The reachability probe of a sign-in is on its way: a second press meanwhile is the same
    // sign-in.
    bool sondeConnexionEnVol_ = false;
    // What `sessionSafari` is: a sign-in (waiting for its return) or a sign-out.
    bool sessionSafariEstConnexion_ = false;
    // Numbers the browser sessions: a completion counts only for the session still running.
    std::uint64_t numeroSessionSafari_ = 0;

    Vivant vivant_;
};

}  // namespace ovrel
