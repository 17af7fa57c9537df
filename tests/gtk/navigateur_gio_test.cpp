// The default-browser adapter against GIO's real handling of desktop entries: a stand-in browser,
// the default handler of http and https in this program's own XDG folders, receives the pages;
// returns through the application's scheme complete the sign-in that waits for them.
#include "plateforme/glib/navigateur_gio.h"
#include "tests/gtk/navigateur_essai.h"
#include "tests/plateforme/boucle_glib.h"

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace ovrel;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

struct Fin {
    int fois = 0;
    std::optional<std::string> url;
    std::optional<ErreurTransport> erreur;
};

NavigateurConnexion::Completion noter(const std::shared_ptr<Fin>& fin) {
    return [fin](std::optional<std::string> url, std::optional<ErreurTransport> erreur) {
        ++fin->fois;
        fin->url = std::move(url);
        fin->erreur = std::move(erreur);
    };
}

const std::string PAGE = "https://studio.ovrel.example/studio/app/connexion?etat=AbC-_9";
const std::string RETOUR = "ovrelstudio://session?etat=AbC-_9&jeton=abcdefghijklmnopqrstuvwxyzABCDEFGHIJ-_01";

class NavigateurGioTest : public ::testing::Test {
protected:
    // GLib reads the XDG folders once per process: they are set before the first test uses GIO.
    static void SetUpTestSuite() {
        gchar* dossier = g_dir_make_tmp("ovrel-navigateur-XXXXXX", nullptr);
        ASSERT_NE(dossier, nullptr);
        racine_ = new fs::path(dossier);
        g_free(dossier);
        for (const char* sous : {"donnees", "config", "systeme-donnees", "systeme-config"})
            fs::create_directories(*racine_ / sous);
        // Nothing of the machine's own desktop: only the stand-ins below handle anything.
        ::setenv("XDG_DATA_HOME", (*racine_ / "donnees").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (*racine_ / "config").c_str(), 1);
        ::setenv("XDG_DATA_DIRS", (*racine_ / "systeme-donnees").c_str(), 1);
        ::setenv("XDG_CONFIG_DIRS", (*racine_ / "systeme-config").c_str(), 1);
        ::unsetenv("GIO_USE_PORTALS");
        navigateur_ = new essais::NavigateurEssai(*racine_ / "donnees", *racine_ / "config",
                                                  {{"essai-casse", (*racine_ / "dossier-absent").string()}});
    }
    static void TearDownTestSuite() {
        delete navigateur_;
        navigateur_ = nullptr;
        std::error_code ignoree;
        fs::remove_all(*racine_, ignoree);
        delete racine_;
        racine_ = nullptr;
    }

    // Runs the main loop until the stand-in browser was given `nombre` addresses in all. The
    // browser is another process: its file is looked at between short turns of the loop.
    static std::vector<std::string> ouvertesApres(std::size_t nombre) {
        const auto fin = std::chrono::steady_clock::now() + 10s;
        while (navigateur_->ouvertes().size() < nombre && std::chrono::steady_clock::now() < fin)
            essai::tournerPendant(20ms);
        return navigateur_->ouvertes();
    }

    NavigateurGio adaptateur;
    static fs::path* racine_;
    static essais::NavigateurEssai* navigateur_;
};
fs::path* NavigateurGioTest::racine_ = nullptr;
essais::NavigateurEssai* NavigateurGioTest::navigateur_ = nullptr;

TEST_F(NavigateurGioTest, LaPageDeConnexionSOuvreEtLeRetourTermineLaSession) {
    const std::size_t avant = navigateur_->ouvertes().size();
    auto fin = std::make_shared<Fin>();
    auto session = adaptateur.creer(PAGE, std::string("ovrelstudio"), noter(fin));
    ASSERT_TRUE(session->demarrer());
    EXPECT_FALSE(session->demarrer());
    const auto ouvertes = ouvertesApres(avant + 1);
    ASSERT_EQ(ouvertes.size(), avant + 1);
    EXPECT_EQ(ouvertes.back(), PAGE);

    // A sign-in waits for its return, however long the browser stays open.
    essai::tournerPendant(200ms);
    EXPECT_EQ(fin->fois, 0);

    // Only an address of the scheme it waits for; the scheme compares without letter case.
    EXPECT_FALSE(adaptateur.recevoirRetour("https://studio.ovrel.example/session"));
    const std::string retour = "OVRELSTUDIO://SESSION?etat=AbC-_9&jeton=abcdefghijklmnopqrstuvwxyzABCDEFGHIJ-_01";
    ASSERT_TRUE(adaptateur.recevoirRetour(retour));
    // Delivered from the main loop, not from inside the hand-over.
    EXPECT_EQ(fin->fois, 0);
    ASSERT_TRUE(essai::tournerJusqua([&] { return fin->fois > 0; }, 5s));
    essai::tournerPendant(50ms);
    EXPECT_EQ(fin->fois, 1);
    EXPECT_EQ(fin->url, retour);
    EXPECT_FALSE(fin->erreur);

    // Nobody waits any more: a second return is someone else's.
    EXPECT_FALSE(adaptateur.recevoirRetour(RETOUR));
}

