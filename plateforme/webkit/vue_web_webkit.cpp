#include "plateforme/webkit/vue_web_webkit.h"

#include "plateforme/json.h"
#include "plateforme/soup/cookie_soup.h"

#include <glib/gstdio.h>
#include <gtk/gtkunixprint.h>

#include <algorithm>
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

// The script world of the adapter's own scripts: pages run in another one and cannot reach it.
constexpr const char* MONDE = "ovrel-studio";
// The handler, in that world only, that hears which frame a click or a form targets.
constexpr const char* CANAL_CADRE = "ovrelCadreCible";
// How long a click's word waits for its navigation.
constexpr gint64 DUREE_INDICE_US = 2 * G_USEC_PER_SEC;

// In every frame, in the adapter's world, at document start. The capture phase on the window
// comes before any listener of the page, which cannot stop it. The address is resolved by the
// element itself (the engine's own resolution against the base), the target as the browser
// reads it: the submitter's formtarget, then the form's or link's target, then the base's.
// Methods and getters are taken from the prototypes: a form control or an image with a name
// shadows the form's and the document's own properties, in every world. A named target or
// "_blank" gives no word.
constexpr const char* SCRIPT_CADRES = R"JS((() => {
  const canal = window.webkit && window.webkit.messageHandlers && window.webkit.messageHandlers.@CANAL@;
  if (!canal) return;
  const lire = (prototype, nom, objet) => Object.getOwnPropertyDescriptor(prototype, nom).get.call(objet);
  const attribut = (element, nom) => Element.prototype.getAttribute.call(element, nom);
  const principal = (cible) => {
    if (!cible) {
      const base = Document.prototype.querySelector.call(document, 'base[target]');
      cible = base ? attribut(base, 'target') : '';
    }
    cible = (cible || '').trim().toLowerCase();
    if (cible === '' || cible === '_self') return window === window.top;
    if (cible === '_top') return true;
    if (cible === '_parent') return window.parent === window.top;
    return undefined;
  };
  const dire = (formulaire, url, cadre) => {
    if (typeof url !== 'string' || url === '' || cadre === undefined) return;
    canal.postMessage({formulaire, url, principal: cadre});
  };
  addEventListener('click', (evenement) => {
    if (evenement.button !== 0 || evenement.ctrlKey || evenement.metaKey || evenement.shiftKey || evenement.altKey)
      return;
    for (const noeud of evenement.composedPath()) {
      if (noeud instanceof HTMLAnchorElement || noeud instanceof HTMLAreaElement) {
        if (attribut(noeud, 'href') !== null) dire(false, noeud.href, principal(attribut(noeud, 'target')));
        return;
      }
      if (noeud instanceof SVGAElement) {
        const lien = noeud.href.baseVal;
        if (lien) dire(false, new URL(lien, document.baseURI).href, principal(noeud.target.baseVal));
        return;
      }
    }
  }, true);
  addEventListener('submit', (evenement) => {
    const formulaire = evenement.target;
    if (!(formulaire instanceof HTMLFormElement)) return;
    const bouton = evenement.submitter;
    const action = bouton && attribut(bouton, 'formaction') !== null ? bouton.formAction
                                                                   : lire(HTMLFormElement.prototype, 'action', formulaire);
    const cible = bouton && attribut(bouton, 'formtarget') !== null ? attribut(bouton, 'formtarget')
                                                                  : attribut(formulaire, 'target');
    dire(true, action, principal(cible));
  }, true);
})();)JS";

