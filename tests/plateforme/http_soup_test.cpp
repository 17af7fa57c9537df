// The libsoup adapter against a real SoupServer on 127.0.0.1, on the same main context.
#include "plateforme/soup/http_soup.h"

#include "plateforme/soup/cookie_soup.h"

#include "boucle_glib.h"

#include <gio/gio.h>
#include <gtest/gtest.h>
#include <libsoup/soup.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace ovrel;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

// A resolver that knows no name at all: the unknown-host case is tested without sending any
// query to the machine's DNS server.
extern "C" {
typedef struct {
    GResolver parent;
} ResolveurMuet;
typedef struct {
    GResolverClass parent_class;
} ResolveurMuetClass;
static GType resolveur_muet_get_type();
G_DEFINE_TYPE(ResolveurMuet, resolveur_muet, G_TYPE_RESOLVER)

static void resolveur_muet_lookup_async(GResolver* resolveur, const gchar* nom, GCancellable* annulation,
                                        GAsyncReadyCallback rappel, gpointer donnees) {
    GTask* tache = g_task_new(resolveur, annulation, rappel, donnees);
    g_task_return_new_error(tache, G_RESOLVER_ERROR, G_RESOLVER_ERROR_NOT_FOUND, "Nom inconnu : %s", nom);
    g_object_unref(tache);
}
static void resolveur_muet_lookup_flags_async(GResolver* resolveur, const gchar* nom, GResolverNameLookupFlags,
                                              GCancellable* annulation, GAsyncReadyCallback rappel, gpointer donnees) {
    resolveur_muet_lookup_async(resolveur, nom, annulation, rappel, donnees);
}
static GList* resolveur_muet_lookup_finish(GResolver*, GAsyncResult* resultat, GError** erreur) {
    return static_cast<GList*>(g_task_propagate_pointer(G_TASK(resultat), erreur));
}
static GList* resolveur_muet_lookup(GResolver*, const gchar* nom, GCancellable*, GError** erreur) {
    g_set_error(erreur, G_RESOLVER_ERROR, G_RESOLVER_ERROR_NOT_FOUND, "Nom inconnu : %s", nom);
    return nullptr;
}
static void resolveur_muet_class_init(ResolveurMuetClass* classe) {
    GResolverClass* r = G_RESOLVER_CLASS(classe);
    r->lookup_by_name = resolveur_muet_lookup;
    r->lookup_by_name_async = resolveur_muet_lookup_async;
    r->lookup_by_name_finish = resolveur_muet_lookup_finish;
    r->lookup_by_name_with_flags_async = resolveur_muet_lookup_flags_async;
    r->lookup_by_name_with_flags_finish = resolveur_muet_lookup_finish;
}
static void resolveur_muet_init(ResolveurMuet*) {}
}

namespace {

fs::path creerDossierTemporaire(const char* prefixe) {
    std::string modele = (fs::temp_directory_path() / (std::string(prefixe) + "-XXXXXX")).string();
    if (::mkdtemp(modele.data()) == nullptr) return {};
    return modele;
}

// The default location of the jar follows XDG_DATA_HOME, which GLib reads once: it points to a
// private folder before any test runs, so that the tests never touch the real home.
fs::path& donneesUtilisateur() {
    static fs::path dossier;
    return dossier;
}

class DonneesPrivees : public ::testing::Environment {
public:
    void SetUp() override {
        donneesUtilisateur() = creerDossierTemporaire("http-soup-xdg");
        ::setenv("XDG_DATA_HOME", donneesUtilisateur().c_str(), 1);
    }
    void TearDown() override {
        std::error_code e;
        fs::remove_all(donneesUtilisateur(), e);
    }
};
[[maybe_unused]] ::testing::Environment* const donneesPrivees =
    ::testing::AddGlobalTestEnvironment(new DonneesPrivees);

mode_t modeDe(const fs::path& p) {
    struct stat etat {};
    if (::stat(p.c_str(), &etat) != 0) return 0;
    return etat.st_mode & 07777;
}

// What the server saw of one request.
struct Vue {
    std::string methode;
    std::string chemin;
    std::string corps;
    std::optional<std::string> typeContenu;
    std::optional<std::string> longueur;
    std::optional<std::string> cookie;
    std::optional<std::string> agent;
    std::optional<std::string> cacheControl;
    std::optional<std::string> essai;
};

std::optional<std::string> entete(SoupMessageHeaders* entetes, const char* nom) {
    const char* v = soup_message_headers_get_one(entetes, nom);
    if (!v) return std::nullopt;
    return std::string(v);
}

// A local server whose paths behave as the tests need:
//   /echo         200 "bonjour" with "X-Reponse: oui"
//   /vide         200 with an empty body
//   /poser        sets "durable" (one hour) and "ephemere" (session) cookies
//   /lointain     sets a cookie valid until year 9999
//   /redirection  302 to /echo
//   /silence      never answers
class Serveur {
public:
    Serveur() : serveur_(soup_server_new(nullptr, nullptr)) {
        soup_server_add_handler(serveur_, nullptr, traiter, this, nullptr);
        GError* erreur = nullptr;
        if (!soup_server_listen_local(serveur_, 0, SOUP_SERVER_LISTEN_IPV4_ONLY, &erreur)) {
            ADD_FAILURE() << "écoute impossible : " << erreur->message;
            g_error_free(erreur);
            return;
        }
        GSList* uris = soup_server_get_uris(serveur_);
        base_ = "http://127.0.0.1:" + std::to_string(g_uri_get_port(static_cast<GUri*>(uris->data)));
        g_slist_free_full(uris, reinterpret_cast<GDestroyNotify>(g_uri_unref));
    }
    ~Serveur() {
        soup_server_disconnect(serveur_);
        g_object_unref(serveur_);
    }
    Serveur(const Serveur&) = delete;
    Serveur& operator=(const Serveur&) = delete;

