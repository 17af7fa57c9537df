// The copy of the web console's cookies, end to end with the real engines: a web view receives
// cookies from a local server, they go into the HTTP jar (as the application saves them), the
// jar is reopened from its file (a new launch), and a new web view receives them (as the
// application restores them) and sends them to the server again.
#include "plateforme/soup/cookie_soup.h"
#include "plateforme/soup/http_soup.h"
#include "plateforme/webkit/vue_web_webkit.h"
#include "simulateur/certificat.h"
#include "tests/gtk/outils_gtk.h"

#include <gtest/gtest.h>
#include <gtkmm.h>
#include <libsoup/soup.h>

#include <map>
#include <memory>
#include <string>

namespace ovrel {
namespace {

using namespace std::chrono_literals;
using essais::attendre;

constexpr const char* hote = "studio.ovrel.localhost";

// One server on HTTP and HTTPS (a self-signed certificate). "/poser" sets the cookies of its
// scheme; "/voir" remembers the Cookie header it was sent.
class Serveur {
public:
    Serveur() {
        std::string erreur;
        if (!simulateur::certificatAutoSigne("ovrel.localhost", certificat_, erreur)) ADD_FAILURE() << erreur;
        serveur_ = SOUP_SERVER(g_object_new(SOUP_TYPE_SERVER, "tls-certificate", certificat_.tls, nullptr));
        soup_server_add_handler(serveur_, nullptr, &Serveur::repondre, this, nullptr);
        for (auto options : {SOUP_SERVER_LISTEN_IPV4_ONLY,
                             static_cast<SoupServerListenOptions>(SOUP_SERVER_LISTEN_IPV4_ONLY | SOUP_SERVER_LISTEN_HTTPS)}) {
            GError* e = nullptr;
            if (!soup_server_listen_local(serveur_, 0, options, &e)) {
                ADD_FAILURE() << e->message;
                g_error_free(e);
            }
        }
        GSList* uris = soup_server_get_uris(serveur_);
        for (GSList* u = uris; u; u = u->next) {
            GUri* uri = static_cast<GUri*>(u->data);
            (std::string(g_uri_get_scheme(uri)) == "https" ? portTls_ : port_) = g_uri_get_port(uri);
        }
        g_slist_free_full(uris, reinterpret_cast<GDestroyNotify>(g_uri_unref));
    }
    ~Serveur() {
        soup_server_disconnect(serveur_);
        g_object_unref(serveur_);
        g_clear_object(&certificat_.tls);
    }
    Serveur(const Serveur&) = delete;
    Serveur& operator=(const Serveur&) = delete;

    std::string url(const std::string& chemin) const {
        return "http://" + std::string(hote) + ":" + std::to_string(port_) + chemin;
    }
    std::string urlTls(const std::string& chemin) const {
        return "https://" + std::string(hote) + ":" + std::to_string(portTls_) + chemin;
    }
    GTlsCertificate* certificat() const { return certificat_.tls; }

    std::optional<std::string> cookiesVus;

private:
    static void repondre(SoupServer*, SoupServerMessage* message, const char* chemin, GHashTable*, gpointer moi) {
        auto* serveur = static_cast<Serveur*>(moi);
        SoupMessageHeaders* reponse = soup_server_message_get_response_headers(message);
        const bool tls = std::string(g_uri_get_scheme(soup_server_message_get_uri(message))) == "https";
        if (std::string(chemin) == "/poser" && !tls) {
            for (const char* c : {"hote=h1; Path=/; Max-Age=86400",
                                  "domaine=d2; Domain=ovrel.localhost; Path=/; Max-Age=86400",
                                  "aucun=n3; Path=/; Max-Age=86400; SameSite=None",
                                  "lache=l4; Path=/; Max-Age=86400; SameSite=Lax; HttpOnly",
                                  "strict=s5; Path=/; Max-Age=86400; SameSite=Strict",
                                  "session=e6; Path=/",
                                  "lointain=f7; Path=/; Expires=Fri, 31 Dec 9999 23:59:59 GMT"})
                soup_message_headers_append(reponse, "Set-Cookie", c);
        } else if (std::string(chemin) == "/poser") {
            soup_message_headers_append(reponse, "Set-Cookie", "sur=x8; Path=/; Max-Age=86400; Secure; SameSite=None");
        } else if (std::string(chemin) == "/voir") {
            const char* cookies = soup_message_headers_get_one(soup_server_message_get_request_headers(message), "Cookie");
            serveur->cookiesVus = cookies ? cookies : "";
        }
        static const std::string corps = "<!doctype html><title>Ovrel</title><body>ok</body>";
        soup_server_message_set_status(message, 200, nullptr);
        soup_server_message_set_response(message, "text/html", SOUP_MEMORY_COPY, corps.data(), corps.size());
    }

    simulateur::Certificat certificat_;
    SoupServer* serveur_ = nullptr;
    int port_ = 0;
    int portTls_ = 0;
};

// A web view in a window, its store in its own folders, trusting the server's certificate.
class Vue {
public:
    Vue(const std::filesystem::path& racine, GTlsCertificate* certificat)
        : web(VueWebWebKit::Dossiers{racine / "donnees", racine / "cache"}, "Ovrel Studio (essai)") {
        webkit_network_session_allow_tls_certificate_for_host(web.session(), certificat, hote);
        // The engine's own signal: a failed load finishes too.
        g_signal_connect(web.vue(), "load-changed", G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent etape, gpointer moi) {
                             if (etape == WEBKIT_LOAD_FINISHED) ++static_cast<Vue*>(moi)->chargementsTermines;
                         }),
                         this);
        fenetre.set_default_size(800, 600);
        fenetre.set_child(*Glib::wrap(web.widget()));
        fenetre.present();
    }
    ~Vue() {
        g_signal_handlers_disconnect_by_data(web.vue(), this);
        fenetre.unset_child();
    }

