// The WebKitGTK web view against local pages served by a SoupServer, with its persistent store
// in temporary folders.
#include "app/constantes.h"
#include "plateforme/webkit/vue_web_webkit.h"
#include "tests/gtk/outils_gtk.h"

#include <gtest/gtest.h>
#include <gtkmm.h>
#include <libsoup/soup.h>

#include <memory>
#include <unistd.h>

namespace ovrel {
namespace {

using namespace std::chrono_literals;
using essais::attendre;

// A local HTTP server: "/page" answers a small page (and sets a cookie when asked with
// "?cookie"), "/jamais" never answers. It remembers what each request carried.
class Serveur {
public:
    Serveur() : serveur_(soup_server_new(nullptr, nullptr)) {
        soup_server_add_handler(serveur_, nullptr, &Serveur::repondre, this, nullptr);
        GError* erreur = nullptr;
        soup_server_listen_local(serveur_, 0, SOUP_SERVER_LISTEN_IPV4_ONLY, &erreur);
        if (erreur) {
            ADD_FAILURE() << erreur->message;
            g_error_free(erreur);
        }
        GSList* uris = soup_server_get_uris(serveur_);
        if (uris) port_ = g_uri_get_port(static_cast<GUri*>(uris->data));
        g_slist_free_full(uris, reinterpret_cast<GDestroyNotify>(g_uri_unref));
    }
    ~Serveur() {
        for (auto* message : enAttente_) soup_server_message_unpause(message);
        soup_server_disconnect(serveur_);
        g_object_unref(serveur_);
    }
    Serveur(const Serveur&) = delete;
    Serveur& operator=(const Serveur&) = delete;

    std::string url(const std::string& chemin) const {
        return "http://127.0.0.1:" + std::to_string(port_) + chemin;
    }

    int requetes = 0;
    std::string dernierAgent;
    std::string derniersCookies;

private:
    static void repondre(SoupServer*, SoupServerMessage* message, const char* chemin, GHashTable*, gpointer moi) {
        auto* serveur = static_cast<Serveur*>(moi);
        SoupMessageHeaders* entetes = soup_server_message_get_request_headers(message);
        const char* agent = soup_message_headers_get_one(entetes, "User-Agent");
        const char* cookies = soup_message_headers_get_one(entetes, "Cookie");
        if (std::string(chemin) == "/favicon.ico") {
            soup_server_message_set_status(message, 404, nullptr);
            return;
        }
        ++serveur->requetes;
        serveur->dernierAgent = agent ? agent : "";
        serveur->derniersCookies = cookies ? cookies : "";
        if (std::string(chemin) == "/jamais") {
            soup_server_message_pause(message);
            serveur->enAttente_.push_back(message);
            return;
        }
        const char* requete = g_uri_get_query(soup_server_message_get_uri(message));
        if (requete && std::string(requete) == "cookie")
            soup_message_headers_append(soup_server_message_get_response_headers(message), "Set-Cookie",
                                        "session_page=xyz; Path=/; Max-Age=3600; HttpOnly");
        static const std::string corps = "<!doctype html><html><head><title>Ovrel</title></head><body>ok</body></html>";
        soup_server_message_set_status(message, 200, nullptr);
        soup_server_message_set_response(message, "text/html", SOUP_MEMORY_COPY, corps.data(), corps.size());
    }

    SoupServer* serveur_;
    int port_ = 0;
    std::vector<SoupServerMessage*> enAttente_;
};

// One web view in a window, its store in a temporary folder.
class Vue {
public:
    explicit Vue(const std::filesystem::path& racine)
        : web(VueWebWebKit::Dossiers{racine / "donnees", racine / "cache"}) {
        web.surChargementTermine([this] { ++chargementsTermines; });
        fenetre.set_default_size(800, 600);
        fenetre.set_child(*Glib::wrap(web.widget()));
        fenetre.present();
    }
    ~Vue() { fenetre.unset_child(); }

    bool chargerEtAttendre(const std::string& url) {
        const int avant = chargementsTermines;
        web.charger(url);
        return attendre([&] { return chargementsTermines > avant; });
    }

    struct Resultat {
        bool recu = false;
        std::optional<std::string> valeur;
        std::optional<ErreurTransport> erreur;
    };
    Resultat evaluer(const std::string& script) {
        auto resultat = std::make_shared<Resultat>();
        web.evaluer(script, [resultat](std::optional<std::string> valeur, std::optional<ErreurTransport> erreur) {
            resultat->recu = true;
            resultat->valeur = std::move(valeur);
            resultat->erreur = std::move(erreur);
        });
        attendre([&] { return resultat->recu; });
        return *resultat;
    }

    std::vector<Cookie> cookies() {
        std::optional<std::vector<Cookie>> liste;
        web.cookies([&](std::vector<Cookie> recus) { liste = std::move(recus); });
        attendre([&] { return liste.has_value(); });
        return liste.value_or(std::vector<Cookie>{});
    }

