// The real application binary under an X display, with its own XDG folders and its own session
// bus: the window appears with its title and the sign-in screen (captured for a look), quitting
// or closing the window saves the window's size, a later launch restores it, a second launch
// hands over to the first instance, and the sign-in goes through the default browser and comes
// back through a second launch with the application's address.
#include "app/gtk/geometrie_fenetre.h"
#include "plateforme/preferences_sqlite.h"
#include "tests/gtk/navigateur_essai.h"
#include "tests/gtk/outils_gtk.h"

#include "tests/gtk/fermeture_x11.h"

#include <gio/gio.h>
#include <gtest/gtest.h>
#include <libsoup/soup.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

#ifndef OVREL_BINAIRE
#error "OVREL_BINAIRE: chemin de ovrel-studio"
#endif
#ifndef OVREL_CAPTURES
#error "OVREL_CAPTURES: dossier des captures d'écran"
#endif

namespace ovrel {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// A command's standard output, or absent when it could not run or failed.
std::optional<std::string> sortieDe(const std::vector<std::string>& commande) {
    std::vector<char*> arguments;
    for (const auto& argument : commande) arguments.push_back(const_cast<char*>(argument.c_str()));
    arguments.push_back(nullptr);
    gchar* sortie = nullptr;
    gint statut = 0;
    GError* erreur = nullptr;
    const bool lance = g_spawn_sync(nullptr, arguments.data(), nullptr, static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_STDERR_TO_DEV_NULL),
                                    nullptr, nullptr, &sortie, nullptr, &statut, &erreur);
    std::string texte = sortie ? sortie : "";
    g_free(sortie);
    if (erreur) g_error_free(erreur);
    if (!lance || !g_spawn_check_wait_status(statut, nullptr)) return std::nullopt;
    return texte;
}

// The visible top-level windows titled exactly "Ovrel Studio".
std::vector<std::string> fenetresOvrel() {
    std::vector<std::string> fenetres;
    auto sortie = sortieDe({"xdotool", "search", "--onlyvisible", "--name", "^Ovrel Studio$"});
    if (!sortie) return fenetres;
    std::istringstream lignes(*sortie);
    for (std::string ligne; std::getline(lignes, ligne);)
        if (!ligne.empty()) fenetres.push_back(ligne);
    return fenetres;
}

std::optional<std::string> attendreFenetre(std::chrono::seconds delai = 40s) {
    const auto fin = std::chrono::steady_clock::now() + delai;
    while (std::chrono::steady_clock::now() < fin) {
        auto fenetres = fenetresOvrel();
        if (!fenetres.empty()) return fenetres.front();
        std::this_thread::sleep_for(200ms);
    }
    return std::nullopt;
}

struct Taille {
    int largeur = 0;
    int hauteur = 0;
    bool operator==(const Taille&) const = default;
};
std::ostream& operator<<(std::ostream& flux, const Taille& taille) {
    return flux << taille.largeur << "×" << taille.hauteur;
}

std::optional<Taille> tailleDe(const std::string& fenetre) {
    auto sortie = sortieDe({"xwininfo", "-id", fenetre});
    if (!sortie) return std::nullopt;
    std::smatch largeur, hauteur;
    if (!std::regex_search(*sortie, largeur, std::regex(R"(Width:\s+(\d+))")) ||
        !std::regex_search(*sortie, hauteur, std::regex(R"(Height:\s+(\d+))")))
        return std::nullopt;
    return Taille{std::stoi(largeur[1]), std::stoi(hauteur[1])};
}

// Pixels of a region of a PNG file (8-bit RGB), read through ImageMagick's text output.
struct Pixel {
    int r, v, b;
};
std::vector<Pixel> pixels(const fs::path& image, int x, int y, int largeur, int hauteur) {
    std::vector<Pixel> resultat;
    const std::string region = std::to_string(largeur) + "x" + std::to_string(hauteur) + "+" + std::to_string(x) +
                               "+" + std::to_string(y);
    auto sortie = sortieDe({"convert", image.string(), "-crop", region, "+repage", "-depth", "8", "txt:-"});
    if (!sortie) return resultat;
    std::regex motif(R"(^\d+,\d+: \((\d+),(\d+),(\d+))");
    std::istringstream lignes(*sortie);
    for (std::string ligne; std::getline(lignes, ligne);) {
        std::smatch m;
        if (std::regex_search(ligne, m, motif)) resultat.push_back({std::stoi(m[1]), std::stoi(m[2]), std::stoi(m[3])});
    }
    return resultat;
}