    std::string url(const std::string& chemin) const { return base_ + chemin; }
    const std::vector<Vue>& vues() const { return vues_; }
    const Vue& derniere() const { return vues_.back(); }

private:
    static void traiter(SoupServer*, SoupServerMessage* message, const char* chemin, GHashTable*, gpointer d) {
        auto* soi = static_cast<Serveur*>(d);
        SoupMessageHeaders* requete = soup_server_message_get_request_headers(message);
        Vue vue;
        vue.methode = soup_server_message_get_method(message);
        vue.chemin = chemin;
        GBytes* corps = soup_message_body_flatten(soup_server_message_get_request_body(message));
        gsize taille = 0;
        const auto* octets = static_cast<const char*>(g_bytes_get_data(corps, &taille));
        vue.corps.assign(octets ? octets : "", taille);
        g_bytes_unref(corps);
        vue.typeContenu = entete(requete, "Content-Type");
        vue.longueur = entete(requete, "Content-Length");
        vue.cookie = entete(requete, "Cookie");
        vue.agent = entete(requete, "User-Agent");
        vue.cacheControl = entete(requete, "Cache-Control");
        vue.essai = entete(requete, "X-Essai");
        soi->vues_.push_back(vue);

        SoupMessageHeaders* reponse = soup_server_message_get_response_headers(message);
        const std::string c = chemin;
        if (c == "/silence") {
            soup_server_message_pause(message);
            return;
        }
        if (c == "/redirection") {
            soup_server_message_set_status(message, 302, nullptr);
            soup_message_headers_replace(reponse, "Location", "/echo");
            return;
        }
        if (c == "/poser") {
            soup_message_headers_append(reponse, "Set-Cookie", "durable=1; Max-Age=3600; Path=/");
            soup_message_headers_append(reponse, "Set-Cookie", "ephemere=2; Path=/");
        }
        if (c == "/lointain")
            soup_message_headers_append(reponse, "Set-Cookie",
                                        "lointain=3; Expires=Fri, 31 Dec 9999 23:59:59 GMT; Path=/");
        soup_server_message_set_status(message, 200, nullptr);
        if (c == "/vide") {
            soup_server_message_set_response(message, "text/plain", SOUP_MEMORY_COPY, "", 0);
            return;
        }
        soup_message_headers_append(reponse, "X-Reponse", "oui");
        soup_server_message_set_response(message, "text/plain", SOUP_MEMORY_COPY, "bonjour", 7);
    }

    SoupServer* serveur_;
    std::string base_;
    std::vector<Vue> vues_;
};

class HttpSoupTest : public ::testing::Test {
protected:
    HttpSoupTest() : dossier_(creerDossierTemporaire("http-soup")) {}
    ~HttpSoupTest() override {
        std::error_code e;
        fs::remove_all(dossier_, e);
    }

    fs::path jar() const { return dossier_ / "cookies.sqlite"; }

