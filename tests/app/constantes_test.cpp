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

TEST(Constantes, LesHotesEtLeCanalSontDuDomaineDuCloud) {
    const std::string domaine(DOMAINE_CLOUD);
    EXPECT_EQ(CANAL_MAJ(), "https://www." + domaine + "/studio/maj/linux-natif.json");
    EXPECT_EQ(SUFFIXE_BOX(), ".box." + domaine);
    EXPECT_EQ(HOTE_CONNEXION(), "auth." + domaine);
    EXPECT_EQ(URL_PORTAIL(), "https://portail." + domaine);
}

// The user agent the cloud reads carries the version the build declares.
TEST(Constantes, LAgentPorteLaVersionDeLaConstruction) {
    EXPECT_TRUE(AGENT_UTILISATEUR.ends_with(" OvrelStudio/" + std::string(VERSION_APP)))
        << AGENT_UTILISATEUR;
}

TEST(SerieNormalisee, MajusculesSansTiretsNiEspaces) {
    EXPECT_EQ(serieNormalisee("ab-12 cd"), "AB12CD");
    EXPECT_EQ(serieNormalisee("AB12CD"), "AB12CD");
    EXPECT_EQ(serieNormalisee("ab\t12"), "AB\t12");  // only U+0020 is removed
    EXPECT_EQ(serieNormalisee("straße-é"), "STRASSEÉ");  // full Unicode upper-casing
    EXPECT_EQ(serieNormalisee(" - -"), "");
    EXPECT_EQ(serieNormalisee("ab\xff"), "AB\xff");  // not UTF-8: ASCII only
}
