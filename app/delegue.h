// The one front object of the application: every operation by its name.
//
// It talks to the outside only through the ports it is given (HTTP, user defaults, clock,
// timers, dialogs, screens, desktop, the browser, and the web view once the window has made
// it), and hears the outside through those ports' event interfaces (the web view's events, the
// application's links), so that every flow runs headless in tests. Everything runs on the main
// context; every closure that runs later holds the object's liveness token and does nothing
// once the object is gone.
//
// The state of each concern lives in a small object of its own, owned here (the browser
// sessions of the sign-in, the label-sheet guard and the quit, …). The operations are defined in
// the folder of the subsystem they belong to (app/ for the shell and the update check, web/ for
// the guard, the quit, the cookies and the web view's events, connexion/ for the sign-in).
#pragma once

#include "app/configuration.h"
#include "atelier/atelier.h"
#include "atelier/ecran_atelier.h"
#include "atelier/journal_atelier.h"
#include "connexion/documents.h"
#include "connexion/session.h"
#include "connexion/sessions_navigateur.h"
#include "parc/ecran_parc.h"
#include "plateforme/decouverte.h"
#include "plateforme/dialogues.h"
#include "plateforme/ecrans.h"
#include "plateforme/horloge.h"
#include "plateforme/http.h"
#include "plateforme/minuteries.h"
#include "plateforme/preferences.h"
#include "plateforme/processus.h"
#include "plateforme/session_navigateur.h"
#include "plateforme/systeme.h"
#include "plateforme/vivant.h"
#include "plateforme/vue_web.h"
#include "reseau/box_trouvee.h"
#include "reseau/chercheur_box.h"
#include "reseau/ecran_box.h"
#include "sante/lecture_parc.h"
#include "web/gardien_sortie.h"
#include "web/telechargements.h"

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
    EcranParc& ecranParc;
    Decouverte& decouverte;
    EcranBox& ecranBox;
    EcranAtelier& ecranAtelier;
    JournalAtelier& journalAtelier;
    Processus& processus;
};

// The answer to a quit request.
enum class ReponseTerminaison {
    annuler,  // the application stays
    plusTard  // the answer comes later, through the `terminer` action given with the request
};

// Where an application link comes from: the desktop (the program's arguments, a later launch)
// or a page of the web view.
enum class OrigineLien { bureau, page };

class Delegue final : public EvenementsVueWeb {
public:
    Delegue(PortsDelegue ports, Configuration configuration);
    ~Delegue() override;
    Delegue(const Delegue&) = delete;
    Delegue& operator=(const Delegue&) = delete;

    // The window made its web view (or lost it: nullptr); the object becomes the view's
    // listener. The view outlives its attachment. The window makes it only once its first frame
    // is drawn, after the launch: until then the launch's cookie copy, a sign-out's clear of the
    // view's store and every page to load wait for it (see quandVueWebPrete).
    void attacherVueWeb(VueWeb* vue);
    // Runs `action` once the web view is attached and holds the saved session (the launch's
    // cookie copy and any clear asked for before it came are done): at once when it is, or
    // later, in the order asked for. Actions still waiting when the object goes never run.
    void quandVueWebPrete(std::function<void()> action);
    // Whether the web view is attached and ready to load.
    bool vueWebPrete() const;

    // What the launcher read when the application started.
    const Configuration& configuration() const { return configuration_; }

    // --- Launch, window, menu and screens ---