    // Sends and runs the loop until the completion, counting its calls.
    std::optional<ReponseHttp> echanger(Http& http, RequeteHttp requete, std::chrono::milliseconds limite = 5s) {
        std::optional<ReponseHttp> reponse;
        int appels = 0;
        http.envoyer(std::move(requete), [&](ReponseHttp r) {
            ++appels;
            reponse = std::move(r);
        });
        EXPECT_EQ(appels, 0) << "jamais pendant envoyer";
        essai::tournerJusqua([&] { return appels > 0; }, limite);
        essai::tournerPendant(20ms);
        EXPECT_LE(appels, 1);
        return reponse;
    }

    std::optional<ReponseHttp> get(Http& http, const std::string& url) {
        RequeteHttp r;
        r.url = url;
        return echanger(http, r);
    }

    static Cookie cookie(std::string nom, std::string valeur) {
        Cookie c;
        c.nom = std::move(nom);
        c.valeur = std::move(valeur);
        c.domaine = "127.0.0.1";
        return c;
    }

    static const Cookie* trouver(const std::vector<Cookie>& cookies, const std::string& nom) {
        for (const auto& c : cookies)
            if (c.nom == nom) return &c;
        return nullptr;
    }

    fs::path dossier_;
    Serveur serveur_;
};

TEST_F(HttpSoupTest, RenvoieStatutEntetesEtCorpsEtPresenteLAgentDeLApplication) {
    HttpSoup http(jar(), "OvrelStudio/9.8.7");
    RequeteHttp r;
    r.url = serveur_.url("/echo");
    r.entetes = {{"X-Essai", "valeur 1"}};
    const auto reponse = echanger(http, r);
    ASSERT_TRUE(reponse);
    EXPECT_FALSE(reponse->erreur);
    EXPECT_EQ(reponse->statut, 200);
    EXPECT_EQ(reponse->corps, "bonjour");
    EXPECT_EQ(reponse->entete("x-reponse"), "oui");
    EXPECT_EQ(reponse->entete("Content-Type"), "text/plain");
    ASSERT_EQ(serveur_.vues().size(), 1u);
    EXPECT_EQ(serveur_.derniere().methode, "GET");
    EXPECT_EQ(serveur_.derniere().essai, "valeur 1");
    EXPECT_EQ(serveur_.derniere().agent, "OvrelStudio/9.8.7");
    EXPECT_FALSE(serveur_.derniere().cacheControl) << "sans ignorerCache, pas de Cache-Control";
}

TEST_F(HttpSoupTest, UnCorpsVideRecuEstPresentEtVide) {
    HttpSoup http(jar());
    const auto reponse = get(http, serveur_.url("/vide"));
    ASSERT_TRUE(reponse);
    EXPECT_EQ(reponse->statut, 200);
    ASSERT_TRUE(reponse->corps);
    EXPECT_EQ(*reponse->corps, "");
    EXPECT_FALSE(reponse->erreur);
}

TEST_F(HttpSoupTest, PostEnvoieLeCorpsAvecLeTypeDonneDansLesEntetes) {
    HttpSoup http(jar());
    RequeteHttp r;
    r.methode = "POST";
    r.url = serveur_.url("/echo");
    r.entetes = {{"content-type", "application/json"}};
    r.corps = R"({"empreinte":"é"})";
    ASSERT_TRUE(echanger(http, r));
    EXPECT_EQ(serveur_.derniere().methode, "POST");
    EXPECT_EQ(serveur_.derniere().corps, R"({"empreinte":"é"})");
    EXPECT_EQ(serveur_.derniere().typeContenu, "application/json");

    // An anomaly action: a form POST with an empty body still says so.
    RequeteHttp action;
    action.methode = "POST";
    action.url = serveur_.url("/echo");
    action.entetes = {{"Content-Type", "application/x-www-form-urlencoded"}};
    action.corps = "";
    const auto reponse = echanger(http, action);
    ASSERT_TRUE(reponse);
    EXPECT_EQ(reponse->statut, 200);
    EXPECT_EQ(serveur_.derniere().corps, "");
    EXPECT_EQ(serveur_.derniere().longueur, "0");
    EXPECT_EQ(serveur_.derniere().typeContenu, "application/x-www-form-urlencoded");
}

TEST_F(HttpSoupTest, IgnorerLeCacheLeDemandeAuxCachesDuChemin) {
    HttpSoup http(jar());
    RequeteHttp r;
    r.url = serveur_.url("/echo");
    r.ignorerCache = true;
    ASSERT_TRUE(echanger(http, r));
    EXPECT_EQ(serveur_.derniere().cacheControl, "no-cache");

    r.entetes = {{"Cache-Control", "max-age=0"}};
    ASSERT_TRUE(echanger(http, r));
    EXPECT_EQ(serveur_.derniere().cacheControl, "max-age=0") << "celui de l'appelant prime";
}

TEST_F(HttpSoupTest, SansRedirectionRendLaRedirectionElleMemeSinonElleEstSuivie) {
    HttpSoup http(jar());
    RequeteHttp r;
    r.url = serveur_.url("/redirection");
    const auto suivie = echanger(http, r);
    ASSERT_TRUE(suivie);
    EXPECT_EQ(suivie->statut, 200);
    EXPECT_EQ(suivie->corps, "bonjour");
    EXPECT_EQ(serveur_.derniere().chemin, "/echo");

    r.sansRedirection = true;
    const auto refusee = echanger(http, r);
    ASSERT_TRUE(refusee);
    EXPECT_EQ(refusee->statut, 302);
    EXPECT_FALSE(refusee->erreur);
    EXPECT_EQ(refusee->entete("Location"), "/echo");
    EXPECT_EQ(serveur_.derniere().chemin, "/redirection");
}

TEST_F(HttpSoupTest, LeDelaiCouvreLEchangeEtArriveCommeUneErreurDeDelai) {
    HttpSoup http(jar());
    RequeteHttp r;
    r.url = serveur_.url("/silence");
    r.delai = 300ms;
    const auto debut = std::chrono::steady_clock::now();
    const auto reponse = echanger(http, r, 3s);
    const auto duree = std::chrono::steady_clock::now() - debut;
    ASSERT_TRUE(reponse);
    ASSERT_TRUE(reponse->erreur);
    EXPECT_EQ(reponse->erreur->domaine, "g-io-error-quark");
    EXPECT_EQ(reponse->erreur->code, 24);
    EXPECT_FALSE(reponse->erreur->message.empty());
    EXPECT_EQ(reponse->statut, 0);
    EXPECT_FALSE(reponse->corps);
    EXPECT_GE(duree, 290ms);
    EXPECT_LT(duree, 1500ms);
}

TEST_F(HttpSoupTest, ConnexionRefuseeEtHoteInconnuSontDesErreursDeTransport) {
    // A port bound without listening refuses connections and cannot be taken meanwhile.
    GSocket* prise = g_socket_new(G_SOCKET_FAMILY_IPV4, G_SOCKET_TYPE_STREAM, G_SOCKET_PROTOCOL_TCP, nullptr);
    ASSERT_NE(prise, nullptr);
    GInetAddress* boucle = g_inet_address_new_loopback(G_SOCKET_FAMILY_IPV4);
    GSocketAddress* adresse = g_inet_socket_address_new(boucle, 0);
    ASSERT_TRUE(g_socket_bind(prise, adresse, FALSE, nullptr));
    GSocketAddress* liee = g_socket_get_local_address(prise, nullptr);
    const int port = g_inet_socket_address_get_port(G_INET_SOCKET_ADDRESS(liee));

    HttpSoup http(jar());
    const auto refusee = get(http, "http://127.0.0.1:" + std::to_string(port) + "/");
    g_object_unref(liee);
    g_object_unref(adresse);
    g_object_unref(boucle);
    g_object_unref(prise);
    ASSERT_TRUE(refusee);
    ASSERT_TRUE(refusee->erreur);
    EXPECT_EQ(refusee->erreur->domaine, "g-io-error-quark");
    EXPECT_EQ(refusee->erreur->code, 39);
    EXPECT_EQ(refusee->statut, 0);
    EXPECT_FALSE(refusee->corps);
    EXPECT_TRUE(refusee->entetes.empty());

    GResolver* resolveurSysteme = g_resolver_get_default();
    GResolver* muet = G_RESOLVER(g_object_new(resolveur_muet_get_type(), nullptr));
    g_resolver_set_default(muet);
    RequeteHttp r;
    r.url = "http://nulle-part.invalid/api/decouverte";
    r.delai = 3s;
    const auto inconnu = echanger(http, r);
    g_resolver_set_default(resolveurSysteme);
    g_object_unref(resolveurSysteme);
    g_object_unref(muet);
    ASSERT_TRUE(inconnu);
    ASSERT_TRUE(inconnu->erreur);
    EXPECT_FALSE(inconnu->erreur->domaine.empty());
    EXPECT_FALSE(inconnu->erreur->message.empty());
    EXPECT_EQ(inconnu->statut, 0);
    EXPECT_FALSE(inconnu->corps);
}

TEST_F(HttpSoupTest, UneRequeteImpossibleEchouePlusTardEtNeFaitRienPartir) {
    HttpSoup http(jar());
    struct Cas {
        RequeteHttp requete;
        const char* pourquoi;
    };
    std::vector<Cas> cas(4);
    cas[0].requete.url = "ftp://127.0.0.1/fichier";
    cas[0].pourquoi = "schéma";
    cas[1].requete.url = "pas une adresse";
    cas[1].pourquoi = "adresse";
    cas[2].requete.url = serveur_.url("/echo");
    cas[2].requete.entetes = {{"X-Essai", "a\r\nX-Injecte: 1"}};
    cas[2].pourquoi = "retour à la ligne dans une valeur";
    cas[3].requete.url = serveur_.url("/echo");
    cas[3].requete.methode = "GET /autre";
    cas[3].pourquoi = "méthode";
    for (auto& c : cas) {
        std::optional<ReponseHttp> reponse;
        http.envoyer(c.requete, [&](ReponseHttp r) { reponse = std::move(r); });
        EXPECT_FALSE(reponse) << c.pourquoi << " : jamais pendant envoyer";
        essai::tournerJusqua([&] { return reponse.has_value(); }, 2s);
        ASSERT_TRUE(reponse) << c.pourquoi;
        ASSERT_TRUE(reponse->erreur) << c.pourquoi;
        EXPECT_FALSE(reponse->erreur->domaine.empty()) << c.pourquoi;
        EXPECT_EQ(reponse->statut, 0) << c.pourquoi;
    }
    EXPECT_TRUE(serveur_.vues().empty());
}

TEST_F(HttpSoupTest, DetruireLAdaptateurAvecDesRequetesEnVolNAppelleAucuneCompletion) {
    auto http = std::make_unique<HttpSoup>(jar());
    int appels = 0;
    RequeteHttp silence;
    silence.url = serveur_.url("/silence");
    silence.delai = 200ms;
    http->envoyer(silence, [&](ReponseHttp) { ++appels; });
    // The server holds the request: the exchange is really in flight.
    ASSERT_TRUE(essai::tournerJusqua([&] { return !serveur_.vues().empty(); }, 5s));
    // An error waiting for its turn on the loop is in flight too.
    RequeteHttp impossible;
    impossible.url = "ftp://127.0.0.1/";
    http->envoyer(impossible, [&](ReponseHttp) { ++appels; });
    http.reset();
    essai::tournerPendant(400ms);  // past the time-out too
    EXPECT_EQ(appels, 0);
}

TEST_F(HttpSoupTest, UneCompletionPeutDetruireLAdaptateurQuiAEncoreUneRequeteEnVol) {
    auto http = std::make_unique<HttpSoup>(jar());
    int silencieuses = 0;
    bool fini = false;
    RequeteHttp silence;
    silence.url = serveur_.url("/silence");
    http->envoyer(silence, [&](ReponseHttp) { ++silencieuses; });
    ASSERT_TRUE(essai::tournerJusqua([&] { return !serveur_.vues().empty(); }, 5s));
    RequeteHttp echo;
    echo.url = serveur_.url("/echo");
    http->envoyer(echo, [&](ReponseHttp r) {
        EXPECT_EQ(r.statut, 200);
        http.reset();  // from inside a dispatch of the main context
        fini = true;
    });
    ASSERT_TRUE(essai::tournerJusqua([&] { return fini; }, 5s));
    essai::tournerPendant(100ms);
    EXPECT_EQ(silencieuses, 0);
}

TEST_F(HttpSoupTest, UneCompletionPeutRenvoyerUneRequete) {
    HttpSoup http(jar());
    std::vector<int> statuts;
    RequeteHttp r;
    r.url = serveur_.url("/echo");
    http.envoyer(r, [&](ReponseHttp premiere) {
        statuts.push_back(premiere.statut);
        http.envoyer(r, [&](ReponseHttp seconde) { statuts.push_back(seconde.statut); });
    });
    EXPECT_TRUE(essai::tournerJusqua([&] { return statuts.size() == 2; }, 5s));
    EXPECT_EQ(statuts, (std::vector<int>{200, 200}));
}

TEST_F(HttpSoupTest, LesCookiesDuServeurReviennentEtSeulsLesDatesSurviventALaSession) {
    {
        HttpSoup http(jar());
        ASSERT_TRUE(get(http, serveur_.url("/poser")));
        ASSERT_TRUE(get(http, serveur_.url("/echo")));
        ASSERT_TRUE(serveur_.derniere().cookie);
        EXPECT_NE(serveur_.derniere().cookie->find("durable=1"), std::string::npos);
        EXPECT_NE(serveur_.derniere().cookie->find("ephemere=2"), std::string::npos);

        const auto cookies = http.cookies();
        const Cookie* durable = trouver(cookies, "durable");
        const Cookie* ephemere = trouver(cookies, "ephemere");
        ASSERT_TRUE(durable);
        ASSERT_TRUE(ephemere);
        EXPECT_EQ(durable->valeur, "1");
        EXPECT_EQ(durable->domaine, "127.0.0.1");
        EXPECT_EQ(durable->chemin, "/");
        ASSERT_TRUE(durable->expiration);
        const auto reste = *durable->expiration - std::chrono::system_clock::now();
        EXPECT_GT(reste, 3500s);
        EXPECT_LE(reste, 3601s);
        EXPECT_FALSE(ephemere->expiration);
    }
    HttpSoup suivant(jar());
    const auto cookies = suivant.cookies();
    EXPECT_TRUE(trouver(cookies, "durable"));
    EXPECT_FALSE(trouver(cookies, "ephemere"));
    ASSERT_TRUE(get(suivant, serveur_.url("/echo")));
    EXPECT_EQ(serveur_.derniere().cookie, "durable=1");
}

// The jar's file holds expiries as 32-bit numbers: a later date must come back from it as the
// latest one it holds, never as a date in the past.
TEST_F(HttpSoupTest, UneExpirationAuDelaDeCeQueGardeLeFichierSurvitALaReouverture) {
    {
        HttpSoup http(jar());
        ASSERT_TRUE(get(http, serveur_.url("/lointain")));
        Cookie donne = cookie("donne", "4");
        donne.expiration = Instant::max();
        http.ajouterCookie(donne);
    }
    HttpSoup suivant(jar());
    const auto cookies = suivant.cookies();
    for (const char* nom : {"lointain", "donne"}) {
        const Cookie* lu = trouver(cookies, nom);
        ASSERT_TRUE(lu) << nom;
        EXPECT_EQ(lu->expiration, expirationLaPlusLointaine) << nom;
    }
}

TEST_F(HttpSoupTest, UnCookieAjouteEstEnvoyeRemplaceLeMemeEtGardeSesAttributs) {
    HttpSoup http(jar());
    http.ajouterCookie(cookie("session", "a"));
    ASSERT_TRUE(get(http, serveur_.url("/echo")));
    EXPECT_EQ(serveur_.derniere().cookie, "session=a");

    // Same name, domain and path: replaced. Another path: a second cookie.
    http.ajouterCookie(cookie("session", "b"));
    Cookie ailleurs = cookie("session", "c");
    ailleurs.chemin = "/autre";
    http.ajouterCookie(ailleurs);
    ASSERT_TRUE(get(http, serveur_.url("/echo")));
    EXPECT_EQ(serveur_.derniere().cookie, "session=b");
    EXPECT_EQ(http.cookies().size(), 2u);

    Cookie complet = cookie("complet", "v=1");
    complet.domaine = ".ovrel.example";
    complet.chemin = "/studio";
    complet.expiration = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now()) + 48h;
    complet.securise = true;
    complet.httpSeulement = true;
    complet.sameSite = "Strict";
    http.ajouterCookie(complet);
    const auto cookies = http.cookies();
    const Cookie* relu = trouver(cookies, "complet");
    ASSERT_TRUE(relu);
    EXPECT_EQ(*relu, complet);