bool proche(const Pixel& pixel, int r, int v, int b, int ecart) {
    return std::abs(pixel.r - r) <= ecart && std::abs(pixel.v - v) <= ecart && std::abs(pixel.b - b) <= ecart;
}

// One run of the binary with the test's environment; killed if the test leaves it running.
class Processus {
public:
    Processus(const std::vector<std::string>& arguments, char** environnement) {
        std::vector<char*> argv;
        for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        GError* erreur = nullptr;
        if (!g_spawn_async(nullptr, argv.data(), environnement, G_SPAWN_DO_NOT_REAP_CHILD, nullptr, nullptr, &pid_,
                           &erreur)) {
            ADD_FAILURE() << (erreur ? erreur->message : "lancement impossible");
            pid_ = 0;
        }
        if (erreur) g_error_free(erreur);
    }
    ~Processus() {
        if (pid_ > 0 && !statut_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    Processus(const Processus&) = delete;
    Processus& operator=(const Processus&) = delete;

    // The exit status once the process has ended, absent when it still runs after `delai`.
    std::optional<int> attendreFin(std::chrono::milliseconds delai) {
        const auto fin = std::chrono::steady_clock::now() + delai;
        while (pid_ > 0 && !statut_) {
            int statut = 0;
            if (waitpid(pid_, &statut, WNOHANG) == pid_) {
                statut_ = WIFEXITED(statut) ? WEXITSTATUS(statut) : 128 + WTERMSIG(statut);
                break;
            }
            if (std::chrono::steady_clock::now() >= fin) break;
            std::this_thread::sleep_for(50ms);
        }
        return statut_;
    }
    bool enCours() { return pid_ > 0 && !attendreFin(0ms); }

private:
    GPid pid_ = 0;
    std::optional<int> statut_;
};

// A stand-in cloud on the loopback, served from a thread of its own (the test's thread only
// sleeps and polls): every page answers 200 with a small HTML page, and every path asked for is
// recorded with its query.
class NuageEssai {
public:
    NuageEssai() : contexte_(g_main_context_new()), boucle_(g_main_loop_new(contexte_, FALSE)) {
        g_main_context_push_thread_default(contexte_);
        serveur_ = soup_server_new(nullptr, nullptr);
        soup_server_add_handler(serveur_, nullptr, servir, this, nullptr);
        GError* erreur = nullptr;
        if (soup_server_listen_local(serveur_, 0, SOUP_SERVER_LISTEN_IPV4_ONLY, &erreur)) {
            GSList* uris = soup_server_get_uris(serveur_);
            if (uris) port_ = g_uri_get_port(static_cast<GUri*>(uris->data));
            g_slist_free_full(uris, reinterpret_cast<GDestroyNotify>(g_uri_unref));
        } else {
            ADD_FAILURE() << erreur->message;
            g_error_free(erreur);
        }
        g_main_context_pop_thread_default(contexte_);
        fil_ = std::thread([this] {
            g_main_context_push_thread_default(contexte_);
            g_main_loop_run(boucle_);
            g_main_context_pop_thread_default(contexte_);
        });
    }
    ~NuageEssai() {
        g_main_loop_quit(boucle_);
        fil_.join();
        soup_server_disconnect(serveur_);
        g_object_unref(serveur_);
        g_main_loop_unref(boucle_);
        g_main_context_unref(contexte_);
    }
    NuageEssai(const NuageEssai&) = delete;
    NuageEssai& operator=(const NuageEssai&) = delete;

    // "localhost": the web view shows only allowed hosts, and 127.0.0.1 is a site outside them.
    std::string base() const { return "http://localhost:" + std::to_string(port_); }

    // Whether this path (with its query) was asked for within `delai`.
    bool attendre(const std::string& demande, std::chrono::milliseconds delai) {
        const auto fin = std::chrono::steady_clock::now() + delai;
        while (true) {
            {
                std::lock_guard verrou(mutex_);
                if (std::find(demandes_.begin(), demandes_.end(), demande) != demandes_.end()) return true;
            }
            if (std::chrono::steady_clock::now() >= fin) return false;
            std::this_thread::sleep_for(50ms);
        }
    }

private:
    static void servir(SoupServer*, SoupServerMessage* message, const char* chemin, GHashTable*, gpointer donnees) {
        auto* soi = static_cast<NuageEssai*>(donnees);
        const char* requete = g_uri_get_query(soup_server_message_get_uri(message));
        {
            std::lock_guard verrou(soi->mutex_);
            soi->demandes_.push_back(std::string(chemin) + (requete ? std::string("?") + requete : ""));
        }
        static const char page[] = "<!doctype html><title>Ovrel</title><p>Studio</p>";
        soup_server_message_set_status(message, 200, nullptr);
        soup_server_message_set_response(message, "text/html", SOUP_MEMORY_STATIC, page, std::strlen(page));
    }

    GMainContext* contexte_;
    GMainLoop* boucle_;
    SoupServer* serveur_ = nullptr;
    int port_ = 0;
    std::thread fil_;
    std::mutex mutex_;
    std::vector<std::string> demandes_;
};

class ApplicationTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // A private session bus: the single-instance rule of the application is then only
        // between the runs of this test, never with an instance of the person running it.
        // Starting it clears the display variables too: the display itself is kept.
        std::vector<std::pair<std::string, std::string>> affichage;
        for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY"})
            if (const char* valeur = g_getenv(variable)) affichage.emplace_back(variable, valeur);
        bus_ = g_test_dbus_new(G_TEST_DBUS_NONE);
        g_test_dbus_up(bus_);
        for (const auto& [variable, valeur] : affichage) g_setenv(variable.c_str(), valeur.c_str(), TRUE);
    }
    static void TearDownTestSuite() {
        g_test_dbus_down(bus_);
        g_object_unref(bus_);
        bus_ = nullptr;
    }

