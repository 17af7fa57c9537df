// The web view port over WebKitGTK 6.0: one web view on its own persistent network session
// (website data, cache and an SQLite cookie file in the user's XDG folders), presenting the
// application's user agent.
//
// The engine says neither which frame a navigation targets nor who posted a script message. The
// adapter learns both from scripts of its own, run in a script world of its own ("ovrel-studio")
// that pages cannot reach, so that a page cannot speak in their name:
// - in every frame, a script watches the clicks on links and the submitted forms and tells, before
//   the engine asks about the navigation, the address and whether it targets the top frame (a
//   link to its own frame in the top one, "_top", "_parent" of a child of the top frame). The
//   word is posted while the click or the submit event is dispatched, before the engine starts
//   the navigation that follows it, and both go to the application over the one connection of
//   the page's web process, which delivers in order: the word is there before the question, so
//   the decision is never held back waiting for it. It is kept two seconds and serves the next
//   link (or form) to the same address (a form's query and any fragment aside).
// - in the top frame, a bridge relays to the application what the page posts to itself through
//   `window.webkit.messageHandlers.NOM.postMessage`, with the page's origin; sub-frames have no
//   such handler, and what they post to the top window with the bridge's tag is dropped.
// Known limits of the frame: it stays absent for a link with a named target or "_blank" (a new
// window is reported as such), for form.submit() called by a script (no submit event), for
// frames where scripts are disabled (a sandbox without allow-scripts), for an iframe's own load,
// a script's navigation, back and forward, and redirects. A click or a form the page then
// cancels leaves its word for two seconds, and it is only given to a link or a form to the same
// address.
#pragma once

#include "plateforme/objets_g.h"
#include "plateforme/vue_web.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <webkit/webkit.h>

namespace ovrel {

class VueWebWebKit final : public VueWeb {
public:
    // Where the persistent session keeps its data and its cache.
    struct Dossiers {
        std::filesystem::path donnees;
        std::filesystem::path cache;
    };
    // "$XDG_DATA_HOME/ovrel-studio" and "$XDG_CACHE_HOME/ovrel-studio" (GLib's defaults,
    // ~/.local/share and ~/.cache, when the variables are unset).
    static Dossiers dossiersParDefaut();
    // The SQLite cookie file inside the data folder, "cookies-vue-web.sqlite": the application's
    // own HTTP jar has its own file in the same folder, and the two engines never share one.
    static std::filesystem::path fichierCookies(const Dossiers& dossiers);

    // Needs GTK initialised. The folders are created (0700) when missing; every request and
    // navigator.userAgent present `agentUtilisateur`.
    VueWebWebKit(const Dossiers& dossiers, const std::string& agentUtilisateur);
    ~VueWebWebKit() override;
    VueWebWebKit(const VueWebWebKit&) = delete;
    VueWebWebKit& operator=(const VueWebWebKit&) = delete;

    // The tag on what a page's `window.webkit.messageHandlers.NOM.postMessage` posts to its own
    // window, for the bridge to relay.
    static constexpr const char* ETIQUETTE_MESSAGES = "__ovrelStudioMessage";

    // Without a listener the engine keeps its own ways: its error pages, its policy, its
    // download folder, its print dialog for a page's print(), its answer to permission requests.
    void definirEcouteur(EvenementsVueWeb* ecouteur) override { ecouteur_ = ecouteur; }
    // From the next page on, the top frame has this handler; values reach the listener as JSON
    // text (what JSON cannot write becomes null), with the page's origin (absent for an opaque
    // one) and as the main frame's. A name already listened to is not registered again.
    void ecouterMessages(const std::string& nom) override;

    // Loads `url`. When the load is still under way after `delai`, it is stopped (a GLib
    // timeout); when it has not started yet (a web process still starting), it is stopped as
    // soon as the engine reports its start. The listener then hears a failed load with
    // g-io-error-quark 24 (timed out), and `delaiDepasse()` tells that the time-out stopped it. The timer ends with the first load that finishes once this one has started (a
    // link followed meanwhile included), or when the listener cancels this navigation or makes
    // it a download; the end of a load this call replaced does not count.
    // The engine starts a view's page process only for its first page or script: a script that
    // does nothing starts it, with neither a load nor an entry in the view's history.
    void preparer() override;
    void charger(const std::string& url, std::chrono::milliseconds delai = std::chrono::seconds(60)) override;
    void recharger() override;
    // The view's current address ("about:blank" included), absent when it has none.
    std::optional<std::string> urlCourante() const override;
    std::string titre() const override;
    // From the next page on.
    void ajouterScript(const std::string& source) override;
    // The dialog opens once this call has returned, from the main loop, and runs a main loop of
    // its own until the user answers. The print settings and page setup the user chose are
    // kept for the next print, in this object. What the engine lets the application choose is
    // limited: the print system's job is always named "<application name> job #n" by the
    // engine, so `titreTravail` names the file proposed when printing to a file (in the folder
    // of the last one); the engine lays the page out at the printable width from the top of
    // the sheet, with no say on centring. `fin` does not run once this object is destroyed,
    // and a print asked for while the dialog is open ends at once with false.
    void imprimer(const std::string& titreTravail, std::function<void(bool reussie)> fin) override;
    // The script runs in the page's own world. A result is converted with jsc_value_to_string
    // ("undefined", "null", numbers as JavaScript writes them). Completions never run once this
    // object is destroyed.
    void evaluer(const std::string& script, ResultatScript completion) override;
    void cookies(std::function<void(std::vector<Cookie>)> completion) override;
    // The completion runs whether or not the store accepted the cookie (a refusal is logged).
    void ajouterCookie(const Cookie& cookie, std::function<void()> completion) override;
    void effacerDonnees(std::function<void()> completion) override;

