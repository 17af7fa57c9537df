#include "sante/memoire_parc.h"

#include "plateforme/preferences_memoire.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>

using namespace ovrel;
using namespace std::chrono;

namespace {
// A store that records every batch, and can be told to refuse writing.
class PreferencesEspion final : public Preferences {
public:
    std::optional<ValeurPreference> lire(std::string_view cle) const override { return memoire.lire(cle); }
    bool ecrire(const std::vector<Modification>& modifications) override {
        lots.push_back(modifications);
        if (enPanne) return false;
        return memoire.ecrire(modifications);
    }
    PreferencesMemoire memoire;
    std::vector<std::vector<Modification>> lots;
    bool enPanne = false;
};

std::vector<std::string> cles(const std::vector<Modification>& lot) {
    std::vector<std::string> r;
    for (const auto& m : lot) r.push_back(m.cle);
    return r;
}
}  // namespace

TEST(MemoireParc, EnregistreRelitEtDateLesOctetsTelsQuels) {
    PreferencesMemoire preferences;
    EXPECT_EQ(MemoireParc::relire(preferences), std::nullopt);
    EXPECT_EQ(MemoireParc::date(preferences), std::nullopt);

    const std::string donnees("{\"ovrels\":[]}\0\xFF binaire", 23);
    const Instant maintenant = Instant{seconds{1740816000}} + milliseconds(250);
    ASSERT_TRUE(MemoireParc::enregistrer(preferences, donnees, maintenant));
    EXPECT_EQ(MemoireParc::relire(preferences), donnees);
    const auto date = MemoireParc::date(preferences);
    ASSERT_TRUE(date);
    EXPECT_LT(std::chrono::abs(*date - maintenant), microseconds(1));
    // Stored with the types other readers of the store expect.
    EXPECT_EQ(preferences.octets("parc_cache"), donnees);
    EXPECT_DOUBLE_EQ(*preferences.nombre("parc_cache_le"), 1740816000.25);

    ASSERT_TRUE(MemoireParc::enregistrer(preferences, "autre", maintenant + seconds(30)));
    EXPECT_EQ(MemoireParc::relire(preferences), "autre");
    EXPECT_LT(std::chrono::abs(*MemoireParc::date(preferences) - (maintenant + seconds(30))), microseconds(1));
}

TEST(MemoireParc, EffacerRetireLesDeuxCles) {
    PreferencesMemoire preferences;
    preferences.ecrireTexte("jeton_local", "garde");
    ASSERT_TRUE(MemoireParc::enregistrer(preferences, "{}", Instant{seconds{1740816000}}));
    ASSERT_TRUE(MemoireParc::effacer(preferences));
    EXPECT_EQ(MemoireParc::relire(preferences), std::nullopt);
    EXPECT_EQ(MemoireParc::date(preferences), std::nullopt);
    EXPECT_FALSE(preferences.contient("parc_cache"));
    EXPECT_FALSE(preferences.contient("parc_cache_le"));
    EXPECT_TRUE(preferences.contient("jeton_local"));
    EXPECT_TRUE(MemoireParc::effacer(preferences));  // erasing twice is harmless
}

TEST(MemoireParc, DateAbsenteSiNonStrictementPositive) {
    PreferencesMemoire preferences;
    for (double valeur : {0.0, -5.0, -0.0, std::nan(""), -HUGE_VAL, HUGE_VAL}) {
        preferences.ecrireNombre("parc_cache_le", valeur);
        EXPECT_EQ(MemoireParc::date(preferences), std::nullopt) << valeur;
    }
    preferences.ecrireNombre("parc_cache_le", 0.5);
    EXPECT_EQ(MemoireParc::date(preferences), Instant{milliseconds(500)});
    // A value stored with another type reads as no value.
    preferences.ecrireTexte("parc_cache_le", "1740816000");
    EXPECT_EQ(MemoireParc::date(preferences), std::nullopt);
    preferences.ecrireTexte("parc_cache", "{\"ovrels\":[]}");
    EXPECT_EQ(MemoireParc::relire(preferences), std::nullopt);
}

TEST(MemoireParc, UnSeulLotAtomiquePourLesDeuxCles) {
    PreferencesEspion espion;
    ASSERT_TRUE(MemoireParc::enregistrer(espion, "{}", Instant{seconds{1740816000}}));
    ASSERT_EQ(espion.lots.size(), 1u);
    EXPECT_EQ(cles(espion.lots[0]), (std::vector<std::string>{"parc_cache", "parc_cache_le"}));
    ASSERT_TRUE(MemoireParc::effacer(espion));
    ASSERT_EQ(espion.lots.size(), 2u);
    EXPECT_EQ(cles(espion.lots[1]), (std::vector<std::string>{"parc_cache", "parc_cache_le"}));
    for (const auto& m : espion.lots[1]) EXPECT_FALSE(m.valeur);

    // A store that cannot be written reports it, and the previous cache stays whole.
    ASSERT_TRUE(MemoireParc::enregistrer(espion, "ancien", Instant{seconds{100}}));
    espion.enPanne = true;
    EXPECT_FALSE(MemoireParc::enregistrer(espion, "nouveau", Instant{seconds{200}}));
    EXPECT_EQ(MemoireParc::relire(espion), "ancien");
    EXPECT_EQ(MemoireParc::date(espion), Instant{seconds{100}});
    EXPECT_FALSE(MemoireParc::effacer(espion));
    EXPECT_EQ(MemoireParc::relire(espion), "ancien");
}