    void SetUp() override {
        environnement_ = g_get_environ();
        for (const auto& [variable, dossier] : {std::pair{"XDG_CONFIG_HOME", "config"},
                                                std::pair{"XDG_DATA_HOME", "donnees"},
                                                std::pair{"XDG_CACHE_HOME", "cache"}})
            environnement_ = g_environ_setenv(environnement_, variable, (racine.chemin() / dossier).c_str(), TRUE);
        environnement_ = g_environ_setenv(environnement_, "GSK_RENDERER", "cairo", FALSE);
        environnement_ = g_environ_setenv(environnement_, "GTK_A11Y", "none", FALSE);
        environnement_ = g_environ_setenv(environnement_, "NO_AT_BRIDGE", "1", FALSE);
        // The cloud of a test build is out of reach: the launch routing stays on sign-in.
        environnement_ = g_environ_unsetenv(environnement_, "OVREL_STUDIO_URL");
    }
    void TearDown() override { g_strfreev(environnement_); }

    std::unique_ptr<Processus> lancer(std::vector<std::string> arguments = {}) {
        arguments.insert(arguments.begin(), OVREL_BINAIRE);
        return std::make_unique<Processus>(arguments, environnement_);
    }
    fs::path fichierPreferences() const { return racine.chemin() / "config" / "ovrel-studio" / "preferences.sqlite"; }

    // Ctrl+Q typed on the window, as a person would (the pointer over it gives it the keyboard).
    static void quitterAuClavier(const std::string& fenetre) {
        sortieDe({"xdotool", "mousemove", "--window", fenetre, "200", "200"});
        sortieDe({"xdotool", "key", "--clearmodifiers", "ctrl+q"});
    }

    essais::DossierTemporaire racine;
    char** environnement_ = nullptr;
    static GTestDBus* bus_;
};
GTestDBus* ApplicationTest::bus_ = nullptr;

TEST_F(ApplicationTest, EcranDeConnexionPuisQuitterEnregistreLaTaille) {
    auto application = lancer();
    auto fenetre = attendreFenetre();
    ASSERT_TRUE(fenetre) << "aucune fenêtre « Ovrel Studio »";
    EXPECT_EQ(tailleDe(*fenetre), (Taille{1440, 920}));

    // Let the first frames be drawn, then keep a picture of the sign-in screen.
    std::this_thread::sleep_for(1500ms);
    const fs::path capture = fs::path(OVREL_CAPTURES) / "connexion.png";
    fs::create_directories(capture.parent_path());
    fs::remove(capture);
    ASSERT_TRUE(sortieDe({"import", "-window", *fenetre, capture.string()}));
    ASSERT_TRUE(fs::exists(capture));

    // The identity's dark background fills the screen below the menu bar…
    auto fond = pixels(capture, 20, 860, 40, 40);
    ASSERT_FALSE(fond.empty());
    for (const auto& pixel : fond) ASSERT_TRUE(proche(pixel, 21, 18, 16, 3)) << pixel.r << "," << pixel.v << "," << pixel.b;
    // …and the gold "O V R E L" stands in the upper middle.
    int dores = 0;
    for (const auto& pixel : pixels(capture, 420, 150, 600, 300)) dores += proche(pixel, 216, 171, 106, 12) ? 1 : 0;
    EXPECT_GT(dores, 200);

    quitterAuClavier(*fenetre);
    EXPECT_EQ(application->attendreFin(20s), 0);

    auto preferences = PreferencesSqlite::ouvrir(fichierPreferences());
    ASSERT_TRUE(preferences);
    EXPECT_EQ(lireGeometrieFenetre(*preferences), (GeometrieFenetre{1440, 920, false}));
}

