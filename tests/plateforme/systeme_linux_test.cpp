// The desktop adapter: environment, system log, browser and file manager (the latter on a private
// session bus with a stand-in file manager).
#include "plateforme/glib/systeme_linux.h"

#include "boucle_glib.h"

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

using namespace ovrel;
using namespace std::chrono_literals;

namespace {

TEST(SystemeLinux, EnvironnementDistingueAbsentEtVide) {
    SystemeLinux systeme;
    ::setenv("OVREL_ESSAI_VARIABLE", "/chantier/projet", 1);
    EXPECT_EQ(systeme.environnement("OVREL_ESSAI_VARIABLE"), "/chantier/projet");
    ::setenv("OVREL_ESSAI_VARIABLE", "", 1);
    EXPECT_EQ(systeme.environnement("OVREL_ESSAI_VARIABLE"), "");
    ::unsetenv("OVREL_ESSAI_VARIABLE");
    EXPECT_FALSE(systeme.environnement("OVREL_ESSAI_VARIABLE"));
}

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

TEST(SystemeLinux, OuvrirDansLeNavigateurNeSeBloqueNiNePlante) {
    SystemeLinux systeme;
    // No desktop handles this scheme anywhere.
    EXPECT_FALSE(systeme.ouvrirDansLeNavigateur("ovrel-essai-sans-gestionnaire://rien"));
    // With or without a browser on this machine: an answer, not a crash.
    const bool ouvert = systeme.ouvrirDansLeNavigateur("https://studio.ovrel.example/");
    (void)ouvert;
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
    // Without a file manager on the bus the folder is opened instead; whatever the desktop
    // has for folders, the call returns and nothing breaks.
    essai::tournerPendant(50ms);
    SystemeLinux systeme;
    systeme.reveler("/tmp/atelier/Fiche.pdf");
    essai::tournerPendant(200ms);
    g_test_dbus_stop(bus);
    g_object_unref(bus);
}

}  // namespace
