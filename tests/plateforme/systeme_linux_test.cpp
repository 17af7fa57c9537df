// The desktop adapter: system log, browser and folders through GIO's handling of desktop entries
// (a stand-in browser and a stand-in folder viewer, the defaults in this program's own XDG
// folders, so that nothing of the machine's desktop is ever started), and the file manager on a
// private session bus with a stand-in file manager.
#include "plateforme/glib/systeme_linux.h"

#include "boucle_glib.h"
#include "tests/gtk/navigateur_essai.h"

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <sys/stat.h>

using namespace ovrel;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// This process's desktop: a stand-in browser for http and https, a scheme whose handler cannot
// start, and a stand-in folder viewer that writes each folder it is given to a file. GLib reads
// the XDG folders once per process, so they are set before any test runs.
class BureauDEssai : public ::testing::Environment {
public:
    void SetUp() override {
        gchar* dossier = g_dir_make_tmp("ovrel-systeme-XXXXXX", nullptr);
        ASSERT_NE(dossier, nullptr);
        racine = dossier;
        g_free(dossier);
        for (const char* sous : {"donnees", "config", "systeme-donnees", "systeme-config", "montre"})
            fs::create_directories(racine / sous);
        ::setenv("XDG_DATA_HOME", (racine / "donnees").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (racine / "config").c_str(), 1);
        ::setenv("XDG_DATA_DIRS", (racine / "systeme-donnees").c_str(), 1);
        ::setenv("XDG_CONFIG_DIRS", (racine / "systeme-config").c_str(), 1);
        ::unsetenv("GIO_USE_PORTALS");
        navigateur = std::make_unique<essais::NavigateurEssai>(
            racine / "donnees", racine / "config",
            std::vector<std::pair<std::string, std::string>>{{"essai-casse", (racine / "absent").string()}});

        journalDossiers = racine / "dossiers-essai.txt";
        const fs::path programme = racine / "donnees" / "dossiers-essai.sh";
        std::ofstream(programme) << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << journalDossiers.string() << "'\n";
        ::chmod(programme.c_str(), 0755);
        std::ofstream(racine / "donnees" / "applications" / "dossiers-essai.desktop")
            << "[Desktop Entry]\nType=Application\nName=dossiers-essai\nExec=" << programme.string()
            << " %u\nMimeType=inode/directory;\n";
        std::ofstream(racine / "config" / "mimeapps.list", std::ios::app)
            << "inode/directory=dossiers-essai.desktop\n";
    }
    void TearDown() override {
        navigateur.reset();
        std::error_code ignoree;
        fs::remove_all(racine, ignoree);
    }

    // The folders the stand-in viewer was given so far, after waiting for `nombre` of them.
    std::vector<std::string> dossiersMontres(std::size_t nombre, std::chrono::milliseconds delai) const {
        const auto fin = std::chrono::steady_clock::now() + delai;
        std::vector<std::string> lignes;
        for (;;) {
            lignes.clear();
            std::ifstream f(journalDossiers);
            for (std::string ligne; std::getline(f, ligne);)
                if (!ligne.empty()) lignes.push_back(ligne);
            if (lignes.size() >= nombre || std::chrono::steady_clock::now() >= fin) return lignes;
            essai::tournerPendant(50ms);
        }
    }

    fs::path racine;
    fs::path journalDossiers;
    std::unique_ptr<essais::NavigateurEssai> navigateur;
};

BureauDEssai* const bureau =
    static_cast<BureauDEssai*>(::testing::AddGlobalTestEnvironment(new BureauDEssai));

TEST(SystemeLinux, JournalEcritUneSeuleLigneParAppel) {
    SystemeLinux systeme;
    ::testing::internal::CaptureStderr();
    systeme.journal("OVREL NAV → https://studio.ovrel.example/parc");
    systeme.journal("OVREL ESSAI: avant\r\nOVREL FAUX: injecté");
    const std::string sortie = ::testing::internal::GetCapturedStderr();
    std::vector<std::string> lignes;
    std::size_t debut = 0;
    for (std::size_t fin; (fin = sortie.find('\n', debut)) != std::string::npos; debut = fin + 1)
        lignes.push_back(sortie.substr(debut, fin - debut));
    ASSERT_EQ(lignes.size(), 2u) << sortie;
    EXPECT_EQ(lignes[0].rfind("ovrel-studio[", 0), 0u) << lignes[0];
    EXPECT_NE(lignes[0].find("]: OVREL NAV → https://studio.ovrel.example/parc"), std::string::npos);
    EXPECT_NE(lignes[1].find("]: OVREL ESSAI: avant  OVREL FAUX: injecté"), std::string::npos) << lignes[1];
}

TEST(SystemeLinux, LeNavigateurParDefautRecoitLAdresseEtLEchecSeDit) {
    SystemeLinux systeme;
    const std::size_t avant = bureau->navigateur->ouvertes().size();
    const std::string page = "https://studio.ovrel.example/studio/app/parc?tri=nom&sens=desc";
    EXPECT_TRUE(systeme.ouvrirDansLeNavigateur(page));
    const auto ouvertes = bureau->navigateur->attendre(avant + 1, 10s);
    ASSERT_EQ(ouvertes.size(), avant + 1);
    EXPECT_EQ(ouvertes.back(), page);

    // No handler for the scheme, or a handler that cannot start: false, and the browser was
    // given nothing more.
    EXPECT_FALSE(systeme.ouvrirDansLeNavigateur("ovrel-essai-sans-gestionnaire://rien"));
    EXPECT_FALSE(systeme.ouvrirDansLeNavigateur("essai-casse://page"));
    EXPECT_EQ(bureau->navigateur->attendre(avant + 2, 300ms).size(), avant + 1);
}