    // The launch once the menu and the window are built: the sign-in screen, the saved cookies
    // copied into the web view, then the automatic update check.
    void applicationDidFinishLaunching();
    // Back to the sign-in screen, unless the label-sheet guard keeps the page.
    void montrerConnexion();
    // The web container; it asks no guard.
    void montrerWeb();
    // The web container with `url` loading in it (60 s), once the view is ready (right after the
    // launch it may not be there yet: the page then loads once it is, with the saved session).
    void montrerPageWeb(const std::string& url);
    // The native fleet screen (`charger`: fetch the fleet again), from the fleet in memory or, when
    // there is none, from the cached one. Its list, its heartbeat and the discovery of this
    // network come with the fleet screen; the guard is asked already.
    void montrerParc(bool charger);
    // The screen of the boxes of this network, once the local authorization is checked: its
    // list follows the discovery, which starts again.
    void montrerBoxLocales();
    // The designer's workshop: the boxes of this network, searched for again, each with its
    // state from the cloud's registry, read again.
    void montrerAtelier();
    // The cloud's registry of boxes (with the view's session), then the list.
    void chargerRegistreAtelier();
    // The workshop list, from the discovery table and the last registry read.
    void majListeAtelier();
    // A row's "Fabriquer" (the box's table key): builds that box, when it is still on this network.
    void fabriquerBoxAction(const std::string& cle);
    // Builds a blank box: the cloud creates its identity, the box receives it, and its label sheet
    // opens in the web container (Retour leads to the workshop). Only one build runs at a time: a
    // second one only beeps. Every failure ends in an alert, with the workshop usable again.
    void fabriquerBox(const BoxTrouvee& box);
    bool fabricationEnCours() const { return fabricationEnCours_; }
    // A row's "Refaire l'étiquette" (the box's table key): after a confirmation, the box's console
    // page, where a new label code is issued; the box itself is not contacted.
    void refaireEtiquetteAction(const std::string& cle);
    // The designer's project folder: the first valid one among the application's resources,
    // OVREL_PROJET and the stored choice.
    std::optional<std::filesystem::path> racineChantier() const;
    // Asks the user for the project folder, stores the choice (valid or not), then looks again.
    std::optional<std::filesystem::path> demanderRacineChantier();
    // "Rattacher cet Ovrel": the address typed, the project folder, a confirmation, then the tool.
    void rattacherAncienAction();
    // Runs the project's attach tool for the box at `adresse`, its output live in the log window.
    void lancerRattachement(const std::string& adresse, const std::filesystem::path& projet);
    // Reads the tool's report from its whole output: an alert, or the build of the box it upgraded.
    void finRattachement(const std::string& adresse, const std::string& sortie);
    // May the application quit? While the attach tool runs, quitting stops it in the middle of
    // the box's upgrade: the user is asked first.
    bool interruptionRattachementConfirmee();
    // The studio's fleet page in the web container (the back control has nowhere to lead),
    // unless the label-sheet guard keeps the page.
    void montrerMesOvrels();
    // The menu's "Recharger": asks the guard, then reloads the page when the web container is
    // shown.
    void recharger();
    // The back control of the web container: the page's own hook gets 0.7 s before the back
    // action (the one the page's opener set, or the sign-in screen) runs, exactly once. A press
    // while the hook is being asked is the same back.
    void actionRetour();
    // What the web container's back control leads to: every flow that opens a page there says
    // where the user came from.
    void definirRetourAction(std::function<void()> action) { retourAction_ = std::move(action); }
    // Whether the menu item with this action is enabled: "imprimerPage" needs the web screen
    // with a page; the other actions of this object are enabled; an action it does not have
    // (yet) is not.
    bool validerElementMenu(std::string_view action) const;
    bool windowShouldClose();
    void windowWillClose();
    bool applicationShouldTerminateAfterLastWindowClosed() const { return true; }
    // The window was minimised: the fleet heartbeat stops. Every screen change away from the
    // fleet screen stops it too.
    void windowDidMiniaturize();
    // The window was restored: the heartbeat starts again when the fleet screen shows.
    void windowDidDeminiaturize();
    // The window became visible or hidden (covered, on another workspace).
    void windowDidChangeOcclusionState(bool visible);

    // --- The fleet in memory ---