TEST_F(NavigateurGioTest, LaPageDeDeconnexionSeTermineDesQuElleEstOuverte) {
    const std::size_t avant = navigateur_->ouvertes().size();
    auto fin = std::make_shared<Fin>();
    auto session = adaptateur.creer("https://ovrel.example/deconnexion?app=studio", std::nullopt, noter(fin));
    ASSERT_TRUE(session->demarrer());
    ASSERT_TRUE(essai::tournerJusqua([&] { return fin->fois > 0; }, 10s));
    EXPECT_EQ(fin->fois, 1);
    EXPECT_FALSE(fin->url);
    EXPECT_FALSE(fin->erreur);
    const auto ouvertes = ouvertesApres(avant + 1);
    ASSERT_EQ(ouvertes.size(), avant + 1);
    EXPECT_EQ(ouvertes.back(), "https://ovrel.example/deconnexion?app=studio");
    // It waits for nothing.
    EXPECT_FALSE(adaptateur.recevoirRetour(RETOUR));
}

TEST_F(NavigateurGioTest, SansApplicationPourLAdresseDemarrerRepondFaux) {
    auto fin = std::make_shared<Fin>();
    auto session = adaptateur.creer("ovrel-sans-gestionnaire://page", std::string("ovrelstudio"), noter(fin));
    EXPECT_FALSE(session->demarrer());
    EXPECT_FALSE(adaptateur.recevoirRetour(RETOUR));
    essai::tournerPendant(100ms);
    EXPECT_EQ(fin->fois, 0);
}

TEST_F(NavigateurGioTest, UnLancementQuiEchoueTermineLaSessionAvecSonErreur) {
    auto fin = std::make_shared<Fin>();
    auto session = adaptateur.creer("essai-casse://page", std::string("ovrelstudio"), noter(fin));
    ASSERT_TRUE(session->demarrer());
    ASSERT_TRUE(essai::tournerJusqua([&] { return fin->fois > 0; }, 10s));
    EXPECT_EQ(fin->fois, 1);
    EXPECT_FALSE(fin->url);
    ASSERT_TRUE(fin->erreur);
    // The browser's program could not start in its folder: the spawn error, domain and code.
    EXPECT_EQ(fin->erreur->domaine, "g-exec-error-quark");
    EXPECT_EQ(fin->erreur->code, G_SPAWN_ERROR_CHDIR);
    // The failed sign-in takes no return.
    EXPECT_FALSE(adaptateur.recevoirRetour(RETOUR));
}

TEST_F(NavigateurGioTest, UneSessionAbandonneeOuRemplaceeNeRecoitRien) {
    const std::size_t avant = navigateur_->ouvertes().size();
    auto premiere = std::make_shared<Fin>();
    auto seconde = std::make_shared<Fin>();
    auto a = adaptateur.creer(PAGE, std::string("ovrelstudio"), noter(premiere));
    auto b = adaptateur.creer(PAGE + "2", std::string("ovrelstudio"), noter(seconde));
    ASSERT_TRUE(a->demarrer());
    ASSERT_TRUE(b->demarrer());
    ouvertesApres(avant + 2);

    // The later sign-in takes the return; the one it replaced never completes.
    ASSERT_TRUE(adaptateur.recevoirRetour(RETOUR));
    essai::tournerJusqua([&] { return seconde->fois > 0; }, 5s);
    EXPECT_EQ(seconde->fois, 1);
    EXPECT_EQ(premiere->fois, 0);

    // A dropped sign-in neither takes a return nor completes, even when dropped while its
    // completion is on its way.
    auto troisieme = std::make_shared<Fin>();
    auto c = adaptateur.creer(PAGE + "3", std::string("ovrelstudio"), noter(troisieme));
    ASSERT_TRUE(c->demarrer());
    ASSERT_TRUE(adaptateur.recevoirRetour(RETOUR));
    c->annuler();
    auto quatrieme = std::make_shared<Fin>();
    {
        auto d = adaptateur.creer(PAGE + "4", std::string("ovrelstudio"), noter(quatrieme));
        ASSERT_TRUE(d->demarrer());
    }
    // Nobody holds the fourth any more.
    EXPECT_FALSE(adaptateur.recevoirRetour(RETOUR));
    essai::tournerPendant(300ms);
    EXPECT_EQ(troisieme->fois, 0);
    EXPECT_EQ(quatrieme->fois, 0);
}

}  // namespace
