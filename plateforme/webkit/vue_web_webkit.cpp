#include "plateforme/webkit/vue_web_webkit.h"

#include "plateforme/soup/cookie_soup.h"

#include <glib/gstdio.h>

#include <memory>
#include <utility>

namespace ovrel {

namespace fs = std::filesystem;

namespace {

// What runs when an asynchronous call of the engine completes. The engine keeps the source
// object alive until then, so the finish functions can always be called; whether this adapter
// still exists is checked by each continuation before it touches anything else.
using Suite = std::function<void(GObject*, GAsyncResult*)>;

void poursuivre(GObject* source, GAsyncResult* resultat, gpointer donnees) {
    auto* suite = static_cast<Suite*>(donnees);
    (*suite)(source, resultat);
    // The continuation holds the engine's objects (see Moteur); it is let go only after the
    // engine has dropped its task, which happens once this callback has returned.
    g_idle_add_full(
        G_PRIORITY_DEFAULT_IDLE,
        [](gpointer fini) -> gboolean {
            delete static_cast<Suite*>(fini);
            return G_SOURCE_REMOVE;
        },
        suite, nullptr);
}

gpointer emballer(Suite suite) { return new Suite(std::move(suite)); }

// A task of the engine keeps its source object (the view, the cookie manager, the data manager)
// alive until it completes, but those objects belong to the network session: finalising one of
// them after its session crashes the engine. Each pending call therefore also keeps the session
// and the view until it is over, even when the adapter is destroyed first.
struct Moteur {
    RefG<WebKitNetworkSession> session;
    RefG<WebKitWebView> vue;
};

struct LibererCookie {
    void operator()(SoupCookie* cookie) const { soup_cookie_free(cookie); }
};
using CookieSoup = std::unique_ptr<SoupCookie, LibererCookie>;

// The answer to a download's destination, given once. An answer never given cancels the
// download once the last copy of `repondre` is dropped: the engine would wait for it forever.
class ReponseDestination {
public:
    ReponseDestination(Moteur moteur, RefG<WebKitDownload> telechargement)
        : moteur_(std::move(moteur)), telechargement_(std::move(telechargement)) {}
    ~ReponseDestination() {
        if (!repondu_) webkit_download_cancel(telechargement_.get());
    }
    ReponseDestination(const ReponseDestination&) = delete;
    ReponseDestination& operator=(const ReponseDestination&) = delete;

    void repondre(const std::optional<fs::path>& chemin) {
        if (repondu_) return;
        repondu_ = true;
        if (!chemin) {
            webkit_download_cancel(telechargement_.get());
            return;
        }
        // Whoever chose the file agreed to replace it (a save dialog asks first).
        webkit_download_set_allow_overwrite(telechargement_.get(), TRUE);
        webkit_download_set_destination(telechargement_.get(), chemin->c_str());
    }

private:
    // Declared first, let go last: the download belongs to the session.
    Moteur moteur_;
    RefG<WebKitDownload> telechargement_;
    bool repondu_ = false;
};

std::optional<std::string> texteOptionnel(const char* texte) {
    if (!texte) return std::nullopt;
    return std::string(texte);
}

// A request's method as the listener compares it; the engine gives none for some schemes.
std::string majuscules(const char* methode) {
    if (!methode || !*methode) return "GET";
    TexteG haut(g_ascii_strup(methode, -1));
    return haut.get();
}

GenreNavigation genreDe(WebKitNavigationType type) {
    switch (type) {
    case WEBKIT_NAVIGATION_TYPE_LINK_CLICKED: return GenreNavigation::lien;
    case WEBKIT_NAVIGATION_TYPE_FORM_SUBMITTED: return GenreNavigation::formulaire;
    case WEBKIT_NAVIGATION_TYPE_FORM_RESUBMITTED: return GenreNavigation::formulaireRenvoye;
    case WEBKIT_NAVIGATION_TYPE_BACK_FORWARD: return GenreNavigation::historique;
    case WEBKIT_NAVIGATION_TYPE_RELOAD: return GenreNavigation::rechargement;
    case WEBKIT_NAVIGATION_TYPE_OTHER: break;
    }
    return GenreNavigation::autre;
}

void appliquer(WebKitPolicyDecision* decision, DecisionNavigation choix) {
    switch (choix) {
    case DecisionNavigation::autoriser: webkit_policy_decision_use(decision); return;
    case DecisionNavigation::annuler: webkit_policy_decision_ignore(decision); return;
    case DecisionNavigation::telecharger: webkit_policy_decision_download(decision); return;
    }
    webkit_policy_decision_use(decision);
}

// An address as the engine writes it in its requests ("http://hote" gains its "/", and so on).
std::string adresseDuMoteur(const std::string& url) {
    RefG<WebKitURIRequest> requete = RefG<WebKitURIRequest>::adopter(webkit_uri_request_new(url.c_str()));
    const char* ecrite = webkit_uri_request_get_uri(requete.get());
    return ecrite ? ecrite : url;
}

fs::path dossierXdg(const char* base) { return fs::path(base) / "ovrel-studio"; }

void creerDossier(const fs::path& dossier) {
    if (g_mkdir_with_parents(dossier.c_str(), 0700) != 0)
        g_warning("OVREL WEB: dossier impossible à créer: %s", dossier.c_str());
}

}  // namespace

// What a download's signals need. The adapter may be gone by the time the engine reports on a
// download it started.
struct VueWebWebKit::Telechargement {
    VueWebWebKit* vue;
    std::weak_ptr<char> garde;
    IdTelechargement id;
    bool echoue;