    // Fetches the fleet document; a call while one is in flight is dropped. A good answer
    // replaces the fleet in memory and the cache; a failed one marks the fleet as not fresh; a
    // refusal (401, 403) on the native fleet screen leads back to the sign-in screen.
    void chargerParc();
    // Reads a fleet document and makes it the fleet in memory; false, changing nothing, when it
    // does not read.
    bool appliquerParc(std::string_view donnees, bool depuisLeCache);
    const std::vector<OvrelParc>& parc() const { return parc_; }
    // The heartbeat of the fleet screen: a fetch every 30 s and the seen labels every second,
    // while the window is visible and shows the fleet screen. It fetches at once when the list
    // is 30 s old or more.
    void demarrerBattementParc();
    bool battementParc() const { return minuteurParc_ != nullptr; }
    // The seen labels of the rows on view; past 90 s without a fresh list, the health is
    // forgotten.
    void rafraichirVu();
    void oublierLaSante();
    // The fleet screen's header and list, from the fleet state.
    void majEnteteParc();
    void majListeParc();
    // A badge was clicked: its row's anomalies open or close.
    void basculerAnomalies(const std::string& id);
    // An anomaly's action button (its index among the actions on screen): a request to the
    // cloud then a fresh fleet, or a page of the console in the web view.
    void agirAnomalie(std::size_t action);
    // A fleet row's open button (the box's index in the fleet): on this network when the box is
    // seen here, else through the cloud's tunnel, else an explanation.
    void configurerOvrel(std::size_t indice);
    // The site's configuration page through the cloud; Retour leads to Mes Ovrels.
    void ouvrirConfigDistante(const OvrelParc& ovrel);
    // The studio's home in the web view ("Ajouter un Ovrel"); Retour leads to the fleet screen.
    void ouvrirStudioWeb();
    // The fleet screen's "Actualiser".
    void actionActualiserParc();
    // The menu's "Mes Ovrels" and "Le parc sans Internet (dernière liste)".
    void actionParc() { montrerMesOvrels(); }
    void actionParcHorsLigne() { montrerParc(true); }
    // The fleet in memory is not fresh: it came from the cache, or the last fetch failed.
    bool parcHorsLigne() const { return parcHorsLigne_; }

    // --- The boxes of this network ---

    // The discovery of this network's boxes: its table, read by the screens.
    const std::map<std::string, BoxTrouvee>& boxesDuReseau() const { return chercheur_.boxes(); }
    // The local box screen's list, from the discovery table.
    void majListeBox();
    // "Actualiser la recherche": the discovery starts again.
    void actionActualiser();
    // "Ouvrir cette adresse" and the Return key of the address field.
    void actionOuvrirAdresse();
    // A box button of the list (its index in the list shown); a stale one does nothing.
    void ouvrirBoxDetectee(std::size_t indice);
    // Opens a box on this network with the local token; Retour leads to Mes Ovrels
    // (`retourAuParc`) or to this network's boxes.
    void ouvrirBoxLAN(const std::string& adresse, bool retourAuParc);
    // The discovered box with this serial (letter case, hyphens and spaces aside).
    std::optional<BoxTrouvee> boxLocale(std::string_view serie) const;
    // The web console; Retour leads to the workshop.
    void ouvrirConsole();
    // Hands the boxes found here to the studio's fleet page, when it is the page shown.
    void verserLeReseau();

    // --- Update check ---

    void verifierMiseAJour(bool manuel);
    void verifierMiseAJourManuelle();

    // --- Cookies ---

    // Copies every cookie of the shared HTTP jar into the web view's store, then runs `ensuite`
    // once: at once when there is nothing to copy, otherwise after the last copy completed.
    void restaurerCookies(std::function<void()> ensuite);
    // Copies every cookie of the web view's store into the shared jar, then runs `ensuite`.
    // Nothing is copied while a sign-out's clear of the store is under way, nor what was read
    // before it.
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
    // Whether the page shown is an unsecured label sheet.
    bool ficheAGarder() const { return gardien_.ficheAGarder(); }

    // --- Printing ---

    // The menu's "Imprimer…" and the page's own print requests: the page shown, if it is one of
    // the allowed hosts, through the print dialog. A request that cannot be served (no page, a
    // foreign page, a dialog or a print already open) only beeps. A label sheet printed is
    // secured.
    void imprimerPage();
    // The next page to finish loading, when it is a box's console page, shows the user its
    // new-code button (or says that it has none).
    void mettreEnAvantNouveauCode() { mettreEnAvantNouveauCode_ = true; }

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
    // A page of the web view went to the identity provider's sign-in ("connexion") or sign-out
    // ("deconnexion") page: the application's own sign-in or sign-out instead.
    void connexionDemandeeParLaPage(const std::string& quoi);

    // --- Who the user is ---

