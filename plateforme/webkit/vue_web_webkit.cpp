#include "plateforme/webkit/vue_web_webkit.h"

#include "app/constantes.h"
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

struct LibererErreur {
    void operator()(GError* erreur) const { g_error_free(erreur); }
};
using Erreur = std::unique_ptr<GError, LibererErreur>;

struct LibererTexte {
    void operator()(char* texte) const { g_free(texte); }
};
using TexteG = std::unique_ptr<char, LibererTexte>;

struct LibererCookie {
    void operator()(SoupCookie* cookie) const { soup_cookie_free(cookie); }
};
using CookieSoup = std::unique_ptr<SoupCookie, LibererCookie>;

struct LibererDate {
    void operator()(GDateTime* date) const { g_date_time_unref(date); }
};
using DateG = std::unique_ptr<GDateTime, LibererDate>;

fs::path dossierXdg(const char* base) { return fs::path(base) / "ovrel-studio"; }

void creerDossier(const fs::path& dossier) {
    if (g_mkdir_with_parents(dossier.c_str(), 0700) != 0)
        g_warning("OVREL WEB: dossier impossible à créer: %s", dossier.c_str());
}

}  // namespace

ErreurTransport erreurDepuisG(const GError* erreur) {
    if (!erreur) return {};
    return ErreurTransport{g_quark_to_string(erreur->domain), erreur->code,
                           erreur->message ? erreur->message : ""};
}

VueWebWebKit::Dossiers VueWebWebKit::dossiersParDefaut() {
    return {dossierXdg(g_get_user_data_dir()), dossierXdg(g_get_user_cache_dir())};
}

fs::path VueWebWebKit::fichierCookies(const Dossiers& dossiers) { return dossiers.donnees / "cookies-vue-web.sqlite"; }

VueWebWebKit::VueWebWebKit(const Dossiers& dossiers) : annulation_(RefG<GCancellable>::adopter(g_cancellable_new())) {
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
    const std::string agent(AGENT_UTILISATEUR);
    webkit_settings_set_user_agent(reglages, agent.c_str());
    // The view draws no background of its own: the window's shows through until a page paints.
    const GdkRGBA transparent{0, 0, 0, 0};
    webkit_web_view_set_background_color(vue, &transparent);

    g_signal_connect(vue, "load-changed", G_CALLBACK(&VueWebWebKit::quandChargement), this);
    g_signal_connect(vue, "notify::uri", G_CALLBACK(&VueWebWebKit::quandAdresse), this);
}

VueWebWebKit::~VueWebWebKit() {
    arreterMinuteur();
    g_cancellable_cancel(annulation_.get());
    g_signal_handlers_disconnect_by_data(vue_.get(), this);
}

void VueWebWebKit::arreterMinuteur() {
    if (minuteur_ != 0) g_source_remove(minuteur_);
    minuteur_ = 0;
}

void VueWebWebKit::quandChargement(WebKitWebView*, WebKitLoadEvent evenement, gpointer moi) {
    auto* vue = static_cast<VueWebWebKit*>(moi);
    if (evenement == WEBKIT_LOAD_STARTED && vue->demarragesAttendus_ > 0) --vue->demarragesAttendus_;
    if (evenement != WEBKIT_LOAD_FINISHED) return;
    // A load that `charger` replaced reports its end (and sometimes even its start) after the
    // call: only once every load asked for has started is a finished load the one of the timer.
    if (vue->demarragesAttendus_ == 0) vue->arreterMinuteur();
    if (vue->chargementTermine_) vue->chargementTermine_();
}

void VueWebWebKit::quandAdresse(GObject*, GParamSpec*, gpointer moi) {
    auto* vue = static_cast<VueWebWebKit*>(moi);
    if (vue->changementAdresse_) vue->changementAdresse_();
}

void VueWebWebKit::charger(const std::string& url, std::chrono::milliseconds delai) {
    arreterMinuteur();
    delaiDepasse_ = false;
    // Loads that have not started yet are replaced by this one; a view that loads nothing has
    // no late event to deliver.
    if (!webkit_web_view_is_loading(vue_.get())) demarragesAttendus_ = 0;
    ++demarragesAttendus_;
    webkit_web_view_load_uri(vue_.get(), url.c_str());
    const auto ms = delai.count() < 0 ? 0 : delai.count();
    minuteur_ = g_timeout_add_full(
        G_PRIORITY_DEFAULT, static_cast<guint>(ms),
        [](gpointer moi) -> gboolean {
            auto* vue = static_cast<VueWebWebKit*>(moi);
            vue->minuteur_ = 0;
            // A load not started yet (a web process still starting) counts as under way:
            // stopping it then ends it as soon as it starts.
            if (vue->demarragesAttendus_ > 0 || webkit_web_view_is_loading(vue->vue_.get())) {
                vue->delaiDepasse_ = true;
                webkit_web_view_stop_loading(vue->vue_.get());
            }
            return G_SOURCE_REMOVE;
        },
        this, nullptr);
}

void VueWebWebKit::recharger() { webkit_web_view_reload(vue_.get()); }

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
            GError* brute = nullptr;
            RefG<JSCValue> valeur = RefG<JSCValue>::adopter(
                webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), resultat, &brute));
            Erreur erreur(brute);
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
            GError* brute = nullptr;
            GList* liste = webkit_cookie_manager_get_all_cookies_finish(WEBKIT_COOKIE_MANAGER(source), resultat, &brute);
            Erreur erreur(brute);
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
            GError* brute = nullptr;
            webkit_cookie_manager_add_cookie_finish(WEBKIT_COOKIE_MANAGER(source), resultat, &brute);
            Erreur erreur(brute);
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
            GError* brute = nullptr;
            webkit_website_data_manager_clear_finish(WEBKIT_WEBSITE_DATA_MANAGER(source), resultat, &brute);
            Erreur erreur(brute);
            if (garde.expired()) return;
            if (erreur) g_warning("OVREL EFFACEMENT ÉCHEC: %s %d", g_quark_to_string(erreur->domain), erreur->code);
            if (completion) completion();
        }));
}

}  // namespace ovrel