    // It was written to the file: a new session reads it back as it was.
    HttpSoup suivant(jar());
    const auto relus = suivant.cookies();
    const Cookie* persistant = trouver(relus, "complet");
    ASSERT_TRUE(persistant);
    EXPECT_EQ(persistant->expiration, complet.expiration);
    EXPECT_EQ(persistant->domaine, ".ovrel.example");
    EXPECT_EQ(persistant->chemin, "/studio");
    EXPECT_TRUE(persistant->securise);
    EXPECT_TRUE(persistant->httpSeulement);
}

TEST_F(HttpSoupTest, UneRequeteIndependanteNePorteNiCookieNiRienDeLaSessionPartagee) {
    HttpSoup http(jar(), "OvrelStudio/9.8.7");
    http.ajouterCookie(cookie("session", "a"));
    RequeteHttp r;
    r.url = serveur_.url("/echo");
    r.independante = true;
    const auto reponse = echanger(http, r);
    ASSERT_TRUE(reponse);
    EXPECT_EQ(reponse->statut, 200);
    EXPECT_EQ(serveur_.derniere().cookie, std::nullopt);
    EXPECT_EQ(serveur_.derniere().agent, "OvrelStudio/9.8.7");
    // The shared session still carries the jar.
    ASSERT_TRUE(get(http, serveur_.url("/echo")));
    EXPECT_EQ(serveur_.derniere().cookie, "session=a");
}

