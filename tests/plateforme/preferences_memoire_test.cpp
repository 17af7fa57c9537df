#include "plateforme/preferences_memoire.h"

#include <gtest/gtest.h>

using namespace ovrel;

TEST(PreferencesMemoire, TypesDistinctsEtSuppression) {
    PreferencesMemoire p;
    EXPECT_TRUE(p.ecrireTexte("t", "bonjour"));
    p.ecrireNombre("n", 12.5);
    p.ecrireOctets("o", std::string("\0\1", 2));
    EXPECT_EQ(p.texte("t"), "bonjour");
    EXPECT_EQ(p.nombre("t"), std::nullopt);
    EXPECT_EQ(p.octets("t"), std::nullopt);
    EXPECT_EQ(p.nombre("n"), 12.5);
    EXPECT_EQ(p.texte("n"), std::nullopt);
    EXPECT_EQ(p.octets("o"), std::string("\0\1", 2));
    p.supprimer("t");
    EXPECT_EQ(p.texte("t"), std::nullopt);
    p.ecrire({{"n", std::nullopt}, {"o", ValeurPreference{std::string("texte")}}});
    EXPECT_FALSE(p.contient("n"));
    EXPECT_EQ(p.texte("o"), "texte");
}