// In the top frame, in the adapter's world, at document start: relays what the top window
// posts to itself with the tag (see the handlers below) to the handler of that name in this
// world, with the message's origin. A sub-frame posting to the top window is another source.
// The relayed message is the application's: the page's own listeners do not see it.
constexpr const char* SCRIPT_PONT = R"JS((() => {
  const gestionnaires = window.webkit && window.webkit.messageHandlers;
  if (!gestionnaires) return;
  addEventListener('message', (evenement) => {
    if (!evenement.isTrusted || evenement.source !== window) return;
    const donnees = evenement.data;
    if (donnees === null || typeof donnees !== 'object' || donnees[@ETIQUETTE@] !== true) return;
    const nom = donnees.nom;
    if (typeof nom !== 'string' || nom === @CANAL@ || typeof donnees.corps !== 'string') return;
    const canal = gestionnaires[nom];
    if (!canal || typeof canal.postMessage !== 'function') return;
    evenement.stopImmediatePropagation();
    canal.postMessage({corps: donnees.corps, origine: evenement.origin});
  }, true);
})();)JS";

// In the top frame, in the page's world, at document start, once per handler: the page's
// `window.webkit.messageHandlers.NOM.postMessage`, which posts to its own window for the bridge.
// Only this name is defined, on the object that holds the others. The value is written with the
// page's JSON as it was before any script of the page ran (what JSON cannot write is null), and
// travels as that text: the engine's own copies of objects do not keep the order of their keys.
constexpr const char* SCRIPT_GESTIONNAIRE = R"JS((() => {
  const nom = @NOM@;
  const poster = window.postMessage.bind(window);
  const ecrire = JSON.stringify;
  const fixe = (objet, cle, valeur) =>
    Object.defineProperty(objet, cle, {value: valeur, enumerable: true, writable: false, configurable: false});
  if (window.webkit === undefined) fixe(window, 'webkit', {});
  if (window.webkit.messageHandlers === undefined) fixe(window.webkit, 'messageHandlers', {});
  if (Object.prototype.hasOwnProperty.call(window.webkit.messageHandlers, nom)) return;
  fixe(window.webkit.messageHandlers, nom, Object.freeze({
    postMessage(valeur) {
      const texte = ecrire(valeur);
      poster({[@ETIQUETTE@]: true, nom, corps: texte === undefined ? 'null' : texte}, '*');
    },
  }));
})();)JS";

std::string remplacer(std::string texte, const std::string& marque, const std::string& valeur) {
    for (auto position = texte.find(marque); position != std::string::npos;
         position = texte.find(marque, position + valeur.size()))
        texte.replace(position, marque.size(), valeur);
    return texte;
}

void ajouterScriptUtilisateur(WebKitUserContentManager* contenu, const std::string& source,
                              WebKitUserContentInjectedFrames cadres, const char* monde) {
    auto* script = monde ? webkit_user_script_new_for_world(source.c_str(), cadres,
                                                            WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, monde,
                                                            nullptr, nullptr)
                         : webkit_user_script_new(source.c_str(), cadres, WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START,
                                                  nullptr, nullptr);
    webkit_user_content_manager_add_script(contenu, script);
    webkit_user_script_unref(script);
}

// A property of a script value, when the value is an object that has it.
RefG<JSCValue> propriete(JSCValue* objet, const char* nom) {
    if (!objet || !jsc_value_is_object(objet)) return {};
    return RefG<JSCValue>::adopter(jsc_value_object_get_property(objet, nom));
}

std::optional<std::string> texteDe(JSCValue* valeur) {
    if (!valeur || !jsc_value_is_string(valeur)) return std::nullopt;
    TexteG texte(jsc_value_to_string(valeur));
    return texte ? std::optional<std::string>(texte.get()) : std::nullopt;
}

// The part of an address a click's word is compared on: a link's without its fragment, a form's
// without its query either (a GET form's query is its fields, which the page may change up to
// the last moment).
std::string adresseComparee(const std::string& url, bool formulaire) {
    return url.substr(0, url.find_first_of(formulaire ? "?#" : "#"));
}

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

// One print, from the call to its end. The engine may report the end of a print after a
// failure, and more than once: only the first word counts.
struct VueWebWebKit::Impression {
    std::weak_ptr<char> garde;
    std::string titre;
    std::function<void(bool)> fin;