    // The launch's first real screen, from the cloud's answer about the user (the cached fleet
    // when the network is down and the local authorization valid; the sign-in screen otherwise).
    void ouvrirLaBonnePorte();
    // After a cloud page, while the role is not known: the screen that fits the account.
    void verifierRole();
    // Fetches and stores the local authorization's token (installers).
    void recupererJetonLocal();
    // Whether a screen has been chosen for the signed-in user.
    bool roleRoute() const { return roleRoute_; }
    // The signed-in account's e-mail, as the cloud gave it.
    const std::string& parcCompte() const { return parcCompte_; }

    // Refreshes the local authorization's status line of the local-box screen, when it has one.
    void majEtiquetteHabilitation();

    // --- The console's session renewal ---

    // A page of `origine` (its scheme, host and port) says its token ran out: a fresh one from
    // the cloud for a box behind the tunnel, the local token for any other page; null when none
    // can be had, and the user is told to sign in again when that is the reason. At most one
    // request in 10 s is acted upon.
    void renouvelerSessionStudio(const std::string& origine);
    // Hands the token, or null, to the page on screen (its window.ovrelRenouvelerSession).
    void rendreJetonALaPage(const std::optional<std::string>& jeton);

    // --- Application links ---

    // A link of the application's own scheme: the browser's return from the sign-in page
    // (from the desktop only), or a link of a page. Every link of the scheme comes here.
    void lienDeLApp(const std::string& url, OrigineLien origine);

    // --- Dialogs ---

    // The application's plain modal alert with one "OK" button.
    void alerte(const std::string& titre, const std::string& message);
    // The label sheet's booklet came back as something else than a file: `statut` is the
    // HTTP status, absent when the server sent the request elsewhere.
    void alerterLivretManque(std::optional<int> statut);

    // --- The web view's events ---

    void adresseEngagee() override;
    void chargementTermine() override;
    void chargementEchoue(const std::optional<std::string>& url, const ErreurTransport& erreur,
                          bool avantEngagement) override;
    DecisionNavigation deciderNavigation(const ActionNavigation& action) override;
    DecisionNavigation deciderReponse(const ReponseNavigation& reponse) override;
    void nouvelleFenetreDemandee(const std::optional<std::string>& url) override;
    bool certificatRefuse(const EchecCertificat& echec) override;
    void messageScript(const MessageScript& message) override;
    ReponseDialogueScript dialogueScript(const DialogueScript& dialogue) override;
    std::vector<std::filesystem::path> fichiersDemandes(bool plusieurs) override;
    bool mediaDemande(const DemandeMedia& demande) override;
    void telechargementCommence(IdTelechargement id, const std::optional<std::string>& url) override;
    void destinationTelechargement(IdTelechargement id, const std::string& nomPropose,
                                   std::function<void(std::optional<std::filesystem::path>)> repondre) override;
    void telechargementTermine(IdTelechargement id) override;
    void telechargementEchoue(IdTelechargement id, const ErreurTransport& erreur, bool annule) override;

private:
    // The rules for a navigation known to be of the main frame, from its target address: a
    // site's configuration page of a box on this network, the identity provider's pages.
    // Absent when none applies.
    std::optional<DecisionNavigation> interceptionPrincipale(const std::string& url);
    // The label-sheet guard for a main-frame response whose navigation was not judged when it
    // started (its frame was not known then).
    std::optional<DecisionNavigation> gardeEnReponse(const ReponseNavigation& reponse);
    // The local token's request, once the view's cloud cookies are in the shared jar.
    void copierLoginEtDemanderJeton();
    // Sends the user request; `suite` runs with its answer, whatever it is.
    void demanderUtilisateur(std::function<void(const ReponseHttp&)> suite);
    // Opens the screen a routing chose.
    void suivreRoutage(const Routage& routage, const std::optional<DocumentUtilisateur>& utilisateur);
    // A fleet is known: in memory, or stored from an earlier load.
    bool parcConnu() const;
    // Hands the address to the desktop's default application; one it cannot open is dropped.
    void ouvrirAilleurs(const std::string& url);
    void impressionTerminee(bool reussie);
    // Removes the web view's cookies and storage; not waited for (see sauvegarderCookies). Without
    // a view yet, the clear is made as soon as it comes, before anything else reaches it.
    void effacerDonneesWeb();
    // Brings an attached view to the ready state, one step at a time (a clear asked for before it
    // came, then the launch's cookie copy), then runs what waited for it.
    void preparerVueWeb();
    void arreterBattementParc();
    // The fleet list rebuilt once the main loop has had its turn, however many changes asked.
    void majListeParcBientot();
    // With no fleet in memory, the cached one (marked as not fresh), when there is one.
    void appliquerLeCacheSiVide();
    // Whether the window shows the web container with an unsecured label sheet in it.
    bool ficheALEcran() const;
    // The end of a build, whatever its outcome: the next one may start.
    void terminerFabrication();
    // The workshop's progress line: the build's when one runs, else the attach's, else nothing.
    void majEtiquetteAtelier();