    // True when the time-out of the last `charger` stopped its load.
    bool delaiDepasse() const { return delaiDepasse_; }

    // Runs after every finished load (successful or failed), main frame, listener or not.
    void surChargementTermine(std::function<void()> action) { chargementTermine_ = std::move(action); }
    // Runs whenever the current address changes (commits, same-document navigations).
    void surChangementAdresse(std::function<void()> action) { changementAdresse_ = std::move(action); }

    // For the window, which parents the view, and for the later delegate work.
    GtkWidget* widget() const { return GTK_WIDGET(vue_.get()); }
    WebKitWebView* vue() const { return vue_.get(); }
    WebKitNetworkSession* session() const { return session_.get(); }

private:
    struct Telechargement;
    struct AbonnementMessage;
    struct Impression;
    // What a click or a submitted form said about the navigation that follows.
    struct IndiceCadre {
        bool formulaire = false;
        std::string url;
        bool principal = false;
        gint64 instant = 0;  // g_get_monotonic_time
    };

    static void quandChargement(WebKitWebView* vue, WebKitLoadEvent evenement, gpointer moi);
    static gboolean quandEchec(WebKitWebView* vue, WebKitLoadEvent evenement, char* url, GError* erreur, gpointer moi);
    static gboolean quandEchecCertificat(WebKitWebView* vue, char* url, GTlsCertificate* certificat,
                                         GTlsCertificateFlags drapeaux, gpointer moi);
    static gboolean quandDecision(WebKitWebView* vue, WebKitPolicyDecision* decision, WebKitPolicyDecisionType genre,
                                  gpointer moi);
    static GtkWidget* quandCreation(WebKitWebView* vue, WebKitNavigationAction* action, gpointer moi);
    static gboolean quandDialogueScript(WebKitWebView* vue, WebKitScriptDialog* dialogue, gpointer moi);
    static gboolean quandChoixFichiers(WebKitWebView* vue, WebKitFileChooserRequest* demande, gpointer moi);
    static void quandAdresse(GObject* vue, GParamSpec* propriete, gpointer moi);
    static void quandTelechargement(WebKitNetworkSession* session, WebKitDownload* telechargement, gpointer moi);
    static void quandMessage(WebKitUserContentManager* contenu, JSCValue* valeur, gpointer abonnement);
    static void quandIndiceCadre(WebKitUserContentManager* contenu, JSCValue* valeur, gpointer moi);
    static gboolean quandPermission(WebKitWebView* vue, WebKitPermissionRequest* demande, gpointer moi);
    static gboolean quandImpressionDemandee(WebKitWebView* vue, WebKitPrintOperation* operation, gpointer moi);
    void ouvrirDialogueImpression(const std::shared_ptr<Impression>& impression);
    // Whether the navigation targets the main frame, when this adapter knows.
    std::optional<bool> cadreDe(WebKitNavigationType type, bool redirection, const std::optional<std::string>& url);

    // The action as the listener hears it; the word that told its frame is used up.
    ActionNavigation actionDe(WebKitNavigationPolicyDecision* decision, bool nouvelleFenetre);
    DecisionNavigation deciderNavigation(WebKitNavigationPolicyDecision* decision, bool nouvelleFenetre);
    DecisionNavigation deciderReponse(WebKitResponsePolicyDecision* decision);
    void arreterMinuteur();
    void arreterSiDelaiDepasse();

    RefG<WebKitNetworkSession> session_;
    RefG<WebKitWebView> vue_;
    RefG<GCancellable> annulation_;
    // Completions of asynchronous calls and the downloads' signals check it before touching
    // this object.
    std::shared_ptr<char> vivant_ = std::make_shared<char>(0);
    guint minuteur_ = 0;
    // Loads asked for by `charger` whose start has not been reported yet.
    int demarragesAttendus_ = 0;
    // The address of the last `charger`, as the engine writes it, to recognise its navigation.
    std::string urlAttendue_;
    // The navigations this adapter started and whose decision has not come yet: the address of
    // a load (`charger`, or a load again after an accepted certificate), of a reload.
    std::optional<std::string> chargementPropre_;
    std::optional<std::string> rechargementPropre_;
    std::vector<IndiceCadre> indices_;
    // The user's choices in the last print dialog answered with "Print".
    RefG<GtkPrintSettings> reglagesImpression_;
    RefG<GtkPageSetup> miseEnPage_;
    bool dialogueImpressionOuvert_ = false;
    gulong abonnementIndices_ = 0;
    // Counts the calls of `charger`, to tell whether one came while the listener decided.
    unsigned generation_ = 0;
    bool delaiDepasse_ = false;
    // The time-out fired before the engine had the load under way: stop it when it starts.
    bool arretDiffere_ = false;
    // The time-out stopped (or will stop) the load: its failure is reported as a time-out.
    bool echecParDelai_ = false;
    // The load under way failed: its end is not a finished page.
    bool echecEnCours_ = false;
    // `preparer` ran: its script is the view's first, or the view had loaded already.
    bool prepare_ = false;
    IdTelechargement prochainTelechargement_ = 1;
    std::vector<std::string> messagesEcoutes_;
    std::vector<gulong> abonnementsMessages_;
    EvenementsVueWeb* ecouteur_ = nullptr;
    std::function<void()> chargementTermine_;
    std::function<void()> changementAdresse_;
};

}  // namespace ovrel