TEST_F(HttpSoupTest, UnCookieExpireRetireLeCookieDeMemeCle) {
    HttpSoup http(jar());
    Cookie c = cookie("jeton", "x");
    c.expiration = std::chrono::system_clock::now() + 1h;
    http.ajouterCookie(c);
    ASSERT_TRUE(trouver(http.cookies(), "jeton"));
    c.expiration = std::chrono::system_clock::now() - 1h;
    http.ajouterCookie(c);
    EXPECT_FALSE(trouver(http.cookies(), "jeton"));
    Cookie sansDomaine = cookie("orphelin", "x");
    sansDomaine.domaine.clear();
    http.ajouterCookie(sansDomaine);
    EXPECT_TRUE(http.cookies().empty());
}

TEST_F(HttpSoupTest, SupprimerLesCookiesVideLeBocalEtLeFichier) {
    {
        HttpSoup http(jar());
        ASSERT_TRUE(get(http, serveur_.url("/poser")));
        http.ajouterCookie(cookie("ajoute", "1"));
        ASSERT_FALSE(http.cookies().empty());
        http.supprimerCookies();
        EXPECT_TRUE(http.cookies().empty());
        ASSERT_TRUE(get(http, serveur_.url("/echo")));
        EXPECT_FALSE(serveur_.derniere().cookie);
    }
    HttpSoup suivant(jar());
    EXPECT_TRUE(suivant.cookies().empty());
}

