#include "connexion/habilitation.h"

#include "plateforme/preferences_memoire.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace ovrel;

namespace {

// 2023-12-05 13:03:30 UTC.
constexpr double MAINTENANT = 1701781410.0;

// Counts the batches written, to see that the three keys travel together.
class PreferencesEspion final : public Preferences {
public:
    std::optional<ValeurPreference> lire(std::string_view cle) const override { return memoire.lire(cle); }
    bool ecrire(const std::vector<Modification>& modifications) override {
        lots.push_back(modifications);
        return memoire.ecrire(modifications);
    }
    PreferencesMemoire memoire;
    std::vector<std::vector<Modification>> lots;
};

struct HabilitationTest : ::testing::Test {
    PreferencesMemoire prefs;
    HorlogeManuelle horloge{instantDepuis1970(MAINTENANT)};
};

}  // namespace

TEST_F(HabilitationTest, EnregistrerPuisRelire) {
    Habilitation::enregistrer(prefs, "jeton-1", MAINTENANT + 7 * 86400, "Dupont Domotique");
    EXPECT_EQ(Habilitation::jeton(prefs), "jeton-1");
    EXPECT_EQ(Habilitation::expire(prefs), instantDepuis1970(MAINTENANT + 7 * 86400));
    EXPECT_EQ(Habilitation::organisation(prefs), "Dupont Domotique");
    EXPECT_EQ(prefs.nombre("jeton_local_exp"), MAINTENANT + 7 * 86400);
    EXPECT_TRUE(Habilitation::valide(prefs, horloge));
}

TEST_F(HabilitationTest, RienDEnregistre) {
    EXPECT_EQ(Habilitation::jeton(prefs), std::nullopt);
    EXPECT_EQ(Habilitation::expire(prefs), instantDepuis1970(0));
    EXPECT_EQ(Habilitation::organisation(prefs), "");
    EXPECT_FALSE(Habilitation::valide(prefs, horloge));
}

TEST_F(HabilitationTest, ExpirationStrictementPosterieure) {
    Habilitation::enregistrer(prefs, "j", MAINTENANT, "");
    EXPECT_FALSE(Habilitation::valide(prefs, horloge));
    Habilitation::enregistrer(prefs, "j", MAINTENANT + 1, "");
    EXPECT_TRUE(Habilitation::valide(prefs, horloge));
    horloge.avancer(std::chrono::milliseconds(999));
    EXPECT_TRUE(Habilitation::valide(prefs, horloge));
    horloge.avancer(std::chrono::milliseconds(1));
    EXPECT_FALSE(Habilitation::valide(prefs, horloge));
}

TEST_F(HabilitationTest, JetonVideValideMaisJetonDAutreTypeNon) {
    Habilitation::enregistrer(prefs, "", MAINTENANT + 60, "");
    EXPECT_EQ(Habilitation::jeton(prefs), "");
    EXPECT_TRUE(Habilitation::valide(prefs, horloge));
    prefs.ecrireNombre("jeton_local", 12.0);
    EXPECT_EQ(Habilitation::jeton(prefs), std::nullopt);
    EXPECT_FALSE(Habilitation::valide(prefs, horloge));
    prefs.ecrireTexte("jeton_local", "j");
    prefs.ecrireTexte("jeton_local_exp", "9999999999");
    EXPECT_FALSE(Habilitation::valide(prefs, horloge));
}

TEST(HabilitationLots, TroisClesEcritesEtEffaceesEnUnSeulLot) {
    PreferencesEspion prefs;
    prefs.memoire.ecrireTexte("parc_cache", "[]");
    Habilitation::enregistrer(prefs, "j", 5.0, "Org");
    ASSERT_EQ(prefs.lots.size(), 1u);
    EXPECT_EQ(prefs.lots[0].size(), 3u);
    Habilitation::effacer(prefs);
    ASSERT_EQ(prefs.lots.size(), 2u);
    EXPECT_EQ(prefs.lots[1].size(), 3u);
    EXPECT_FALSE(prefs.memoire.contient("jeton_local"));
    EXPECT_FALSE(prefs.memoire.contient("jeton_local_exp"));
    EXPECT_FALSE(prefs.memoire.contient("jeton_local_org"));
    EXPECT_TRUE(prefs.memoire.contient("parc_cache"));
}

TEST_F(HabilitationTest, LigneDEtatValide) {
    Habilitation::enregistrer(prefs, "j", MAINTENANT + 120, "Dupont Domotique");
    EXPECT_EQ(texteHabilitation(prefs, horloge, "Europe/Paris"),
              "Dupont Domotique — accès local valable jusqu'au 05/12 à 14:05");
    Habilitation::enregistrer(prefs, "j", MAINTENANT + 120, "");
    EXPECT_EQ(texteHabilitation(prefs, horloge, "UTC"),
              "Habilitation locale — accès local valable jusqu'au 05/12 à 13:05");
    // Summer time, and seconds rounded down rather than to the nearest minute.
    horloge.regler(instantDepuis1970(1688000000.0));  // 2023-06-29 00:53:20 UTC
    Habilitation::enregistrer(prefs, "j", 1688000000.0 + 59.9, "");
    EXPECT_EQ(texteHabilitation(prefs, horloge, "Europe/Paris"),
              "Habilitation locale — accès local valable jusqu'au 29/06 à 02:54");
    EXPECT_EQ(texteHabilitation(prefs, horloge, "Zone/Inconnue"),
              "Habilitation locale — accès local valable jusqu'au 29/06 à 00:54");
}

TEST_F(HabilitationTest, LigneDEtatExpiree) {
    EXPECT_EQ(texteHabilitation(prefs, horloge, "UTC"), "Habilitation locale expirée — reconnectez-vous.");
    Habilitation::enregistrer(prefs, "j", MAINTENANT, "Dupont Domotique");
    EXPECT_EQ(texteHabilitation(prefs, horloge, "UTC"), "Habilitation locale expirée — reconnectez-vous.");
    EXPECT_EQ(texteHabilitation(prefs, horloge), "Habilitation locale expirée — reconnectez-vous.");
}

TEST_F(HabilitationTest, LigneDEtatDansLeFuseauLocal) {
    const char* avant = std::getenv("TZ");
    const std::optional<std::string> sauve = avant ? std::optional<std::string>(avant) : std::nullopt;
    setenv("TZ", "Asia/Tokyo", 1);
    Habilitation::enregistrer(prefs, "j", MAINTENANT + 120, "");
    EXPECT_EQ(texteHabilitation(prefs, horloge), "Habilitation locale — accès local valable jusqu'au 05/12 à 22:05");
    if (sauve) setenv("TZ", sauve->c_str(), 1); else unsetenv("TZ");
}

TEST_F(HabilitationTest, ExpirationHorsDesDatesRepresentables) {
    Habilitation::enregistrer(prefs, "j", 1e300, "Org");
    EXPECT_TRUE(Habilitation::valide(prefs, horloge));
    EXPECT_EQ(texteHabilitation(prefs, horloge, "Pacific/Kiritimati"),
              "Org — accès local valable jusqu'au 30/12 à 14:00");
    Habilitation::enregistrer(prefs, "j", -1e300, "Org");
    EXPECT_FALSE(Habilitation::valide(prefs, horloge));
}
