// The web view port over WebKitGTK 6.0: one web view on its own persistent network session
// (website data, cache and an SQLite cookie file in the user's XDG folders), presenting the
// application's user agent.
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

    // Without a listener the engine keeps its own ways: its error pages, its policy, its
    // download folder.
    void definirEcouteur(EvenementsVueWeb* ecouteur) override { ecouteur_ = ecouteur; }
    // Values reach the listener as JSON text, with neither origin nor frame: the engine does not
    // say who posted them. A name already listened to is not registered again.
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
    void ajouterScript(const std::string& source) override;
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