    void terminer(bool reussie) {
        auto suite = std::exchange(fin, nullptr);
        if (suite && !garde.expired()) suite(reussie);
    }
    static void quandEchec(WebKitPrintOperation*, GError* erreur, gpointer donnees) {
        g_warning("OVREL IMPRESSION ÉCHEC: %s %d", erreur ? g_quark_to_string(erreur->domain) : "-",
                  erreur ? erreur->code : 0);
        (*static_cast<std::shared_ptr<Impression>*>(donnees))->terminer(false);
    }
    static void quandFin(WebKitPrintOperation*, gpointer donnees) {
        (*static_cast<std::shared_ptr<Impression>*>(donnees))->terminer(true);
    }
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
    // Pages may ask for the camera and the microphone; the listener answers each request.
    webkit_settings_set_enable_media_stream(reglages, TRUE);

    g_signal_connect(vue, "load-changed", G_CALLBACK(&VueWebWebKit::quandChargement), this);
    g_signal_connect(vue, "load-failed", G_CALLBACK(&VueWebWebKit::quandEchec), this);
    g_signal_connect(vue, "load-failed-with-tls-errors", G_CALLBACK(&VueWebWebKit::quandEchecCertificat), this);
    g_signal_connect(vue, "decide-policy", G_CALLBACK(&VueWebWebKit::quandDecision), this);
    g_signal_connect(vue, "create", G_CALLBACK(&VueWebWebKit::quandCreation), this);
    g_signal_connect(vue, "script-dialog", G_CALLBACK(&VueWebWebKit::quandDialogueScript), this);
    g_signal_connect(vue, "run-file-chooser", G_CALLBACK(&VueWebWebKit::quandChoixFichiers), this);
    g_signal_connect(vue, "notify::uri", G_CALLBACK(&VueWebWebKit::quandAdresse), this);
    g_signal_connect(vue, "permission-request", G_CALLBACK(&VueWebWebKit::quandPermission), this);
    g_signal_connect(vue, "print", G_CALLBACK(&VueWebWebKit::quandImpressionDemandee), this);
    // The session is this view's alone: every download it starts is one of this view's pages.
    g_signal_connect(session_.get(), "download-started", G_CALLBACK(&VueWebWebKit::quandTelechargement), this);

    // The adapter's own scripts: which frame a click or a form targets, and the bridge of the
    // pages' messages (see the header).
    WebKitUserContentManager* contenu = webkit_web_view_get_user_content_manager(vue);
    if (webkit_user_content_manager_register_script_message_handler(contenu, CANAL_CADRE, MONDE)) {
        const std::string signal = std::string("script-message-received::") + CANAL_CADRE;
        abonnementIndices_ =
            g_signal_connect(contenu, signal.c_str(), G_CALLBACK(&VueWebWebKit::quandIndiceCadre), this);
    } else {
        g_warning("OVREL WEB: cadres des liens impossibles à suivre");
    }
    ajouterScriptUtilisateur(contenu, remplacer(SCRIPT_CADRES, "@CANAL@", CANAL_CADRE),
                             WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES, MONDE);
    ajouterScriptUtilisateur(contenu,
                             remplacer(remplacer(SCRIPT_PONT, "@ETIQUETTE@", json::litteral(ETIQUETTE_MESSAGES)),
                                       "@CANAL@", json::litteral(CANAL_CADRE)),
                             WEBKIT_USER_CONTENT_INJECT_TOP_FRAME, MONDE);
}

VueWebWebKit::~VueWebWebKit() {
    arreterMinuteur();
    g_cancellable_cancel(annulation_.get());
    // Pending calls may keep the view and the session alive after this object (see Moteur).
    g_signal_handlers_disconnect_by_data(vue_.get(), this);
    g_signal_handlers_disconnect_by_data(session_.get(), this);
    WebKitUserContentManager* contenu = webkit_web_view_get_user_content_manager(vue_.get());
    for (gulong abonnement : abonnementsMessages_) g_signal_handler_disconnect(contenu, abonnement);
    if (abonnementIndices_ != 0) g_signal_handler_disconnect(contenu, abonnementIndices_);
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
    vue->chargementPropre_ = adresseDuMoteur(url);
    // A reload would do nothing when this failed load was the view's first.
    webkit_web_view_load_uri(vue->vue_.get(), url);
    return TRUE;
}

