// The choice of the toolkit's drawing before GTK starts: OpenGL off on a machine without a
// graphics device, unless the user chose otherwise.
#include "app/gtk/rendu.h"
#include "tests/gtk/outils_gtk.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace ovrel {
namespace {

namespace fs = std::filesystem;

class DossierDri : public ::testing::Test {
protected:
    void creer(const char* nom) { std::ofstream(dossier / nom).put('\n'); }
    essais::DossierTemporaire temporaire;
    const fs::path dossier = temporaire.chemin();
};

TEST_F(DossierDri, SeulUnNoeudDeRenduCompte) {
    EXPECT_FALSE(noeudDeRenduPresent(dossier));
    // A display controller alone gives no OpenGL of its own.
    creer("card0");
    EXPECT_FALSE(noeudDeRenduPresent(dossier));
    creer("renderD128");
    EXPECT_TRUE(noeudDeRenduPresent(dossier));
}

TEST_F(DossierDri, UnDossierAbsentNeDonneAucunNoeud) {
    EXPECT_FALSE(noeudDeRenduPresent(dossier / "absent"));
}

TEST(Rendu, SansNoeudOpenGLEstCoupe) {
    EXPECT_EQ(debogageGdkPourLeRendu(false, nullptr, nullptr), "gl-disable");
    // Empty variables are no choice.
    EXPECT_EQ(debogageGdkPourLeRendu(false, "", ""), "gl-disable");
    // The software renderer asked for is the one GTK takes without OpenGL.
    EXPECT_EQ(debogageGdkPourLeRendu(false, nullptr, "cairo"), "gl-disable");
}

TEST(Rendu, UnNoeudOuUnChoixDeLUtilisateurLaissentGtkFaire) {
    EXPECT_EQ(debogageGdkPourLeRendu(true, nullptr, nullptr), std::nullopt);
    EXPECT_EQ(debogageGdkPourLeRendu(false, "gl-glx", nullptr), std::nullopt);
    EXPECT_EQ(debogageGdkPourLeRendu(false, nullptr, "gl"), std::nullopt);
    EXPECT_EQ(debogageGdkPourLeRendu(false, nullptr, "ngl"), std::nullopt);
}

}  // namespace
}  // namespace ovrel