    bool ajouter(const Cookie& cookie) {
        bool fini = false;
        web.ajouterCookie(cookie, [&] { fini = true; });
        return attendre([&] { return fini; });
    }

    Gtk::Window fenetre;
    VueWebWebKit web;
    int chargementsTermines = 0;
};

}  // namespace

// Readable failures.
void PrintTo(const Cookie& cookie, std::ostream* flux) {
    *flux << cookie.nom << "=" << cookie.valeur << " domaine=" << cookie.domaine << " chemin=" << cookie.chemin
          << " expiration=" << (cookie.expiration ? std::to_string(secondesDepuis1970(*cookie.expiration)) : "session")
          << " securise=" << cookie.securise << " httpSeulement=" << cookie.httpSeulement
          << " sameSite=" << cookie.sameSite;
}

namespace {

const Cookie* trouver(const std::vector<Cookie>& cookies, const std::string& nom) {
    for (const auto& cookie : cookies)
        if (cookie.nom == nom) return &cookie;
    return nullptr;
}

Cookie cookieDeSession() {
    Cookie cookie;
    cookie.nom = "jeton";
    cookie.valeur = "abc";
    cookie.domaine = "127.0.0.1";
    cookie.chemin = "/";
    cookie.sameSite = "None";
    return cookie;
}

Cookie cookieDurable() {
    Cookie cookie;
    cookie.nom = "studio_session";
    cookie.valeur = "s3cr3t";
    cookie.domaine = ".ovrel.localhost";
    cookie.chemin = "/studio";
    // Whole seconds, about a month from now, the same for every call of the run.
    static const Instant expiration =
        std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now()) + 30 * 24h;
    cookie.expiration = expiration;
    cookie.securise = true;
    cookie.httpSeulement = true;
    cookie.sameSite = "Lax";
    return cookie;
}

class VueWebWebKitTest : public ::testing::Test {
protected:
    essais::DossierTemporaire dossier;
    Serveur serveur;
};

TEST_F(VueWebWebKitTest, PageLocaleAvecLAgentEtLesScripts) {
    Vue vue(dossier.chemin());
    EXPECT_EQ(vue.web.urlCourante(), std::nullopt);

    const std::string adresse = serveur.url("/page");
    ASSERT_TRUE(vue.chargerEtAttendre(adresse));
    EXPECT_EQ(vue.web.urlCourante(), adresse);
    EXPECT_FALSE(vue.web.delaiDepasse());
    EXPECT_EQ(serveur.dernierAgent, std::string(AGENT_UTILISATEUR));

    auto agent = vue.evaluer("navigator.userAgent");
    EXPECT_EQ(agent.valeur, std::string(AGENT_UTILISATEUR));
    EXPECT_EQ(vue.evaluer("document.title").valeur, "Ovrel");
    EXPECT_EQ(vue.evaluer("1 + 2").valeur, "3");
    EXPECT_EQ(vue.evaluer("window.ovrelAvantDeQuitter ? window.ovrelAvantDeQuitter() : 0").valeur, "0");

    auto echec = vue.evaluer("throw new Error('non')");
    EXPECT_EQ(echec.valeur, std::nullopt);
    ASSERT_TRUE(echec.erreur.has_value());
    EXPECT_EQ(echec.erreur->domaine, "WebKitJavascriptError");
    EXPECT_EQ(echec.erreur->code, 699);

    // A script whose value is a Promise is an error too, not a text.
    auto promesse = vue.evaluer("Promise.resolve(1)");
    EXPECT_EQ(promesse.valeur, std::nullopt);
    EXPECT_TRUE(promesse.erreur.has_value());

    const int avant = serveur.requetes;
    const int chargements = vue.chargementsTermines;
    vue.web.recharger();
    EXPECT_TRUE(attendre([&] { return vue.chargementsTermines > chargements; }));
    EXPECT_EQ(serveur.requetes, avant + 1);
}

TEST_F(VueWebWebKitTest, UnChargementTropLongEstArreteAuBoutDuDelai) {
    Vue vue(dossier.chemin());
    const int avant = vue.chargementsTermines;
    const auto debut = std::chrono::steady_clock::now();
    vue.web.charger(serveur.url("/jamais"), 400ms);
    ASSERT_TRUE(attendre([&] { return vue.chargementsTermines > avant; }, 10s));
    EXPECT_GE(std::chrono::steady_clock::now() - debut, 400ms);
    EXPECT_TRUE(vue.web.delaiDepasse());

    // The next load starts afresh and is not cut by the old timer.
    ASSERT_TRUE(vue.chargerEtAttendre(serveur.url("/page")));
    EXPECT_FALSE(vue.web.delaiDepasse());
    EXPECT_EQ(vue.web.urlCourante(), serveur.url("/page"));
}

TEST_F(VueWebWebKitTest, LeDelaiDUnChargementQuiEnRemplaceUnAutreTient) {
    Vue vue(dossier.chemin());
    vue.web.charger(serveur.url("/jamais?premier"), 60s);
    ASSERT_TRUE(attendre([&] { return serveur.requetes >= 1; }, 10s));
    // The first load, stopped by the second, finishes: that must not end the second's timer.
    const int avant = vue.chargementsTermines;
    vue.web.charger(serveur.url("/jamais?second"), 500ms);
    ASSERT_TRUE(attendre([&] { return vue.web.delaiDepasse(); }, 10s));
    EXPECT_TRUE(attendre([&] { return vue.chargementsTermines > avant; }, 10s));
}

TEST_F(VueWebWebKitTest, CookiesAjoutesRelusEtEnvoyes) {
    Vue vue(dossier.chemin());
    EXPECT_TRUE(vue.cookies().empty());

    ASSERT_TRUE(vue.ajouter(cookieDeSession()));
    ASSERT_TRUE(vue.ajouter(cookieDurable()));
    auto cookies = vue.cookies();
    ASSERT_EQ(cookies.size(), 2u);
    ASSERT_NE(trouver(cookies, "jeton"), nullptr);
    EXPECT_EQ(*trouver(cookies, "jeton"), cookieDeSession());
    ASSERT_NE(trouver(cookies, "studio_session"), nullptr);
    EXPECT_EQ(*trouver(cookies, "studio_session"), cookieDurable());

    // The page's own request carries the added cookie; a cookie the page sets is read back.
    ASSERT_TRUE(vue.chargerEtAttendre(serveur.url("/page?cookie")));
    EXPECT_EQ(serveur.derniersCookies, "jeton=abc");
    const Cookie* pose = trouver(vue.cookies(), "session_page");
    ASSERT_NE(pose, nullptr);
    EXPECT_EQ(pose->valeur, "xyz");
    EXPECT_EQ(pose->domaine, "127.0.0.1");
    EXPECT_TRUE(pose->httpSeulement);
    ASSERT_TRUE(pose->expiration.has_value());
    EXPECT_GT(*pose->expiration, std::chrono::system_clock::now() + 50min);

    // A cookie with the same name, domain and path replaces the stored one.
    Cookie nouveau = cookieDeSession();
    nouveau.valeur = "def";
    ASSERT_TRUE(vue.ajouter(nouveau));
    EXPECT_EQ(trouver(vue.cookies(), "jeton")->valeur, "def");
}

TEST_F(VueWebWebKitTest, EffacerVideLesCookiesEtLeStockageLocal) {
    Vue vue(dossier.chemin());
    ASSERT_TRUE(vue.chargerEtAttendre(serveur.url("/page?cookie")));
    ASSERT_TRUE(vue.ajouter(cookieDurable()));
    EXPECT_EQ(vue.evaluer("localStorage.setItem('brouillon', '1'); localStorage.getItem('brouillon')").valeur, "1");
    ASSERT_FALSE(vue.cookies().empty());

    bool fini = false;
    vue.web.effacerDonnees([&] { fini = true; });
    ASSERT_TRUE(attendre([&] { return fini; }));
    EXPECT_TRUE(vue.cookies().empty());
    ASSERT_TRUE(vue.chargerEtAttendre(serveur.url("/page")));
    EXPECT_EQ(serveur.derniersCookies, "");
    EXPECT_EQ(vue.evaluer("String(localStorage.getItem('brouillon'))").valeur, "null");
}

TEST_F(VueWebWebKitTest, LesCookiesDurablesSurviventALaVue) {
    {
        Vue premiere(dossier.chemin());
        ASSERT_TRUE(premiere.ajouter(cookieDurable()));
        ASSERT_TRUE(premiere.ajouter(cookieDeSession()));
        ASSERT_EQ(premiere.cookies().size(), 2u);
    }
    // Let the engine close the first session before the second opens the same store.
    essais::laisserTourner(300ms);
    EXPECT_TRUE(std::filesystem::exists(
        VueWebWebKit::fichierCookies({dossier.chemin() / "donnees", dossier.chemin() / "cache"})));

    Vue seconde(dossier.chemin());
    auto cookies = seconde.cookies();
    ASSERT_EQ(cookies.size(), 1u) << "seul le cookie daté est gardé";
    EXPECT_EQ(cookies[0], cookieDurable());
}

TEST_F(VueWebWebKitTest, AucuneCompletionApresLaDestructionDeLaVue) {
    bool appele = false;
    {
        Vue vue(dossier.chemin());
        ASSERT_TRUE(vue.chargerEtAttendre(serveur.url("/page")));
        vue.web.evaluer("1", [&](auto, auto) { appele = true; });
        vue.web.cookies([&](auto) { appele = true; });
    }
    essais::laisserTourner(500ms);
    EXPECT_FALSE(appele);
}

}  // namespace
}  // namespace ovrel