    bool chargerEtAttendre(const std::string& url) {
        const int avant = chargementsTermines;
        web.charger(url);
        return attendre([&] { return chargementsTermines > avant; });
    }

    std::vector<Cookie> cookies() {
        std::optional<std::vector<Cookie>> liste;
        web.cookies([&](std::vector<Cookie> recus) { liste = std::move(recus); });
        attendre([&] { return liste.has_value(); });
        return liste.value_or(std::vector<Cookie>{});
    }

    Gtk::Window fenetre;
    VueWebWebKit web;
    int chargementsTermines = 0;
};

// Every attribute, by name: a difference shows as text.
std::map<std::string, std::string> parNom(const std::vector<Cookie>& cookies) {
    std::map<std::string, std::string> resultat;
    for (const Cookie& c : cookies) {
        resultat[c.nom] = c.valeur + " domaine=" + c.domaine + " chemin=" + c.chemin + " expiration=" +
                          (c.expiration ? std::to_string(c.expiration->time_since_epoch().count()) : "session") +
                          " securise=" + std::to_string(c.securise) + " httpSeulement=" +
                          std::to_string(c.httpSeulement) + " sameSite=" + c.sameSite;
    }
    return resultat;
}

// "a=1; b=2" as a map.
std::map<std::string, std::string> enteteCookie(const std::string& entete) {
    std::map<std::string, std::string> resultat;
    gchar** paires = g_strsplit(entete.c_str(), ";", -1);
    for (gchar** p = paires; *p; ++p) {
        const std::string paire = g_strstrip(*p);
        const auto egal = paire.find('=');
        if (egal != std::string::npos) resultat[paire.substr(0, egal)] = paire.substr(egal + 1);
    }
    g_strfreev(paires);
    return resultat;
}

TEST(CookiesCopies, DeLaVueAuBocalPuisAUneNouvelleVueIntactsEtRenvoyes) {
    essais::DossierTemporaire dossier;
    Serveur serveur;

    // The first view stays open until the end: when the engine's last view goes, its network
    // process ends, and a view opened meanwhile may lose what it sent to it.
    Vue premiere(dossier.chemin() / "premiere", serveur.certificat());
    ASSERT_TRUE(premiere.chargerEtAttendre(serveur.url("/poser")));
    ASSERT_TRUE(premiere.chargerEtAttendre(serveur.urlTls("/poser")));
    const std::vector<Cookie> originaux = premiere.cookies();
    // What the server set, as the web view holds it.
    const auto lus = parNom(originaux);
    const auto cle = [&](const std::string& nom) { return lus.count(nom) ? lus.at(nom) : "absent"; };
    const auto attributs = [&](const std::string& nom) -> const Cookie& {
        for (const Cookie& c : originaux)
            if (c.nom == nom) return c;
        static const Cookie aucun;
        return aucun;
    };
    ASSERT_EQ(originaux.size(), 8u) << ::testing::PrintToString(lus);
    EXPECT_EQ(attributs("hote").domaine, hote) << cle("hote");
    EXPECT_EQ(attributs("domaine").domaine, ".ovrel.localhost") << cle("domaine");
    EXPECT_EQ(attributs("aucun").sameSite, "None") << cle("aucun");
    EXPECT_EQ(attributs("lache").sameSite, "Lax") << cle("lache");
    EXPECT_TRUE(attributs("lache").httpSeulement) << cle("lache");
    EXPECT_EQ(attributs("strict").sameSite, "Strict") << cle("strict");
    EXPECT_FALSE(attributs("session").expiration) << cle("session");
    EXPECT_EQ(attributs("lointain").expiration, expirationLaPlusLointaine) << cle("lointain");
    EXPECT_TRUE(attributs("sur").securise) << cle("sur");
    EXPECT_EQ(attributs("sur").sameSite, "None") << cle("sur");

    // Saved into the jar, which is then reopened from its file: session cookies are not written
    // there, so they do not outlive a launch.
    const auto fichier = dossier.chemin() / "bocal" / "cookies.sqlite";
    {
        HttpSoup bocal(fichier);
        for (const Cookie& c : originaux) bocal.ajouterCookie(c);
    }
    HttpSoup bocal(fichier);
    const std::vector<Cookie> gardes = bocal.cookies();
    auto attendus = lus;
    attendus.erase("session");
    EXPECT_EQ(parNom(gardes), attendus);

    // Restored into a new web view, which sends them all and holds them as the first one did.
    Vue seconde(dossier.chemin() / "seconde", serveur.certificat());
    for (const Cookie& c : gardes) {
        bool fini = false;
        seconde.web.ajouterCookie(c, [&] { fini = true; });
        ASSERT_TRUE(attendre([&] { return fini; }));
    }
    ASSERT_TRUE(seconde.chargerEtAttendre(serveur.urlTls("/voir")));
    ASSERT_TRUE(serveur.cookiesVus.has_value()) << "page non chargée";
    std::map<std::string, std::string> valeurs;
    for (const Cookie& c : originaux)
        if (c.nom != "session") valeurs[c.nom] = c.valeur;
    EXPECT_EQ(enteteCookie(*serveur.cookiesVus), valeurs);
    EXPECT_EQ(parNom(seconde.cookies()), attendus);
}

}  // namespace
}  // namespace ovrel