    EvenementsVueWeb* ecouteur() const { return garde.expired() ? nullptr : vue->ecouteur_; }

    static gboolean quandDestination(WebKitDownload* telechargement, char* nomPropose, gpointer donnees);
    static void quandEchec(WebKitDownload* telechargement, GError* erreur, gpointer donnees);
    static void quandFin(WebKitDownload* telechargement, gpointer donnees);
};

struct VueWebWebKit::AbonnementMessage {
    VueWebWebKit* vue;
    std::string nom;
};

VueWebWebKit::Dossiers VueWebWebKit::dossiersParDefaut() {
    return {dossierXdg(g_get_user_data_dir()), dossierXdg(g_get_user_cache_dir())};
}

fs::path VueWebWebKit::fichierCookies(const Dossiers& dossiers) { return dossiers.donnees / "cookies-vue-web.sqlite"; }

VueWebWebKit::VueWebWebKit(const Dossiers& dossiers, const std::string& agentUtilisateur)
    : annulation_(RefG<GCancellable>::adopter(g_cancellable_new())) {
    creerDossier(dossiers.donnees);
    creerDossier(dossiers.cache);
    session_ = RefG<WebKitNetworkSession>::adopter(
        webkit_network_session_new(dossiers.donnees.c_str(), dossiers.cache.c_str()));
    // A persistent session keeps its cookies in memory only unless it is given a file.
    webkit_cookie_manager_set_persistent_storage(webkit_network_session_get_cookie_manager(session_.get()),
                                                 fichierCookies(dossiers).c_str(),
                                                 WEBKIT_COOKIE_PERSISTENT_STORAGE_SQLITE);

    // The view is a floating GtkWidget: sink it so that this object owns it whether or not a
    // window holds it too.
    auto* vue = static_cast<WebKitWebView*>(
        g_object_ref_sink(g_object_new(WEBKIT_TYPE_WEB_VIEW, "network-session", session_.get(), nullptr)));
    vue_ = RefG<WebKitWebView>::adopter(vue);

    WebKitSettings* reglages = webkit_web_view_get_settings(vue);
    webkit_settings_set_user_agent(reglages, agentUtilisateur.c_str());
    // The view draws no background of its own: the window's shows through until a page paints.
    const GdkRGBA transparent{0, 0, 0, 0};
    webkit_web_view_set_background_color(vue, &transparent);

    g_signal_connect(vue, "load-changed", G_CALLBACK(&VueWebWebKit::quandChargement), this);
    g_signal_connect(vue, "load-failed", G_CALLBACK(&VueWebWebKit::quandEchec), this);
    g_signal_connect(vue, "load-failed-with-tls-errors", G_CALLBACK(&VueWebWebKit::quandEchecCertificat), this);
    g_signal_connect(vue, "decide-policy", G_CALLBACK(&VueWebWebKit::quandDecision), this);
    g_signal_connect(vue, "create", G_CALLBACK(&VueWebWebKit::quandCreation), this);
    g_signal_connect(vue, "script-dialog", G_CALLBACK(&VueWebWebKit::quandDialogueScript), this);
    g_signal_connect(vue, "run-file-chooser", G_CALLBACK(&VueWebWebKit::quandChoixFichiers), this);
    g_signal_connect(vue, "notify::uri", G_CALLBACK(&VueWebWebKit::quandAdresse), this);
    // The session is this view's alone: every download it starts is one of this view's pages.
    g_signal_connect(session_.get(), "download-started", G_CALLBACK(&VueWebWebKit::quandTelechargement), this);
}

VueWebWebKit::~VueWebWebKit() {
    arreterMinuteur();
    g_cancellable_cancel(annulation_.get());
    // Pending calls may keep the view and the session alive after this object (see Moteur).
    g_signal_handlers_disconnect_by_data(vue_.get(), this);
    g_signal_handlers_disconnect_by_data(session_.get(), this);
    WebKitUserContentManager* contenu = webkit_web_view_get_user_content_manager(vue_.get());
    for (gulong abonnement : abonnementsMessages_) g_signal_handler_disconnect(contenu, abonnement);
}

void VueWebWebKit::arreterMinuteur() {
    if (minuteur_ != 0) g_source_remove(minuteur_);
    minuteur_ = 0;
}

void VueWebWebKit::arreterSiDelaiDepasse() {
    // Once every load asked for has started, the one under way is the timed one.
    if (arretDiffere_ && demarragesAttendus_ == 0) webkit_web_view_stop_loading(vue_.get());
}

void VueWebWebKit::quandChargement(WebKitWebView*, WebKitLoadEvent evenement, gpointer moi) {
    auto* vue = static_cast<VueWebWebKit*>(moi);
    switch (evenement) {
    case WEBKIT_LOAD_STARTED:
        if (vue->demarragesAttendus_ > 0) --vue->demarragesAttendus_;
        // The engine reports a failure and the end of its load together: a start is a new load.
        vue->echecEnCours_ = false;
        vue->arreterSiDelaiDepasse();
        return;
    case WEBKIT_LOAD_REDIRECTED:
        return;
    case WEBKIT_LOAD_COMMITTED:
        vue->arreterSiDelaiDepasse();
        if (vue->ecouteur_) vue->ecouteur_->adresseEngagee();
        return;
    case WEBKIT_LOAD_FINISHED:
        break;
    }
    // The engine reports the end of a failed load too, after the failure: that is no page.
    const bool echoue = std::exchange(vue->echecEnCours_, false);
    // A load that `charger` replaced reports its end (and sometimes even its start) after the
    // call: only once every load asked for has started is a finished load the one of the timer.
    if (vue->demarragesAttendus_ == 0) {
        vue->arreterMinuteur();
        vue->arretDiffere_ = false;
    }
    if (!echoue && vue->ecouteur_) vue->ecouteur_->chargementTermine();
    if (vue->chargementTermine_) vue->chargementTermine_();
}

gboolean VueWebWebKit::quandEchec(WebKitWebView*, WebKitLoadEvent evenement, char* url, GError* erreur, gpointer moi) {
    auto* vue = static_cast<VueWebWebKit*>(moi);
    vue->echecEnCours_ = true;
    // The engine reports a load its time-out stopped as any stopped load; the listener must
    // tell a server that never answered from a load the user or a page replaced.
    const bool parDelai = std::exchange(vue->echecParDelai_, false) &&
                          g_error_matches(erreur, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED);
    if (!vue->ecouteur_) return FALSE;
    const ErreurTransport signalee =
        parDelai ? ErreurTransport{g_quark_to_string(G_IO_ERROR), G_IO_ERROR_TIMED_OUT, "délai dépassé"}
                 : erreurDepuisG(erreur);
    vue->ecouteur_->chargementEchoue(texteOptionnel(url), signalee, evenement != WEBKIT_LOAD_COMMITTED);
    // The listener tells the user in its own words: no error page of the engine's.
    return TRUE;
}

gboolean VueWebWebKit::quandEchecCertificat(WebKitWebView*, char* url, GTlsCertificate* certificat,
                                            GTlsCertificateFlags drapeaux, gpointer moi) {
    auto* vue = static_cast<VueWebWebKit*>(moi);
    if (!vue->ecouteur_ || !url || !certificat) return FALSE;
    EchecCertificat echec;
    echec.url = url;
    char* hote = nullptr;
    g_uri_split(url, G_URI_FLAGS_NONE, nullptr, nullptr, &hote, nullptr, nullptr, nullptr, nullptr, nullptr);
    TexteG hoteG(hote);
    echec.hote = hoteG ? hoteG.get() : "";
    TexteG sujet(g_tls_certificate_get_subject_name(certificat));
    echec.sujet = sujet ? sujet.get() : "";
    echec.drapeaux = static_cast<unsigned>(drapeaux);

    std::weak_ptr<char> garde = vue->vivant_;
    // Refused: the engine goes on and reports the failed load with its TLS error.
    if (!vue->ecouteur_->certificatRefuse(echec) || garde.expired()) return FALSE;
    webkit_network_session_allow_tls_certificate_for_host(vue->session_.get(), certificat, echec.hote.c_str());
    // The engine ends this attempt right after: that end is no page, and it must not end the
    // timer of the load that goes on below.
    vue->echecEnCours_ = true;
    if (vue->minuteur_ != 0) ++vue->demarragesAttendus_;
    // A reload would do nothing when this failed load was the view's first.
    webkit_web_view_load_uri(vue->vue_.get(), url);
    return TRUE;
}

gboolean VueWebWebKit::quandDecision(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType genre,
                                     gpointer moi) {
    auto* vue = static_cast<VueWebWebKit*>(moi);
    if (!vue->ecouteur_) return FALSE;
    DecisionNavigation choix = DecisionNavigation::autoriser;
    switch (genre) {
    case WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION:
        choix = vue->deciderNavigation(WEBKIT_NAVIGATION_POLICY_DECISION(decision), false);
        break;
    case WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION:
        choix = vue->deciderNavigation(WEBKIT_NAVIGATION_POLICY_DECISION(decision), true);
        break;
    case WEBKIT_POLICY_DECISION_TYPE_RESPONSE:
        choix = vue->deciderReponse(WEBKIT_RESPONSE_POLICY_DECISION(decision));
        break;
    default:
        return FALSE;
    }
    // `vue` may be gone by now (a question to the user runs the main loop): only the decision,
    // which the signal holds, is touched.
    appliquer(decision, choix);
    return TRUE;
}

DecisionNavigation VueWebWebKit::deciderNavigation(WebKitNavigationPolicyDecision* decision, bool nouvelleFenetre) {
    WebKitNavigationAction* navigation = webkit_navigation_policy_decision_get_navigation_action(decision);
    WebKitURIRequest* requete = webkit_navigation_action_get_request(navigation);
    const WebKitNavigationType type = webkit_navigation_action_get_navigation_type(navigation);
    ActionNavigation action;
    action.url = texteOptionnel(requete ? webkit_uri_request_get_uri(requete) : nullptr);
    action.methode = majuscules(requete ? webkit_uri_request_get_http_method(requete) : nullptr);
    action.genre = genreDe(type);
    action.redirection = webkit_navigation_action_is_redirect(navigation);
    // The engine cannot tell a sub-frame's navigation from the main frame's.
    action.cadrePrincipal = std::nullopt;
    action.nouvelleFenetre = nouvelleFenetre;

    // Whether this is the navigation of the last `charger`, whose start the timer waits for.
    const bool attendue = !nouvelleFenetre && demarragesAttendus_ > 0 && type == WEBKIT_NAVIGATION_TYPE_OTHER &&
                          !action.redirection && action.url == urlAttendue_;
    const unsigned generation = generation_;
    std::weak_ptr<char> garde = vivant_;
    const DecisionNavigation choix = ecouteur_->deciderNavigation(action);
    if (garde.expired()) return choix;
    // Cancelled or saved instead of shown, it will neither start nor end as a load: the timer
    // has nothing left to stop (unless the listener has loaded something else meanwhile).
    if (attendue && choix != DecisionNavigation::autoriser && generation == generation_) {
        demarragesAttendus_ = 0;
        arretDiffere_ = false;
        arreterMinuteur();
    }
    return choix;
}

DecisionNavigation VueWebWebKit::deciderReponse(WebKitResponsePolicyDecision* decision) {
    WebKitURIResponse* reponse = webkit_response_policy_decision_get_response(decision);
    WebKitURIRequest* requete = webkit_response_policy_decision_get_request(decision);
    SoupMessageHeaders* entetes = webkit_uri_response_get_http_headers(reponse);
    ReponseNavigation description;
    description.url = texteOptionnel(webkit_uri_response_get_uri(reponse));
    // Only an HTTP response has headers; the engine makes up a status for the others.
    description.statut = entetes ? static_cast<int>(webkit_uri_response_get_status_code(reponse)) : 0;
    description.typeMime = texteOptionnel(webkit_uri_response_get_mime_type(reponse)).value_or("");
    if (entetes) description.dispositionContenu = texteOptionnel(soup_message_headers_get_one(entetes, "Content-Disposition"));
    description.methode = majuscules(requete ? webkit_uri_request_get_http_method(requete) : nullptr);
    description.cadrePrincipal = webkit_response_policy_decision_is_main_frame_main_resource(decision);
    description.typeAffichable = webkit_response_policy_decision_is_mime_type_supported(decision);
    return ecouteur_->deciderReponse(description);
}

GtkWidget* VueWebWebKit::quandCreation(WebKitWebView*, WebKitNavigationAction* action, gpointer moi) {
    auto* vue = static_cast<VueWebWebKit*>(moi);
    if (vue->ecouteur_) {
        WebKitURIRequest* requete = webkit_navigation_action_get_request(action);
        vue->ecouteur_->nouvelleFenetreDemandee(texteOptionnel(requete ? webkit_uri_request_get_uri(requete) : nullptr));
    }
    // Never a second view: the page's window.open then gives null.
    return nullptr;
}

gboolean VueWebWebKit::quandDialogueScript(WebKitWebView*, WebKitScriptDialog* dialogue, gpointer moi) {
    auto* vue = static_cast<VueWebWebKit*>(moi);
    if (!vue->ecouteur_) return FALSE;
    DialogueScript demande;
    switch (webkit_script_dialog_get_dialog_type(dialogue)) {
    case WEBKIT_SCRIPT_DIALOG_ALERT: demande.genre = GenreDialogueScript::alerte; break;
    case WEBKIT_SCRIPT_DIALOG_CONFIRM: demande.genre = GenreDialogueScript::confirmation; break;
    case WEBKIT_SCRIPT_DIALOG_PROMPT:
        demande.genre = GenreDialogueScript::saisie;
        demande.texteInitial = texteOptionnel(webkit_script_dialog_prompt_get_default_text(dialogue)).value_or("");
        break;
    default:
        // "Leave this page?" stays the engine's.
        return FALSE;
    }
    demande.message = texteOptionnel(webkit_script_dialog_get_message(dialogue)).value_or("");
    // The dialog is the signal's for as long as the handler runs, nested main loop included.
    const ReponseDialogueScript reponse = vue->ecouteur_->dialogueScript(demande);
    if (demande.genre == GenreDialogueScript::confirmation)
        webkit_script_dialog_confirm_set_confirmed(dialogue, reponse.ok);
    // A prompt whose text is never set gives the page null.
    if (demande.genre == GenreDialogueScript::saisie && reponse.texte)
        webkit_script_dialog_prompt_set_text(dialogue, reponse.texte->c_str());
    return TRUE;
}

gboolean VueWebWebKit::quandChoixFichiers(WebKitWebView*, WebKitFileChooserRequest* demande, gpointer moi) {
    auto* vue = static_cast<VueWebWebKit*>(moi);
    if (!vue->ecouteur_) return FALSE;
    // Kept while the chooser's nested main loop runs, whatever happens to the view meanwhile.
    const RefG<WebKitFileChooserRequest> gardee = RefG<WebKitFileChooserRequest>::partager(demande);
    const auto fichiers = vue->ecouteur_->fichiersDemandes(webkit_file_chooser_request_get_select_multiple(demande));
    if (fichiers.empty()) {
        webkit_file_chooser_request_cancel(demande);
        return TRUE;
    }
    std::vector<std::string> chemins;
    for (const auto& fichier : fichiers) chemins.push_back(fichier.string());
    std::vector<const char*> tableau;
    for (const auto& chemin : chemins) tableau.push_back(chemin.c_str());
    tableau.push_back(nullptr);
    webkit_file_chooser_request_select_files(demande, tableau.data());
    return TRUE;
}

void VueWebWebKit::quandAdresse(GObject*, GParamSpec*, gpointer moi) {
    auto* vue = static_cast<VueWebWebKit*>(moi);
    if (vue->changementAdresse_) vue->changementAdresse_();
}

void VueWebWebKit::quandTelechargement(WebKitNetworkSession*, WebKitDownload* telechargement, gpointer moi) {
    auto* vue = static_cast<VueWebWebKit*>(moi);
    // The download owns its state: its signals cannot outlive it, but they can outlive this
    // adapter, which each of them checks first.
    auto* etat = new Telechargement{vue, vue->vivant_, vue->prochainTelechargement_++, false};
    g_object_set_data_full(G_OBJECT(telechargement), "ovrel-telechargement", etat,
                           [](gpointer donnees) { delete static_cast<Telechargement*>(donnees); });
    g_signal_connect(telechargement, "decide-destination", G_CALLBACK(&Telechargement::quandDestination), etat);
    g_signal_connect(telechargement, "failed", G_CALLBACK(&Telechargement::quandEchec), etat);
    g_signal_connect(telechargement, "finished", G_CALLBACK(&Telechargement::quandFin), etat);
    if (!vue->ecouteur_) return;
    WebKitURIRequest* requete = webkit_download_get_request(telechargement);
    vue->ecouteur_->telechargementCommence(etat->id,
                                           texteOptionnel(requete ? webkit_uri_request_get_uri(requete) : nullptr));
}

gboolean VueWebWebKit::Telechargement::quandDestination(WebKitDownload* telechargement, char* nomPropose,
                                                        gpointer donnees) {
    auto* etat = static_cast<Telechargement*>(donnees);
    EvenementsVueWeb* ecouteur = etat->ecouteur();
    if (!ecouteur) return FALSE;
    auto reponse = std::make_shared<ReponseDestination>(Moteur{etat->vue->session_, etat->vue->vue_},
                                                        RefG<WebKitDownload>::partager(telechargement));
    ecouteur->destinationTelechargement(etat->id, nomPropose ? nomPropose : "",
                                        [reponse](std::optional<fs::path> chemin) { reponse->repondre(chemin); });
    // The answer may come later: the download waits for it.
    return TRUE;
}

void VueWebWebKit::Telechargement::quandEchec(WebKitDownload*, GError* erreur, gpointer donnees) {
    auto* etat = static_cast<Telechargement*>(donnees);
    etat->echoue = true;
    const bool annule = g_error_matches(erreur, WEBKIT_DOWNLOAD_ERROR, WEBKIT_DOWNLOAD_ERROR_CANCELLED_BY_USER);
    if (EvenementsVueWeb* ecouteur = etat->ecouteur())
        ecouteur->telechargementEchoue(etat->id, erreurDepuisG(erreur), annule);
}

void VueWebWebKit::Telechargement::quandFin(WebKitDownload*, gpointer donnees) {
    auto* etat = static_cast<Telechargement*>(donnees);
    // The engine ends a failed download too, after its failure: only the failure is reported.
    if (etat->echoue) return;
    if (EvenementsVueWeb* ecouteur = etat->ecouteur()) ecouteur->telechargementTermine(etat->id);
}

void VueWebWebKit::ecouterMessages(const std::string& nom) {
    for (const auto& ecoute : messagesEcoutes_)
        if (ecoute == nom) return;
    WebKitUserContentManager* contenu = webkit_web_view_get_user_content_manager(vue_.get());
    if (!webkit_user_content_manager_register_script_message_handler(contenu, nom.c_str(), nullptr)) {
        g_warning("OVREL WEB: messages « %s » impossibles à écouter", nom.c_str());
        return;
    }
    messagesEcoutes_.push_back(nom);
    const std::string signal = "script-message-received::" + nom;
    abonnementsMessages_.push_back(g_signal_connect_data(
        contenu, signal.c_str(), G_CALLBACK(&VueWebWebKit::quandMessage), new AbonnementMessage{this, nom},
        [](gpointer abonnement, GClosure*) { delete static_cast<AbonnementMessage*>(abonnement); }, GConnectFlags{}));
}

void VueWebWebKit::quandMessage(WebKitUserContentManager*, JSCValue* valeur, gpointer donnees) {
    auto* abonnement = static_cast<AbonnementMessage*>(donnees);
    EvenementsVueWeb* ecouteur = abonnement->vue->ecouteur_;
    if (!ecouteur) return;
    // A value JSON cannot write (undefined, a function) arrives as null.
    TexteG json(valeur ? jsc_value_to_json(valeur, 0) : nullptr);
    ecouteur->messageScript(MessageScript{abonnement->nom, json ? json.get() : "null", std::nullopt, std::nullopt});
}

void VueWebWebKit::charger(const std::string& url, std::chrono::milliseconds delai) {
    arreterMinuteur();
    delaiDepasse_ = false;
    arretDiffere_ = false;
    echecParDelai_ = false;
    ++generation_;
    // Loads that have not started yet are replaced by this one; a view that loads nothing has
    // no late event to deliver.
    if (!webkit_web_view_is_loading(vue_.get())) demarragesAttendus_ = 0;
    ++demarragesAttendus_;
    urlAttendue_ = adresseDuMoteur(url);
    webkit_web_view_load_uri(vue_.get(), url.c_str());
    const auto ms = delai.count() < 0 ? 0 : delai.count();
    minuteur_ = g_timeout_add_full(
        G_PRIORITY_DEFAULT, static_cast<guint>(ms),
        [](gpointer moi) -> gboolean {
            auto* vue = static_cast<VueWebWebKit*>(moi);
            vue->minuteur_ = 0;
            // A load not started yet (a web process still starting) counts as under way, but a
            // stop before the web process has it drops it without a word and leaves the view
            // loading for ever: it is stopped as soon as its start is reported instead.
            if (vue->demarragesAttendus_ > 0) {
                vue->delaiDepasse_ = true;
                vue->echecParDelai_ = true;
                vue->arretDiffere_ = true;
            } else if (webkit_web_view_is_loading(vue->vue_.get())) {
                vue->delaiDepasse_ = true;
                vue->echecParDelai_ = true;
                webkit_web_view_stop_loading(vue->vue_.get());
            }
            return G_SOURCE_REMOVE;
        },
        this, nullptr);
}

void VueWebWebKit::preparer() {
    if (std::exchange(prepare_, true) || webkit_web_view_get_uri(vue_.get()) != nullptr ||
        webkit_web_view_is_loading(vue_.get()))
        return;
    // Its answer matters to no one; the call keeps the engine's objects until it is over.
    evaluer("0", nullptr);
}

void VueWebWebKit::recharger() { webkit_web_view_reload(vue_.get()); }

std::string VueWebWebKit::titre() const {
    const char* t = webkit_web_view_get_title(vue_.get());
    return t ? t : "";
}

void VueWebWebKit::ajouterScript(const std::string& source) {
    WebKitUserContentManager* contenu = webkit_web_view_get_user_content_manager(vue_.get());
    auto* script = webkit_user_script_new(source.c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                                          WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
    webkit_user_content_manager_add_script(contenu, script);
    webkit_user_script_unref(script);
}

void VueWebWebKit::imprimer(const std::string&, std::function<void(bool)> fin) {
    // Not built yet: no print is made.
    fin(false);
}

std::optional<std::string> VueWebWebKit::urlCourante() const {
    const char* uri = webkit_web_view_get_uri(vue_.get());
    if (!uri) return std::nullopt;
    return std::string(uri);
}

void VueWebWebKit::evaluer(const std::string& script, ResultatScript completion) {
    std::weak_ptr<char> garde = vivant_;
    webkit_web_view_evaluate_javascript(
        vue_.get(), script.data(), static_cast<gssize>(script.size()), nullptr, nullptr, annulation_.get(),
        &poursuivre,
        emballer([garde, completion = std::move(completion), moteur = Moteur{session_, vue_}](
                     GObject* source, GAsyncResult* resultat) {
            ErreurRecue erreur;
            RefG<JSCValue> valeur = RefG<JSCValue>::adopter(
                webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), resultat, erreur.adresse()));
            if (garde.expired() || !completion) return;
            if (erreur) {
                completion(std::nullopt, erreurDepuisG(erreur.get()));
                return;
            }
            if (!valeur) {
                completion(std::nullopt, ErreurTransport{"ovrel-web", 0, "résultat absent"});
                return;
            }
            TexteG texte(jsc_value_to_string(valeur.get()));
            completion(texte ? std::optional<std::string>(texte.get()) : std::optional<std::string>(), std::nullopt);
        }));
}