TEST_F(HttpSoupTest, LeBocalEstPriveEtSonEmplacementParDefautSuitXdgDataHome) {
    const fs::path fichier = dossier_ / "a" / "b" / "cookies.sqlite";
    {
        HttpSoup http(fichier);
        http.ajouterCookie(cookie("x", "1"));
    }
    EXPECT_EQ(modeDe(dossier_ / "a"), 0700u);
    EXPECT_EQ(modeDe(dossier_ / "a" / "b"), 0700u);
    EXPECT_EQ(modeDe(fichier), 0600u);

    const fs::path parDefaut = HttpSoup::cheminCookiesParDefaut();
    EXPECT_EQ(parDefaut, donneesUtilisateur() / "ovrel-studio" / "cookies.sqlite");
    EXPECT_EQ(modeDe(parDefaut.parent_path()), 0700u);
}

TEST_F(HttpSoupTest, UnFichierIllisibleEstEcarteEtLeBocalRedevientPersistant) {
    const std::string illisible = "ceci n'est pas une base SQLite, vraiment pas, et assez long pour le dire";
    {
        std::ofstream f(jar(), std::ios::binary);
        f << illisible;
    }
    {
        HttpSoup http(jar());
        ASSERT_TRUE(http.fichierEcarte());
        EXPECT_EQ(http.fichierEcarte()->parent_path(), dossier_);
        EXPECT_EQ(http.fichierEcarte()->filename().string().rfind("cookies.sqlite.illisible-", 0), 0u);
        std::ifstream f(*http.fichierEcarte(), std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(f), {}), illisible) << "gardé tel quel";
        ASSERT_TRUE(get(http, serveur_.url("/poser")));
    }
    HttpSoup suivant(jar());
    EXPECT_FALSE(suivant.fichierEcarte());
    EXPECT_TRUE(trouver(suivant.cookies(), "durable"));
}

}  // namespace