    PortsDelegue ports_;
    const Configuration configuration_;
    // The web view, absent until the window makes it.
    VueWeb* web_ = nullptr;
    // What the web container's back control leads to; the sign-in screen when absent.
    std::function<void()> retourAction_;
    // The back control's wait for the page's hook.
    std::unique_ptr<Minuterie> delaiRetour_;
    // Clears of the web view's store asked for by a sign-out, and those not completed yet:
    // until then, the store may still answer with the forgotten account's cookies, which a save
    // must never copy back into the jar.
    std::uint64_t effacements_ = 0;
    int effacementsEnCours_ = 0;
    // Clears asked for while there was no view yet: one clear of the view serves them all.
    int effacementsDifferes_ = 0;
    // The launch asked for the saved cookies in the view and the view has not had them yet.
    bool restaurationAuLancement_ = false;
    // The launch holds a cloud session: its first page process is started as soon as the view
    // comes.
    bool pageAttendue_ = false;
    // A step of preparerVueWeb is under way in the view.
    bool preparationVueWeb_ = false;
    // What waits for the view to be ready, in the order asked for.
    std::vector<std::function<void()>> attenteVueWeb_;

    SessionsNavigateur sessions_;
    GardienSortie gardien_;
    Telechargements telechargements_;
    // A screen has been chosen for the signed-in user; until then, every cloud page asks.
    bool roleRoute_ = false;
    std::string parcCompte_;
    // The fleet in memory, in the document's order, and what goes with it.
    std::vector<OvrelParc> parc_;
    std::string parcOrganisation_;
    bool parcHorsLigne_ = false;
    SanteParc santeParc_;
    // When the fleet in memory was received (for a cached one, when it was cached); absent: never.
    std::optional<Instant> parcRecuLe_;
    bool chargementParcEnCours_ = false;
    std::unique_ptr<Minuterie> minuteurParc_;
    std::unique_ptr<Minuterie> minuteurVu_;
    // The rows whose anomalies are open, by box id; kept across rebuilds.
    std::set<std::string> depliees_;
    // What the rows on screen show: their seen labels and their anomaly actions.
    std::vector<SuiviVu> suivisVu_;
    std::vector<ActionSante> actionsAffichees_;
    // The last session renewal acted upon.
    Instant derniereDemandeSession_ = PASSE_LOINTAIN;
    // The label sheet's booklet form was sent; its answer is awaited.
    bool livretEnVol_ = false;
    // Show the new-code button at the next finished load.
    bool mettreEnAvantNouveauCode_ = false;
    // The address being printed, from the start of a print to its end.
    std::optional<std::string> impressionDe_;
    // When the last print dialog closed; absent: never.
    std::optional<Instant> finDerniereImpression_;

    // The one discovery of this network's boxes, and the keys of the boxes whose buttons the
    // local box screen shows, in order.
    ChercheurBox chercheur_;
    std::vector<std::string> clesAffichees_;
    // The last registry read, by normalised serial; emptied at sign-out.
    std::map<std::string, FicheRegistre> registreAtelier_;
    // A build runs (from its start to its last step, whatever the outcome), and its progress line.
    bool fabricationEnCours_ = false;
    std::string etiquetteFabrication_;
    // The attach tool runs, and its progress line.
    bool rattachementEnCours_ = false;
    std::string adresseRattachement_;
    std::string etiquetteRattachement_;
    bool majListeParcPrevue_ = false;

    Vivant vivant_;
};

}  // namespace ovrel