void VueWebWebKit::cookies(std::function<void(std::vector<Cookie>)> completion) {
    std::weak_ptr<char> garde = vivant_;
    webkit_cookie_manager_get_all_cookies(
        webkit_network_session_get_cookie_manager(session_.get()), annulation_.get(), &poursuivre,
        emballer([garde, completion = std::move(completion), moteur = Moteur{session_, vue_}](
                     GObject* source, GAsyncResult* resultat) {
            ErreurRecue erreur;
            GList* liste =
                webkit_cookie_manager_get_all_cookies_finish(WEBKIT_COOKIE_MANAGER(source), resultat, erreur.adresse());
            std::vector<Cookie> cookies;
            for (GList* element = liste; element; element = element->next)
                cookies.push_back(cookieDepuisSoup(static_cast<SoupCookie*>(element->data)));
            g_list_free_full(liste, reinterpret_cast<GDestroyNotify>(soup_cookie_free));
            if (garde.expired()) return;
            if (erreur) g_warning("OVREL COOKIES ÉCHEC: %s %d", g_quark_to_string(erreur->domain), erreur->code);
            if (completion) completion(std::move(cookies));
        }));
}

void VueWebWebKit::ajouterCookie(const Cookie& cookie, std::function<void()> completion) {
    std::weak_ptr<char> garde = vivant_;
    CookieSoup soup(cookieVersSoup(cookie));
    webkit_cookie_manager_add_cookie(
        webkit_network_session_get_cookie_manager(session_.get()), soup.get(), annulation_.get(), &poursuivre,
        emballer([garde, completion = std::move(completion), moteur = Moteur{session_, vue_}](
                     GObject* source, GAsyncResult* resultat) {
            ErreurRecue erreur;
            webkit_cookie_manager_add_cookie_finish(WEBKIT_COOKIE_MANAGER(source), resultat, erreur.adresse());
            if (garde.expired()) return;
            if (erreur) g_warning("OVREL COOKIE REFUSÉ: %s %d", g_quark_to_string(erreur->domain), erreur->code);
            if (completion) completion();
        }));
}

void VueWebWebKit::effacerDonnees(std::function<void()> completion) {
    std::weak_ptr<char> garde = vivant_;
    const auto genres = static_cast<WebKitWebsiteDataTypes>(
        WEBKIT_WEBSITE_DATA_COOKIES | WEBKIT_WEBSITE_DATA_LOCAL_STORAGE | WEBKIT_WEBSITE_DATA_SESSION_STORAGE);
    // A time span of 0 clears everything, whatever its date.
    webkit_website_data_manager_clear(
        webkit_network_session_get_website_data_manager(session_.get()), genres, 0, annulation_.get(), &poursuivre,
        emballer([garde, completion = std::move(completion), moteur = Moteur{session_, vue_}](
                     GObject* source, GAsyncResult* resultat) {
            ErreurRecue erreur;
            webkit_website_data_manager_clear_finish(WEBKIT_WEBSITE_DATA_MANAGER(source), resultat, erreur.adresse());
            if (garde.expired()) return;
            if (erreur) g_warning("OVREL EFFACEMENT ÉCHEC: %s %d", g_quark_to_string(erreur->domain), erreur->code);
            if (completion) completion();
        }));
}

}  // namespace ovrel
