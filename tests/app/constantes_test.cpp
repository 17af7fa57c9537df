#include "app/constantes.h"

#include <gtest/gtest.h>

using namespace ovrel;

TEST(Constantes, AdressesDeriveesDuStudioParDefaut) {
    const std::string studio = urlStudioDepuis(std::nullopt);
    EXPECT_EQ(studio, "https://studio." + std::string(DOMAINE_CLOUD) + "/studio");
    EXPECT_EQ(baseCloudDepuis(studio), "https://studio." + std::string(DOMAINE_CLOUD));
}

TEST(Constantes, SuffixeStudioRetireUneSeuleFoisEtSansBarreFinale) {
    EXPECT_EQ(baseCloudDepuis("https://x.org/studio/"), "https://x.org/studio/");
    EXPECT_EQ(baseCloudDepuis("https://x.org/app"), "https://x.org/app");
    EXPECT_EQ(baseCloudDepuis("https://x.org/studio/studio"), "https://x.org/studio");
    EXPECT_EQ(baseCloudDepuis(""), "");
    EXPECT_EQ(urlStudioDepuis(std::string(" https://x.org/studio ")), " https://x.org/studio ");
}

TEST(Constantes, CanalEtHotes) {
    EXPECT_EQ(CANAL_MAJ(), "https://www." + std::string(DOMAINE_CLOUD) + "/studio/maj/linux-natif.json");
    EXPECT_EQ(SUFFIXE_BOX(), ".box." + std::string(DOMAINE_CLOUD));
    EXPECT_EQ(HOTE_CONNEXION(), "auth." + std::string(DOMAINE_CLOUD));
    EXPECT_EQ(URL_PORTAIL(), "https://portail." + std::string(DOMAINE_CLOUD));
    EXPECT_EQ(SCHEMA_APP, "ovrelstudio");
    EXPECT_EQ(VERSION_APP, "0.6.2");
    EXPECT_TRUE(AGENT_UTILISATEUR.ends_with(" OvrelStudio/0.6.2"));
}

TEST(Constantes, Couleurs) {
    EXPECT_EQ(FOND_OVREL, (Couleur{0.082, 0.071, 0.063, 1.0}));
    EXPECT_EQ(OR_OVREL, (Couleur{0.847, 0.671, 0.416, 1.0}));
    EXPECT_EQ(TEXTE_MUET, (Couleur{0.94, 0.94, 0.94, 0.55}));
}

TEST(SerieNormalisee, MajusculesSansTiretsNiEspaces) {
    EXPECT_EQ(serieNormalisee("ab-12 cd"), "AB12CD");
    EXPECT_EQ(serieNormalisee("AB12CD"), "AB12CD");
    EXPECT_EQ(serieNormalisee("ab\t12"), "AB\t12");  // only U+0020 is removed
    EXPECT_EQ(serieNormalisee("straße-é"), "STRASSEÉ");  // full Unicode upper-casing
    EXPECT_EQ(serieNormalisee(" - -"), "");
    EXPECT_EQ(serieNormalisee("ab\xff"), "AB\xff");  // not UTF-8: ASCII only
}