TEST_F(ApplicationTest, TailleRestaureeEtSecondLancementVersLaPremiereInstance) {
    {
        auto preferences = PreferencesSqlite::ouvrir(fichierPreferences());
        ASSERT_TRUE(preferences);
        ASSERT_TRUE(enregistrerGeometrieFenetre(*preferences, {1234, 777, false}));
    }
    auto premiere = lancer();
    auto fenetre = attendreFenetre();
    ASSERT_TRUE(fenetre);
    EXPECT_EQ(tailleDe(*fenetre), (Taille{1234, 777}));

    // A second launch (as the desktop does for an application link) hands over and ends. The
    // link means nothing to the application ("connexion" would start a sign-in).
    auto seconde = lancer({"ovrelstudio://essai?code=essai"});
    EXPECT_EQ(seconde->attendreFin(20s), 0);
    EXPECT_TRUE(premiere->enCours());
    EXPECT_EQ(fenetresOvrel().size(), 1u);

    // Resized by hand, then closed: closing the one window quits, and the new size is what
    // the next launch finds.
    ASSERT_TRUE(sortieDe({"xdotool", "windowsize", *fenetre, "1300", "800"}));
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(tailleDe(*fenetre), (Taille{1300, 800}));
    ASSERT_TRUE(essais::fermerCommeLeGestionnaire(*fenetre));
    EXPECT_EQ(premiere->attendreFin(20s), 0);

    auto preferences = PreferencesSqlite::ouvrir(fichierPreferences());
    ASSERT_TRUE(preferences);
    EXPECT_EQ(lireGeometrieFenetre(*preferences), (GeometrieFenetre{1300, 800, false}));
}

TEST_F(ApplicationTest, ConnexionDansLeNavigateurPuisRetourParUnSecondLancement) {
    NuageEssai nuage;
    environnement_ = g_environ_setenv(environnement_, "OVREL_STUDIO_URL", (nuage.base() + "/studio").c_str(), TRUE);
    essais::NavigateurEssai navigateur(racine.chemin() / "donnees", racine.chemin() / "config");

    auto application = lancer();
    auto fenetre = attendreFenetre();
    ASSERT_TRUE(fenetre);
    std::this_thread::sleep_for(1000ms);

    // Return on the sign-in screen is its button: the cloud answers its probe, and the sign-in
    // page opens in the default browser with a fresh state.
    sortieDe({"xdotool", "mousemove", "--window", *fenetre, "200", "200"});
    sortieDe({"xdotool", "key", "--clearmodifiers", "Return"});
    const auto ouvertes = navigateur.attendre(1, 20s);
    ASSERT_EQ(ouvertes.size(), 1u);
    const std::string debut = nuage.base() + "/studio/app/connexion?etat=";
    ASSERT_EQ(ouvertes[0].rfind(debut, 0), 0u) << ouvertes[0];
    const std::string etat = ouvertes[0].substr(debut.size());
    EXPECT_EQ(etat.size(), 43u);
    EXPECT_TRUE(nuage.attendre("/sante", 0ms));

    // The browser comes back through the application's scheme: the desktop starts the program
    // with that address, which hands it to the running instance and ends; the instance loads
    // the session page in its web view.
    const std::string jeton = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJ-_01";
    auto retour = lancer({"ovrelstudio://session?etat=" + etat + "&jeton=" + jeton});
    EXPECT_EQ(retour->attendreFin(20s), 0);
    EXPECT_TRUE(nuage.attendre("/studio/app/session?jeton=" + jeton, 40s));
    EXPECT_TRUE(application->enCours());
    EXPECT_EQ(fenetresOvrel().size(), 1u);

    ASSERT_TRUE(essais::fermerCommeLeGestionnaire(*fenetre));
    EXPECT_EQ(application->attendreFin(20s), 0);
}

}  // namespace
}  // namespace ovrel