// A stand-in file manager on a private session bus, recording what it is asked to show.
class GestionnaireDeFichiers {
public:
    GestionnaireDeFichiers() {
        GError* erreur = nullptr;
        bus_ = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &erreur);
        if (!bus_) {
            ADD_FAILURE() << erreur->message;
            g_error_free(erreur);
            return;
        }
        GDBusNodeInfo* info = g_dbus_node_info_new_for_xml(
            "<node><interface name='org.freedesktop.FileManager1'>"
            "<method name='ShowItems'><arg type='as' direction='in'/><arg type='s' direction='in'/></method>"
            "</interface></node>",
            nullptr);
        static const GDBusInterfaceVTable table = {appel, nullptr, nullptr, {}};
        objet_ = g_dbus_connection_register_object(bus_, "/org/freedesktop/FileManager1", info->interfaces[0],
                                                   &table, this, nullptr, nullptr);
        g_dbus_node_info_unref(info);
        nom_ = g_bus_own_name_on_connection(bus_, "org.freedesktop.FileManager1", G_BUS_NAME_OWNER_FLAGS_NONE,
                                            [](GDBusConnection*, const gchar*, gpointer d) {
                                                static_cast<GestionnaireDeFichiers*>(d)->pret_ = true;
                                            },
                                            nullptr, this, nullptr);
    }
    ~GestionnaireDeFichiers() {
        if (nom_) g_bus_unown_name(nom_);
        if (objet_) g_dbus_connection_unregister_object(bus_, objet_);
        if (bus_) g_object_unref(bus_);
    }
    GestionnaireDeFichiers(const GestionnaireDeFichiers&) = delete;
    GestionnaireDeFichiers& operator=(const GestionnaireDeFichiers&) = delete;

    bool pret() const { return pret_; }
    const std::vector<std::vector<std::string>>& demandes() const { return demandes_; }

private:
    static void appel(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* methode,
                      GVariant* parametres, GDBusMethodInvocation* invocation, gpointer d) {
        auto* soi = static_cast<GestionnaireDeFichiers*>(d);
        if (std::string(methode) == "ShowItems") {
            const gchar** uris = nullptr;
            const gchar* demarrage = nullptr;
            g_variant_get(parametres, "(^a&s&s)", &uris, &demarrage);
            std::vector<std::string> liste;
            for (const gchar** u = uris; u && *u; ++u) liste.emplace_back(*u);
            g_free(uris);
            soi->demandes_.push_back(liste);
        }
        g_dbus_method_invocation_return_value(invocation, nullptr);
    }

    GDBusConnection* bus_ = nullptr;
    guint objet_ = 0;
    guint nom_ = 0;
    bool pret_ = false;
    std::vector<std::vector<std::string>> demandes_;
};

TEST(SystemeLinux, RevelerDemandeAuGestionnaireDeFichiersDeMontrerLeFichier) {
    gchar* daemon = g_find_program_in_path("dbus-daemon");
    if (!daemon) GTEST_SKIP() << "dbus-daemon absent";
    g_free(daemon);
    // A private session bus for this process only; never the desktop's.
    GTestDBus* bus = g_test_dbus_new(G_TEST_DBUS_NONE);
    g_test_dbus_up(bus);
    {
        GestionnaireDeFichiers gestionnaire;
        ASSERT_TRUE(essai::tournerJusqua([&] { return gestionnaire.pret(); }, 5s));
        SystemeLinux systeme;
        systeme.reveler("/tmp/atelier/Fiche étiquette.pdf");
        ASSERT_TRUE(essai::tournerJusqua([&] { return gestionnaire.demandes().size() == 1; }, 5s));
        EXPECT_EQ(gestionnaire.demandes()[0],
                  (std::vector<std::string>{"file:///tmp/atelier/Fiche%20%C3%A9tiquette.pdf"}));

        // A relative name is shown where it really is.
        systeme.reveler("livret.pdf");
        ASSERT_TRUE(essai::tournerJusqua([&] { return gestionnaire.demandes().size() == 2; }, 5s));
        gchar* attendu = g_filename_to_uri((std::filesystem::current_path() / "livret.pdf").c_str(), nullptr, nullptr);
        EXPECT_EQ(gestionnaire.demandes()[1], (std::vector<std::string>{attendu}));
        g_free(attendu);
    }
    // Without a file manager on the bus, the folder that holds the file is opened instead.
    const fs::path dossier = bureau->racine / "montre";
    SystemeLinux systeme;
    systeme.reveler(dossier / "Fiche.pdf");
    const auto montres = bureau->dossiersMontres(1, 10s);
    g_test_dbus_stop(bus);
    g_object_unref(bus);
    ASSERT_EQ(montres.size(), 1u);
    // GIO hands a local folder to a program as its path.
    EXPECT_EQ(montres[0], dossier.string());
}

}  // namespace