gboolean VueWebWebKit::quandDecision(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType genre,
                                     gpointer moi) {
    auto* vue = static_cast<VueWebWebKit*>(moi);
    if (!vue->ecouteur_) {
        // Nothing to report, but the adapter's own load or a click's word is used up all the
        // same: it must not be given to another navigation once a listener is there.
        if (genre == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION)
            vue->actionDe(WEBKIT_NAVIGATION_POLICY_DECISION(decision), false);
        return FALSE;
    }
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

ActionNavigation VueWebWebKit::actionDe(WebKitNavigationPolicyDecision* decision, bool nouvelleFenetre) {
    WebKitNavigationAction* navigation = webkit_navigation_policy_decision_get_navigation_action(decision);
    WebKitURIRequest* requete = webkit_navigation_action_get_request(navigation);
    const WebKitNavigationType type = webkit_navigation_action_get_navigation_type(navigation);
    ActionNavigation action;
    action.url = texteOptionnel(requete ? webkit_uri_request_get_uri(requete) : nullptr);
    action.methode = majuscules(requete ? webkit_uri_request_get_http_method(requete) : nullptr);
    action.genre = genreDe(type);
    action.redirection = webkit_navigation_action_is_redirect(navigation);
    // A new window is a top frame of its own.
    action.cadrePrincipal = nouvelleFenetre ? std::optional<bool>(true) : cadreDe(type, action.redirection, action.url);
    action.nouvelleFenetre = nouvelleFenetre;
    return action;
}

DecisionNavigation VueWebWebKit::deciderNavigation(WebKitNavigationPolicyDecision* decision, bool nouvelleFenetre) {
    const ActionNavigation action = actionDe(decision, nouvelleFenetre);
    // Whether this is the navigation of the last `charger`, whose start the timer waits for.
    const bool attendue = !nouvelleFenetre && demarragesAttendus_ > 0 && action.genre == GenreNavigation::autre &&
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

std::optional<bool> VueWebWebKit::cadreDe(WebKitNavigationType type, bool redirection,
                                          const std::optional<std::string>& url) {
    if (redirection || !url) return std::nullopt;
    switch (type) {
    case WEBKIT_NAVIGATION_TYPE_OTHER:
        // The load `charger` asked for (an iframe's own load is of this type too, at another
        // address or later).
        if (chargementPropre_ && *chargementPropre_ == *url) {
            chargementPropre_.reset();
            return true;
        }
        return std::nullopt;
    case WEBKIT_NAVIGATION_TYPE_RELOAD:
        if (rechargementPropre_ && *rechargementPropre_ == *url) {
            rechargementPropre_.reset();
            return true;
        }
        return std::nullopt;
    case WEBKIT_NAVIGATION_TYPE_LINK_CLICKED:
    case WEBKIT_NAVIGATION_TYPE_FORM_SUBMITTED: {
        const bool formulaire = type == WEBKIT_NAVIGATION_TYPE_FORM_SUBMITTED;
        const gint64 maintenant = g_get_monotonic_time();
        std::erase_if(indices_,
                      [&](const IndiceCadre& indice) { return maintenant - indice.instant > DUREE_INDICE_US; });
        const std::string adresse = adresseComparee(*url, formulaire);
        // The latest word for this address: an earlier click the page cancelled has been
        // replaced by it.
        for (auto indice = indices_.rbegin(); indice != indices_.rend(); ++indice) {
            if (indice->formulaire != formulaire || adresseComparee(indice->url, formulaire) != adresse) continue;
            const bool principal = indice->principal;
            indices_.erase(std::next(indice).base());
            return principal;
        }
        return std::nullopt;
    }
    case WEBKIT_NAVIGATION_TYPE_FORM_RESUBMITTED:
    case WEBKIT_NAVIGATION_TYPE_BACK_FORWARD:
        break;
    }
    return std::nullopt;
}

void VueWebWebKit::quandIndiceCadre(WebKitUserContentManager*, JSCValue* valeur, gpointer moi) {
    auto* vue = static_cast<VueWebWebKit*>(moi);
    const auto url = texteDe(propriete(valeur, "url").get());
    const RefG<JSCValue> principal = propriete(valeur, "principal");
    const RefG<JSCValue> formulaire = propriete(valeur, "formulaire");
    if (!url || !principal || !jsc_value_is_boolean(principal.get()) || !formulaire ||
        !jsc_value_is_boolean(formulaire.get()))
        return;
    IndiceCadre indice{jsc_value_to_boolean(formulaire.get()) != 0, *url, jsc_value_to_boolean(principal.get()) != 0,
                       g_get_monotonic_time()};
    // One word per address: the latest click is the one that navigates.
    std::erase_if(vue->indices_, [&](const IndiceCadre& autre) {
        return autre.formulaire == indice.formulaire && autre.url == indice.url;
    });
    // Words nobody used (a page that cancels every click) do not pile up.
    std::erase_if(vue->indices_,
                  [&](const IndiceCadre& autre) { return indice.instant - autre.instant > DUREE_INDICE_US; });
    vue->indices_.push_back(std::move(indice));
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

gboolean VueWebWebKit::quandPermission(WebKitWebView*, WebKitPermissionRequest* demande, gpointer moi) {
    auto* vue = static_cast<VueWebWebKit*>(moi);
    if (!vue->ecouteur_) return FALSE;
    // Kept while the listener answers, a question to the user included.
    const RefG<WebKitPermissionRequest> gardee = RefG<WebKitPermissionRequest>::partager(demande);
    if (WEBKIT_IS_USER_MEDIA_PERMISSION_REQUEST(demande)) {
        auto* media = WEBKIT_USER_MEDIA_PERMISSION_REQUEST(demande);
        // Sharing the screen is not the camera: nobody is asked, it is refused.
        if (!webkit_user_media_permission_is_for_display_device(media)) {
            DemandeMedia description;
            description.camera = webkit_user_media_permission_is_for_video_device(media);
            description.micro = webkit_user_media_permission_is_for_audio_device(media);
            description.url = vue->urlCourante();
            if (vue->ecouteur_->mediaDemande(description)) webkit_permission_request_allow(demande);
            else webkit_permission_request_deny(demande);
            return TRUE;
        }
    }
    // Geolocation, notifications, the list of devices, the clipboard, the pointer lock…: no page
    // of the application needs them.
    webkit_permission_request_deny(demande);
    return TRUE;
}

gboolean VueWebWebKit::quandImpressionDemandee(WebKitWebView*, WebKitPrintOperation*, gpointer moi) {
    // A page prints through the application's own handler (a script of the listener's replaces
    // window.print in the top frame); what still comes here is a sub-frame's print(), which
    // the engine would show its dialog for.
    return static_cast<VueWebWebKit*>(moi)->ecouteur_ != nullptr;
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
    // In the adapter's world only: the page's world gets the bridge's handler instead.
    if (nom == CANAL_CADRE ||
        !webkit_user_content_manager_register_script_message_handler(contenu, nom.c_str(), MONDE)) {
        g_warning("OVREL WEB: messages « %s » impossibles à écouter", nom.c_str());
        return;
    }
    messagesEcoutes_.push_back(nom);
    const std::string signal = "script-message-received::" + nom;
    abonnementsMessages_.push_back(g_signal_connect_data(
        contenu, signal.c_str(), G_CALLBACK(&VueWebWebKit::quandMessage), new AbonnementMessage{this, nom},
        [](gpointer abonnement, GClosure*) { delete static_cast<AbonnementMessage*>(abonnement); }, GConnectFlags{}));
    ajouterScriptUtilisateur(contenu,
                             remplacer(remplacer(SCRIPT_GESTIONNAIRE, "@NOM@", json::litteral(nom)), "@ETIQUETTE@",
                                       json::litteral(ETIQUETTE_MESSAGES)),
                             WEBKIT_USER_CONTENT_INJECT_TOP_FRAME, nullptr);
}

void VueWebWebKit::quandMessage(WebKitUserContentManager*, JSCValue* valeur, gpointer donnees) {
    auto* abonnement = static_cast<AbonnementMessage*>(donnees);
    EvenementsVueWeb* ecouteur = abonnement->vue->ecouteur_;
    // Only the bridge posts here, in the top frame: {corps, origine}. The top frame can post
    // with the bridge's tag without the handler: what is not JSON text is not a message.
    const auto corps = texteDe(propriete(valeur, "corps").get());
    const auto origine = texteDe(propriete(valeur, "origine").get());
    if (!ecouteur || !corps || !origine || !json::Document::analyser(*corps)) return;
    MessageScript message{abonnement->nom, *corps, std::nullopt, true};
    // An opaque origin (a data: page, a sandbox) is written "null": no origin to compare.
    if (*origine != "null") message.origine = *origine;
    ecouteur->messageScript(message);
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
    chargementPropre_ = urlAttendue_;
    rechargementPropre_.reset();
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

void VueWebWebKit::recharger() {
    // The engine reloads the current address; with none it does nothing.
    rechargementPropre_ = urlCourante();
    webkit_web_view_reload(vue_.get());
}

std::string VueWebWebKit::titre() const {
    const char* t = webkit_web_view_get_title(vue_.get());
    return t ? t : "";
}

void VueWebWebKit::ajouterScript(const std::string& source) {
    ajouterScriptUtilisateur(webkit_web_view_get_user_content_manager(vue_.get()), source,
                             WEBKIT_USER_CONTENT_INJECT_TOP_FRAME, nullptr);
}

void VueWebWebKit::imprimer(const std::string& titreTravail, std::function<void(bool)> fin) {
    auto impression = std::make_shared<Impression>(Impression{vivant_, titreTravail, std::move(fin)});
    // The dialog runs a main loop of its own: the caller is not left inside it.
    g_idle_add_full(
        G_PRIORITY_DEFAULT,
        [](gpointer donnees) -> gboolean {
            auto& [vue, impression] = *static_cast<std::pair<VueWebWebKit*, std::shared_ptr<Impression>>*>(donnees);
            if (!impression->garde.expired()) vue->ouvrirDialogueImpression(impression);
            return G_SOURCE_REMOVE;
        },
        new std::pair<VueWebWebKit*, std::shared_ptr<Impression>>(this, impression),
        [](gpointer donnees) { delete static_cast<std::pair<VueWebWebKit*, std::shared_ptr<Impression>>*>(donnees); });
}

void VueWebWebKit::ouvrirDialogueImpression(const std::shared_ptr<Impression>& impression) {
    if (dialogueImpressionOuvert_) {
        impression->terminer(false);
        return;
    }
    RefG<WebKitPrintOperation> operation = RefG<WebKitPrintOperation>::adopter(webkit_print_operation_new(vue_.get()));
    RefG<GtkPrintSettings> reglages = RefG<GtkPrintSettings>::adopter(
        reglagesImpression_ ? gtk_print_settings_copy(reglagesImpression_.get()) : gtk_print_settings_new());
    // The job's title names the file when printing to a file, in the folder of the last one:
    // the print system's own job name is the engine's.
    if (const char* derniere = gtk_print_settings_get(reglages.get(), GTK_PRINT_SETTINGS_OUTPUT_URI)) {
        TexteG chemin(g_filename_from_uri(derniere, nullptr, nullptr));
        if (chemin) {
            TexteG dossier(g_path_get_dirname(chemin.get()));
            gtk_print_settings_set(reglages.get(), GTK_PRINT_SETTINGS_OUTPUT_DIR, dossier.get());
        }
        gtk_print_settings_unset(reglages.get(), GTK_PRINT_SETTINGS_OUTPUT_URI);
    }
    std::string nomFichier = impression->titre.empty() ? std::string("Ovrel Studio") : impression->titre;
    std::replace(nomFichier.begin(), nomFichier.end(), '/', '-');
    gtk_print_settings_set(reglages.get(), GTK_PRINT_SETTINGS_OUTPUT_BASENAME, nomFichier.c_str());
    webkit_print_operation_set_print_settings(operation.get(), reglages.get());
    if (miseEnPage_) webkit_print_operation_set_page_setup(operation.get(), miseEnPage_.get());

    const auto relier = [&](const char* signal, GCallback rappel) {
        g_signal_connect_data(
            operation.get(), signal, rappel, new std::shared_ptr<Impression>(impression),
            [](gpointer donnees, GClosure*) { delete static_cast<std::shared_ptr<Impression>*>(donnees); },
            GConnectFlags{});
    };
    relier("failed", G_CALLBACK(&Impression::quandEchec));
    relier("finished", G_CALLBACK(&Impression::quandFin));

    GtkRoot* racine = gtk_widget_get_root(widget());
    GtkWindow* fenetre = GTK_IS_WINDOW(racine) ? GTK_WINDOW(racine) : nullptr;
    // The engine makes its dialog transient for the window, not modal: the dialog it creates
    // while it runs is made modal as it appears among the application's windows.
    // Closed (Escape, the title bar), the dialog would destroy itself, and the engine destroys
    // it again once its answer came: a close is answered as Cancel instead, and the window
    // left for the engine to destroy.
    GListModel* fenetres = gtk_window_get_toplevels();
    const gulong abonnementFenetres = g_signal_connect(
        fenetres, "items-changed",
        G_CALLBACK(+[](GListModel* liste, guint position, guint, guint ajoutees, gpointer) {
            for (guint i = position; i < position + ajoutees; ++i) {
                const RefG<GObject> nouvelle =
                    RefG<GObject>::adopter(static_cast<GObject*>(g_list_model_get_item(liste, i)));
                if (!GTK_IS_PRINT_UNIX_DIALOG(nouvelle.get())) continue;
                gtk_window_set_modal(GTK_WINDOW(nouvelle.get()), TRUE);
                g_signal_connect(nouvelle.get(), "close-request", G_CALLBACK(+[](GtkWindow* dialogue, gpointer) {
                                     gtk_dialog_response(GTK_DIALOG(dialogue), GTK_RESPONSE_CANCEL);
                                     return gboolean{TRUE};
                                 }),
                                 nullptr);
            }
        }),
        nullptr);
    // The view and its session stay whatever happens to this object while the dialog is open.
    const Moteur moteur{session_, vue_};
    std::weak_ptr<char> garde = vivant_;
    dialogueImpressionOuvert_ = true;
    const WebKitPrintOperationResponse reponse = webkit_print_operation_run_dialog(operation.get(), fenetre);
    g_signal_handler_disconnect(fenetres, abonnementFenetres);
    if (garde.expired()) return;
    dialogueImpressionOuvert_ = false;
    if (reponse != WEBKIT_PRINT_OPERATION_RESPONSE_PRINT) {
        impression->terminer(false);
        return;
    }
    // The engine prints now and says when it is done (`finished`, after `failed` if it failed).
    if (GtkPrintSettings* choisis = webkit_print_operation_get_print_settings(operation.get()))
        reglagesImpression_ = RefG<GtkPrintSettings>::partager(choisis);
    if (GtkPageSetup* page = webkit_print_operation_get_page_setup(operation.get()))
        miseEnPage_ = RefG<GtkPageSetup>::partager(page);
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
