// The WebKitGTK web view against local pages served by a SoupServer, with its persistent store
// in temporary folders.
#include "app/constantes.h"
#include "plateforme/webkit/vue_web_webkit.h"
#include "simulateur/certificat.h"
#include "tests/gtk/impression_essai.h"
#include "tests/gtk/outils_gtk.h"

#include <gtest/gtest.h>
#include <gtk/gtkunixprint.h>
#include <gtkmm.h>
#include <libsoup/soup.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <unistd.h>

namespace ovrel {
namespace {

using namespace std::chrono_literals;
using essais::attendre;

const std::string CONTENU_FICHIER = "contenu du rapport\n\x01\x02";

// A local HTTP server (HTTPS with a certificate): "/page" answers a small page (and sets a
// cookie when asked with "?cookie"), "/jamais" never answers, "/fichier" is an attachment, and
// the paths of `pages` answer their HTML, whatever the query. It remembers what each request
// carried. Reached as "localhost", it is another origin.
class Serveur {
public:
    explicit Serveur(GTlsCertificate* certificat = nullptr)
        : serveur_(soup_server_new("tls-certificate", certificat, nullptr)), https_(certificat != nullptr) {
        soup_server_add_handler(serveur_, nullptr, &Serveur::repondre, this, nullptr);
        GError* erreur = nullptr;
        soup_server_listen_local(serveur_, 0,
                                 static_cast<SoupServerListenOptions>(SOUP_SERVER_LISTEN_IPV4_ONLY |
                                                                      (https_ ? SOUP_SERVER_LISTEN_HTTPS : 0)),
                                 &erreur);
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
        return (https_ ? "https://127.0.0.1:" : "http://127.0.0.1:") + std::to_string(port_) + chemin;
    }
    std::string urlAutreOrigine(const std::string& chemin) const {
        return (https_ ? "https://localhost:" : "http://localhost:") + std::to_string(port_) + chemin;
    }

    std::map<std::string, std::string> pages;
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
        if (std::string(chemin) == "/fichier") {
            soup_message_headers_append(soup_server_message_get_response_headers(message), "Content-Disposition",
                                        "attachment; filename=\"rapport.bin\"");
            soup_server_message_set_status(message, 200, nullptr);
            soup_server_message_set_response(message, "application/octet-stream", SOUP_MEMORY_COPY,
                                             CONTENU_FICHIER.data(), CONTENU_FICHIER.size());
            return;
        }
        if (auto page = serveur->pages.find(chemin); page != serveur->pages.end()) {
            soup_server_message_set_status(message, 200, nullptr);
            soup_server_message_set_response(message, "text/html", SOUP_MEMORY_COPY, page->second.data(),
                                             page->second.size());
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
    bool https_;
    int port_ = 0;
    std::vector<SoupServerMessage*> enAttente_;
};

// "http://127.0.0.1:port" of an address of the server.
std::string origine(const std::string& url) { return url.substr(0, url.find('/', url.find("//") + 2)); }

// " principal", " sous-cadre", or nothing when the view does not know.
std::string cadre(const std::optional<bool>& principal) {
    if (!principal) return "";
    return *principal ? " principal" : " sous-cadre";
}

const char* nomGenre(GenreNavigation genre) {
    static const char* const noms[] = {"lien", "formulaire", "formulaireRenvoye", "historique", "rechargement", "autre"};
    return noms[static_cast<int>(genre)];
}

// Writes down what the view reports, one line per event in order, and decides as told.
class Ecouteur final : public EvenementsVueWeb {
public:
    std::vector<std::string> evenements;
    std::function<DecisionNavigation(const ActionNavigation&)> navigation = [](const ActionNavigation&) {
        return DecisionNavigation::autoriser;
    };
    std::function<DecisionNavigation(const ReponseNavigation&)> reponse = [](const ReponseNavigation&) {
        return DecisionNavigation::autoriser;
    };
    std::function<void(IdTelechargement, std::function<void(std::optional<std::filesystem::path>)>)> destination;
    bool accepterCertificat = false;

    bool a(const std::string& ligne) const {
        return std::find(evenements.begin(), evenements.end(), ligne) != evenements.end();
    }
    // The lines that start with `debut`, in order.
    std::vector<std::string> commencantPar(const std::string& debut) const {
        std::vector<std::string> lignes;
        for (const auto& ligne : evenements)
            if (ligne.rfind(debut, 0) == 0) lignes.push_back(ligne);
        return lignes;
    }

    void adresseEngagee() override { evenements.push_back("engagee"); }
    void chargementTermine() override { evenements.push_back("termine"); }
    void chargementEchoue(const std::optional<std::string>& url, const ErreurTransport& erreur,
                          bool avantEngagement) override {
        evenements.push_back("echec " + erreur.domaine + " " + std::to_string(erreur.code) +
                             (avantEngagement ? " avant " : " apres ") + url.value_or("-"));
    }
    DecisionNavigation deciderNavigation(const ActionNavigation& action) override {
        evenements.push_back("navigation " + action.methode + " " + nomGenre(action.genre) + " " +
                             action.url.value_or("-") + (action.redirection ? " redirection" : "") +
                             (action.nouvelleFenetre ? " nouvelle-fenetre" : "") +
                             cadre(action.cadrePrincipal));
        return navigation(action);
    }
    DecisionNavigation deciderReponse(const ReponseNavigation& r) override {
        evenements.push_back("reponse " + std::to_string(r.statut) + " " + r.typeMime + " " + r.methode + " [" +
                             r.dispositionContenu.value_or("-") + "] " + (r.cadrePrincipal ? "principal " : "cadre ") +
                             (r.typeAffichable ? "affichable " : "non-affichable ") + r.url.value_or("-"));
        return reponse(r);
    }
    void nouvelleFenetreDemandee(const std::optional<std::string>& url) override {
        evenements.push_back("fenetre " + url.value_or("-"));
    }
    bool certificatRefuse(const EchecCertificat& echec) override {
        evenements.push_back("certificat " + echec.hote + " [" + echec.sujet + "] " + std::to_string(echec.drapeaux) +
                             " " + echec.url);
        return accepterCertificat;
    }
    void messageScript(const MessageScript& message) override {
        evenements.push_back("message " + message.nom + " " + message.corps + " " + message.origine.value_or("-") +
                             cadre(message.cadrePrincipal));
    }
    ReponseDialogueScript dialogueScript(const DialogueScript& d) override {
        static const char* const genres[] = {"alerte", "confirmation", "saisie"};
        evenements.push_back(std::string("dialogue ") + genres[static_cast<int>(d.genre)] + " " + d.message + " [" +
                             d.texteInitial + "]");
        // Confirms "oui?", answers the prompt "q1" with "réponse", cancels any other prompt.
        ReponseDialogueScript r;
        r.ok = d.message == "oui?" || d.message == "q1";
        if (d.message == "q1") r.texte = "réponse";
        return r;
    }
    std::vector<std::filesystem::path> fichiersDemandes(bool plusieurs) override {
        evenements.push_back(std::string("fichiers ") + (plusieurs ? "plusieurs" : "un"));
        return {};
    }
    bool mediaDemande(const DemandeMedia& d) override {
        evenements.push_back(std::string("media") + (d.camera ? " camera" : "") + (d.micro ? " micro" : "") + " " +
                             d.url.value_or("-"));
        return false;
    }
    void telechargementCommence(IdTelechargement id, const std::optional<std::string>& url) override {
        evenements.push_back("telechargement " + std::to_string(id) + " commence " + url.value_or("-"));
    }
    void destinationTelechargement(IdTelechargement id, const std::string& nomPropose,
                                   std::function<void(std::optional<std::filesystem::path>)> repondre) override {
        evenements.push_back("telechargement " + std::to_string(id) + " destination " + nomPropose);
        if (destination) destination(id, std::move(repondre));
    }
    void telechargementTermine(IdTelechargement id) override {
        evenements.push_back("telechargement " + std::to_string(id) + " termine");
    }
    void telechargementEchoue(IdTelechargement id, const ErreurTransport& erreur, bool annule) override {
        evenements.push_back("telechargement " + std::to_string(id) + " echec " + erreur.domaine + " " +
                             std::to_string(erreur.code) + (annule ? " annule" : ""));
    }
};

// One web view in a window, its store in a temporary folder.
class Vue {
public:
    explicit Vue(const std::filesystem::path& racine)
        : web(VueWebWebKit::Dossiers{racine / "donnees", racine / "cache"}, std::string(AGENT_UTILISATEUR)) {
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

// A test's own folder, removed only when the program ends: the engine closes a session after
// its view is gone, and removing its folder meanwhile has crashed the network process.
class DossierDuTest {
public:
    DossierDuTest() {
        static essais::DossierTemporaire racine;
        static int numero = 0;
        chemin_ = racine.chemin() / std::to_string(++numero);
        std::filesystem::create_directories(chemin_);
    }
    const std::filesystem::path& chemin() const { return chemin_; }

private:
    std::filesystem::path chemin_;
};

// What the listener hears of one page the view loads by itself, from its decision to its end.
std::vector<std::string> evenementsDUnePage(const std::string& page) {
    return {"navigation GET autre " + page + " principal",
            "reponse 200 text/html GET [-] principal affichable " + page, "engagee", "termine"};
}

class VueWebWebKitTest : public ::testing::Test {
protected:
    DossierDuTest dossier;
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
    EXPECT_EQ(vue.web.titre(), "Ovrel");
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

// The web processes of this program, children of bubblewrap or not.
std::set<int> processusWeb() {
    std::set<int> trouves;
    std::map<int, int> peres;
    std::set<int> web;
    for (const auto& entree : std::filesystem::directory_iterator("/proc")) {
        const std::string nom = entree.path().filename();
        if (nom.empty() || !std::all_of(nom.begin(), nom.end(), ::isdigit)) continue;
        std::ifstream stat(entree.path() / "stat");
        std::string ligne;
        if (!std::getline(stat, ligne)) continue;
        // pid (comm) state ppid …: the command may hold spaces, the last ')' ends it.
        const auto fin = ligne.rfind(')');
        const auto debut = ligne.find('(');
        if (fin == std::string::npos || debut == std::string::npos) continue;
        std::istringstream reste(ligne.substr(fin + 2));
        char etat = 0;
        int pere = 0;
        reste >> etat >> pere;
        const int pid = std::stoi(nom);
        peres[pid] = pere;
        if (ligne.compare(debut + 1, fin - debut - 1, "WebKitWebProces") == 0) web.insert(pid);
    }
    for (int pid : web) {
        for (int p = pid; p > 1 && peres.count(p); p = peres[p]) {
            if (p == getpid()) {
                trouves.insert(pid);
                break;
            }
        }
    }
    return trouves;
}

TEST_F(VueWebWebKitTest, PreparerDemarreLeProcessusDesPagesSansRienCharger) {
    Vue vue(dossier.chemin());
    Ecouteur ecouteur;
    vue.web.definirEcouteur(&ecouteur);
    essais::laisserTourner(200ms);
    const std::set<int> avant = processusWeb();

    vue.web.preparer();
    const auto nouveau = [&] {
        for (int pid : processusWeb())
            if (!avant.count(pid)) return true;
        return false;
    };
    ASSERT_TRUE(attendre(nouveau, 20s));
    essais::laisserTourner(300ms);
    EXPECT_TRUE(ecouteur.evenements.empty());
    EXPECT_EQ(vue.chargementsTermines, 0);
    EXPECT_EQ(vue.web.urlCourante(), std::nullopt);
    EXPECT_EQ(serveur.requetes, 0);

    // The first page then loads as it always does, and is the only one of the history.
    const std::string page = serveur.url("/page");
    ASSERT_TRUE(vue.chargerEtAttendre(page));
    EXPECT_EQ(ecouteur.evenements, evenementsDUnePage(page));
    EXPECT_EQ(vue.evaluer("history.length").valeur, "1");

    // Prepared or loaded already: nothing more.
    ecouteur.evenements.clear();
    const std::set<int> apres = processusWeb();
    vue.web.preparer();
    essais::laisserTourner(300ms);
    EXPECT_TRUE(ecouteur.evenements.empty());
    EXPECT_EQ(vue.web.urlCourante(), page);
    for (int pid : processusWeb()) EXPECT_TRUE(apres.count(pid)) << pid;
}

TEST_F(VueWebWebKitTest, UnChargementTropLongEstArreteAuBoutDuDelai) {
    Vue vue(dossier.chemin());
    const int avant = vue.chargementsTermines;
    const auto debut = std::chrono::steady_clock::now();
    Ecouteur ecouteur;
    vue.web.definirEcouteur(&ecouteur);
    // On a fresh machine the web process is still starting when the time-out fires.
    vue.web.charger(serveur.url("/jamais"), 400ms);
    ASSERT_TRUE(attendre([&] { return vue.chargementsTermines > avant; }, 10s));
    EXPECT_GE(std::chrono::steady_clock::now() - debut, 400ms);
    EXPECT_TRUE(vue.web.delaiDepasse());
    EXPECT_EQ(ecouteur.commencantPar("echec"),
              std::vector<std::string>{"echec g-io-error-quark 24 avant " + serveur.url("/jamais")});
    EXPECT_FALSE(ecouteur.a("termine"));

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

TEST_F(VueWebWebKitTest, LEcouteurEntendChaqueChargementEtDecideDesNavigations) {
    Vue vue(dossier.chemin());
    Ecouteur ecouteur;
    vue.web.definirEcouteur(&ecouteur);
    const std::string page = serveur.url("/page");
    ASSERT_TRUE(vue.chargerEtAttendre(page));
    EXPECT_EQ(ecouteur.evenements, evenementsDUnePage(page));

    // A cancelled navigation loads nothing, and its time-out has nothing left to stop.
    ecouteur.evenements.clear();
    ecouteur.navigation = [](const ActionNavigation& action) {
        return action.url->find("annulee") != std::string::npos ? DecisionNavigation::annuler
                                                               : DecisionNavigation::autoriser;
    };
    const int requetes = serveur.requetes;
    vue.web.charger(serveur.url("/page?annulee"), 300ms);
    ASSERT_TRUE(attendre([&] { return !ecouteur.evenements.empty(); }));
    // Nothing comes to wait for: give the time-out time to go wrong.
    essais::laisserTourner(700ms);
    EXPECT_EQ(ecouteur.evenements,
              std::vector<std::string>{"navigation GET autre " + serveur.url("/page?annulee") + " principal"});
    EXPECT_FALSE(vue.web.delaiDepasse());
    EXPECT_EQ(serveur.requetes, requetes);
    EXPECT_EQ(vue.web.urlCourante(), page);

    // The view's own reload is the main frame's.
    ecouteur.evenements.clear();
    vue.web.recharger();
    ASSERT_TRUE(attendre([&] { return ecouteur.a("termine"); }));
    EXPECT_EQ(ecouteur.commencantPar("navigation"),
              std::vector<std::string>{"navigation GET rechargement " + page + " principal"});

    // A refused connection fails before any commit, and its end is no finished page.
    std::string ferme;
    {
        Serveur arrete;
        ferme = arrete.url("/");
    }
    ecouteur.evenements.clear();
    ASSERT_TRUE(vue.chargerEtAttendre(ferme));
    EXPECT_EQ(ecouteur.evenements, (std::vector<std::string>{"navigation GET autre " + ferme + " principal",
                                                             "echec g-io-error-quark 39 avant " + ferme}));
}

TEST_F(VueWebWebKitTest, UneReponseTelechargeeVaOuLEcouteurLeDit) {
    Vue vue(dossier.chemin());
    Ecouteur ecouteur;
    vue.web.definirEcouteur(&ecouteur);
    ecouteur.reponse = [](const ReponseNavigation& reponse) {
        return reponse.dispositionContenu ? DecisionNavigation::telecharger : DecisionNavigation::autoriser;
    };
    // The first download is refused at once; the second is answered later, with a file.
    std::function<void(std::optional<std::filesystem::path>)> repondreEnsuite;
    ecouteur.destination = [&](IdTelechargement id, auto repondre) {
        if (id == 1) repondre(std::nullopt);
        else repondreEnsuite = std::move(repondre);
    };
    const std::string url = serveur.url("/fichier");
    vue.web.charger(url);
    ASSERT_TRUE(attendre([&] { return ecouteur.a("telechargement 1 echec WebKitDownloadError 400 annule"); }));
    EXPECT_TRUE(ecouteur.a("reponse 200 application/octet-stream GET [attachment; filename=\"rapport.bin\"] "
                           "principal non-affichable " + url));
    // The view stays on its page: its load ends as a response that was not shown.
    EXPECT_TRUE(ecouteur.a("echec WebKitPolicyError 102 avant " + url));

    vue.web.charger(url);
    ASSERT_TRUE(attendre([&] { return static_cast<bool>(repondreEnsuite); }));
    const auto fichier = dossier.chemin() / "recu.bin";
    repondreEnsuite(fichier);
    ASSERT_TRUE(attendre([&] { return ecouteur.a("telechargement 2 termine"); }));
    EXPECT_EQ(ecouteur.commencantPar("telechargement"), (std::vector<std::string>{
                                                            "telechargement 1 commence " + url,
                                                            "telechargement 1 destination rapport.bin",
                                                            "telechargement 1 echec WebKitDownloadError 400 annule",
                                                            "telechargement 2 commence " + url,
                                                            "telechargement 2 destination rapport.bin",
                                                            "telechargement 2 termine",
                                                        }));
    std::ifstream lu(fichier, std::ios::binary);
    std::stringstream contenu;
    contenu << lu.rdbuf();
    EXPECT_EQ(contenu.str(), CONTENU_FICHIER);
    EXPECT_FALSE(ecouteur.a("termine"));
}

TEST_F(VueWebWebKitTest, FenetresEtMessagesDesPagesVontALEcouteur) {
    Vue vue(dossier.chemin());
    Ecouteur ecouteur;
    vue.web.definirEcouteur(&ecouteur);
    vue.web.ecouterMessages("ovrel");
    vue.web.ecouterMessages("ovrel");
    const std::string page = serveur.url("/page");
    ASSERT_TRUE(vue.chargerEtAttendre(page));
    ecouteur.evenements.clear();

    // No second view: the page's window.open gets null.
    EXPECT_EQ(vue.evaluer("String(window.open('/page?ouverte'))").valeur, "null");
    EXPECT_EQ(vue.evaluer("const a = document.createElement('a'); a.href = '/page?cible'; a.target = '_blank';"
                          "document.body.append(a); a.click(); 0")
                  .valeur,
              "0");
    EXPECT_EQ(vue.evaluer("window.webkit.messageHandlers.ovrel.postMessage({texte: 'été', nombre: 2}); 0").valeur, "0");
    ASSERT_TRUE(attendre([&] { return ecouteur.commencantPar("message").size() == 1; }));
    EXPECT_EQ(ecouteur.evenements, (std::vector<std::string>{
                                       "fenetre " + serveur.url("/page?ouverte"),
                                       "navigation GET lien " + serveur.url("/page?cible") + " nouvelle-fenetre principal",
                                       "fenetre " + serveur.url("/page?cible"),
                                       "message ovrel {\"texte\":\"été\",\"nombre\":2} " + origine(page) + " principal",
                                   }));
    EXPECT_EQ(vue.web.urlCourante(), page);

    // The page's own dialogs are the listener's, and their answers reach the page: a
    // confirmation, a prompt answered, a prompt cancelled (null, not "").
    ecouteur.evenements.clear();
    EXPECT_EQ(vue.evaluer("alert('a'); [confirm('oui?'), confirm('non?'), prompt('q1', 'd'), prompt('q2')].join('|')")
                  .valeur,
              "true|false|réponse|");
    EXPECT_EQ(vue.evaluer("String(prompt('q2'))").valeur, "null");
    EXPECT_EQ(ecouteur.evenements, (std::vector<std::string>{
                                       "dialogue alerte a []",
                                       "dialogue confirmation oui? []",
                                       "dialogue confirmation non? []",
                                       "dialogue saisie q1 [d]",
                                       "dialogue saisie q2 []",
                                       "dialogue saisie q2 []",
                                   }));
}

TEST_F(VueWebWebKitTest, UnCertificatRefuseEstSoumisALEcouteur) {
    // Two servers with certificates of their own, unknown to the engine.
    std::vector<std::unique_ptr<Serveur>> securises;
    for (const char* domaine : {"accepte.localhost", "refuse.localhost"}) {
        simulateur::Certificat certificat;
        std::string erreur;
        ASSERT_TRUE(simulateur::certificatAutoSigne(domaine, certificat, erreur)) << erreur;
        securises.push_back(std::make_unique<Serveur>(certificat.tls));
        g_object_unref(certificat.tls);
    }
    const auto refus = [](const std::string& domaine, const std::string& url) {
        return "certificat 127.0.0.1 [CN=*.box." + domaine + ",O=Ovrel (simulateur)] " +
               std::to_string(G_TLS_CERTIFICATE_UNKNOWN_CA) + " " + url;
    };
    Vue vue(dossier.chemin());
    Ecouteur ecouteur;
    vue.web.definirEcouteur(&ecouteur);

    // Accepted: the view loads the page again, with that certificate.
    ecouteur.accepterCertificat = true;
    const std::string page = securises[0]->url("/page");
    vue.web.charger(page);
    ASSERT_TRUE(attendre([&] { return ecouteur.a("termine"); }));
    EXPECT_EQ(ecouteur.evenements, (std::vector<std::string>{
                                       "navigation GET autre " + page + " principal",
                                       refus("accepte.localhost", page),
                                       "navigation GET autre " + page + " principal",
                                       "reponse 200 text/html GET [-] principal affichable " + page,
                                       "engagee",
                                       "termine",
                                   }));
    EXPECT_EQ(vue.web.urlCourante(), page);

    // Refused: the load fails with the engine's TLS error. On a view of its own: a view's load
    // that follows one with a certificate error is sometimes cancelled by the engine (G_IO_ERROR
    // 19) before any certificate is looked at.
    Vue autreVue(dossier.chemin() / "autre");
    Ecouteur refusant;
    autreVue.web.definirEcouteur(&refusant);
    const std::string autre = securises[1]->url("/page");
    ASSERT_TRUE(autreVue.chargerEtAttendre(autre));
    EXPECT_EQ(refusant.evenements, (std::vector<std::string>{"navigation GET autre " + autre + " principal",
                                                             refus("refuse.localhost", autre),
                                                             "echec g-tls-error-quark 2 avant " + autre}));
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
        vue.web.imprimer("Fiche", [&](bool) { appele = true; });
    }
    essais::laisserTourner(500ms);
    EXPECT_FALSE(appele);
}


TEST_F(VueWebWebKitTest, LeCadreDUneNavigationVientDuClicOuDuFormulaire) {
    const std::string sousCadre = serveur.urlAutreOrigine("/sous-cadre");
    serveur.pages["/cadres"] =
        "<!doctype html><title>Cadres</title><a id='lien' href='/page?haut'>haut</a>"
        "<form id='formulaire' action='/cadres'><input name='q' value='1'></form><iframe src='" + sousCadre +
        "'></iframe><script>window.prets = []; addEventListener('message', (e) => prets.push(e.data));</script>";
    // In another origin, a link to its own frame.
    serveur.pages["/sous-cadre"] =
        "<!doctype html><a id='dedans' href='/sous-cadre?dedans'>dedans</a>"
        "<script>addEventListener('message', (e) => {"
        "  if (e.data === 'lien') document.getElementById('dedans').click(); });"
        "parent.postMessage('pret' + location.search, '*');</script>";
    Vue vue(dossier.chemin());
    Ecouteur ecouteur;
    vue.web.definirEcouteur(&ecouteur);
    const std::string cadres = serveur.url("/cadres");
    ASSERT_TRUE(vue.chargerEtAttendre(cadres));
    const auto pret = [&](const std::string& quoi) {
        return attendre([&] { return vue.evaluer("String(window.prets)").valeur == quoi; });
    };
    ASSERT_TRUE(pret("pret"));

    // A link followed inside the iframe navigates the iframe.
    vue.evaluer("document.querySelector('iframe').contentWindow.postMessage('lien', '*'); 0");
    ASSERT_TRUE(pret("pret,pret?dedans"));
    // A form of the top frame, to the form's query.
    vue.evaluer("document.getElementById('formulaire').requestSubmit(); 0");
    ASSERT_TRUE(attendre([&] { return vue.web.urlCourante() == serveur.url("/cadres?q=1"); }));
    ASSERT_TRUE(pret("pret"));
    // A link of the top frame.
    vue.evaluer("document.getElementById('lien').click(); 0");
    ASSERT_TRUE(attendre([&] { return vue.web.urlCourante() == serveur.url("/page?haut"); }));

    EXPECT_EQ(ecouteur.commencantPar("navigation"),
              (std::vector<std::string>{
                  "navigation GET autre " + cadres + " principal",
                  // An iframe's own load: the view cannot tell.
                  "navigation GET autre " + sousCadre,
                  "navigation GET lien " + sousCadre + "?dedans sous-cadre",
                  "navigation GET formulaire " + serveur.url("/cadres?q=1") + " principal",
                  "navigation GET autre " + sousCadre,
                  "navigation GET lien " + serveur.url("/page?haut") + " principal",
              }));
}

TEST_F(VueWebWebKitTest, SeulLeCadrePrincipalParleAuxGestionnaires) {
    serveur.pages["/messages"] =
        "<!doctype html><title>Messages</title><iframe src='" + serveur.urlAutreOrigine("/etranger") +
        "'></iframe><script>window.retours = [];"
        "addEventListener('message', (e) => { if (e.data && e.data.retour) retours.push(e.data.retour); });</script>";
    // A foreign iframe tries a handler of its own and the bridge's tag; and prints.
    serveur.pages["/etranger"] =
        std::string("<!doctype html><meta charset='utf-8'><script>addEventListener('message', (e) => {"
                    "  if (e.data !== 'forger') return;"
                    "  const essais = [];"
                    "  try { window.webkit.messageHandlers.ovrel.postMessage('cadre'); essais.push('webkit'); }"
                    "  catch (x) { essais.push('sans webkit'); }"
                    "  top.postMessage({'") +
        VueWebWebKit::ETIQUETTE_MESSAGES +
        "': true, nom: 'ovrel', corps: '\"forgé\"'}, '*');"
        "  print();"
        "  top.postMessage({retour: essais.join(', ')}, '*'); });</script>";
    Vue vue(dossier.chemin());
    Ecouteur ecouteur;
    vue.web.definirEcouteur(&ecouteur);
    vue.web.ecouterMessages("ovrel");
    vue.web.ecouterMessages("ovrelImprimer");
    // The application's own way of printing a page.
    vue.web.ajouterScript("window.print = () => window.webkit.messageHandlers.ovrelImprimer.postMessage(null);");
    // A print dialog would be the engine's own, for the iframe's print().
    essais::RepondeurImpression garde(std::nullopt);
    const std::string page = serveur.url("/messages");
    ASSERT_TRUE(vue.chargerEtAttendre(page));

    vue.evaluer("window.webkit.messageHandlers.ovrel.postMessage({texte: 'été', liste: [1, undefined]}); print(); 0");
    vue.evaluer("document.querySelector('iframe').contentWindow.postMessage('forger', '*'); 0");
    ASSERT_TRUE(attendre([&] { return vue.evaluer("String(window.retours)").valeur == "sans webkit"; }));
    // What the iframe posted came before this.
    vue.evaluer("window.webkit.messageHandlers.ovrel.postMessage('fin'); 0");
    ASSERT_TRUE(attendre([&] { return ecouteur.commencantPar("message").size() >= 3; }));
    const std::string origineHaut = origine(page);
    EXPECT_EQ(ecouteur.commencantPar("message"),
              (std::vector<std::string>{
                  "message ovrel {\"texte\":\"été\",\"liste\":[1,null]} " + origineHaut + " principal",
                  "message ovrelImprimer null " + origineHaut + " principal",
                  "message ovrel \"fin\" " + origineHaut + " principal",
              }));
    EXPECT_EQ(garde.dialogues, 0);
}

TEST_F(VueWebWebKitTest, ImpressionParLeDialogueDuSysteme) {
    Vue vue(dossier.chemin());
    Ecouteur ecouteur;
    vue.web.definirEcouteur(&ecouteur);
    ASSERT_TRUE(vue.chargerEtAttendre(serveur.url("/page")));
    const auto pdf = dossier.chemin() / "fiche.pdf";
    std::vector<bool> fins;
    {
        essais::RepondeurImpression repondeur(pdf);
        vue.web.imprimer("Fiche 1", [&](bool reussie) { fins.push_back(reussie); });
        // The dialog opens once the call has returned.
        EXPECT_EQ(repondeur.dialogues, 0);
        ASSERT_TRUE(attendre([&] { return !fins.empty(); }, 60s));
        EXPECT_EQ(repondeur.dialogues, 1);
        EXPECT_TRUE(repondeur.modal);
        EXPECT_EQ(repondeur.parent, vue.fenetre.gobj());
        EXPECT_EQ(repondeur.fichierPropose, pdf);
    }
    EXPECT_EQ(fins, std::vector<bool>{true});
    std::ifstream lu(pdf, std::ios::binary);
    std::string debut(4, '\0');
    lu.read(debut.data(), 4);
    EXPECT_EQ(debut, "%PDF");

    // The next dialog proposes the printer and the folder chosen, with this job's title as the
    // file's name; cancelled, it prints nothing.
    essais::RepondeurImpression annulation(std::nullopt);
    vue.web.imprimer("Fiche 2", [&](bool reussie) { fins.push_back(reussie); });
    ASSERT_TRUE(attendre([&] { return fins.size() == 2; }, 60s));
    EXPECT_EQ(fins, (std::vector<bool>{true, false}));
    EXPECT_EQ(annulation.fichierPropose, dossier.chemin() / "Fiche 2.pdf");
    essais::laisserTourner(300ms);
    EXPECT_EQ(fins.size(), 2u);
    EXPECT_FALSE(std::filesystem::exists(dossier.chemin() / "Fiche 2.pdf"));
}

TEST_F(VueWebWebKitTest, LeDialogueFermeParEchapNImprimePas) {
    Vue vue(dossier.chemin());
    ASSERT_TRUE(vue.chargerEtAttendre(serveur.url("/page")));
    essais::RepondeurImpression echap(std::nullopt, true);
    echap.fermer = true;
    std::vector<bool> fins;
    vue.web.imprimer("Fiche", [&](bool reussie) { fins.push_back(reussie); });
    ASSERT_TRUE(attendre([&] { return !fins.empty(); }, 60s));
    EXPECT_EQ(echap.dialogues, 1);
    EXPECT_EQ(fins, std::vector<bool>{false});
    // Closed, the dialog is gone, not left hidden among the application's windows.
    GListModel* fenetres = gtk_window_get_toplevels();
    for (guint i = 0; i < g_list_model_get_n_items(fenetres); ++i) {
        RefG<GObject> fenetre = RefG<GObject>::adopter(static_cast<GObject*>(g_list_model_get_item(fenetres, i)));
        EXPECT_FALSE(GTK_IS_PRINT_UNIX_DIALOG(fenetre.get()));
    }
}

TEST_F(VueWebWebKitTest, LeMicroDemandeParUnePageVaALEcouteur) {
    Vue vue(dossier.chemin());
    // Stand-in devices, before the view's first load: enabled later, they crash the web process.
    webkit_settings_set_enable_mock_capture_devices(webkit_web_view_get_settings(vue.web.vue()), TRUE);
    Ecouteur ecouteur;
    vue.web.definirEcouteur(&ecouteur);
    const std::string page = serveur.url("/page");
    ASSERT_TRUE(vue.chargerEtAttendre(page));
    vue.evaluer("window.micro = 'attente'; navigator.mediaDevices.getUserMedia({audio: true})"
                ".then(() => { window.micro = 'accordé'; }, (e) => { window.micro = e.name; }); 0");
    // The listener refuses: the page's promise is rejected.
    ASSERT_TRUE(attendre([&] { return vue.evaluer("window.micro").valeur != "attente"; }));
    EXPECT_EQ(vue.evaluer("window.micro").valeur, "NotAllowedError");
    EXPECT_EQ(ecouteur.commencantPar("media"), std::vector<std::string>{"media micro " + page});
}

}  // namespace
}  // namespace ovrel
