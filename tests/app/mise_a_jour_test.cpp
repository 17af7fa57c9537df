#include "app/mise_a_jour.h"

#include <gtest/gtest.h>

using namespace ovrel;

TEST(PlusRecente, ComparaisonNumeriqueEtComposantesManquantes) {
    EXPECT_TRUE(plusRecente("0.6.10", "0.6.2"));
    EXPECT_FALSE(plusRecente("0.6.2", "0.6.10"));
    EXPECT_FALSE(plusRecente("0.6.2", "0.6.2"));
    EXPECT_FALSE(plusRecente("0.6", "0.6.0"));
    EXPECT_FALSE(plusRecente("0.6.0", "0.6"));
    EXPECT_TRUE(plusRecente("0.6.2.1", "0.6.2"));
    EXPECT_FALSE(plusRecente("0.6.1.9", "0.6.2"));
}

TEST(PlusRecente, ComposantesNonEntieresEcartees) {
    EXPECT_FALSE(plusRecente("1.0-beta", "1"));   // compares as 1
    EXPECT_TRUE(plusRecente("v0.7", "0.6.2"));    // compares as 7
    EXPECT_TRUE(plusRecente("+1", "0.9"));
    EXPECT_FALSE(plusRecente("-1", "0"));
    EXPECT_FALSE(plusRecente("..", ""));
    EXPECT_FALSE(plusRecente("99999999999999999999", "0"));  // overflow: dropped
    EXPECT_FALSE(plusRecente(" 1", "0"));  // " 1" is not a whole number: dropped
}

TEST(Manifeste, VersionEtUrlTextesObligatoires) {
    auto m = lireManifeste(R"({"version":"0.7.0","url":"https://x.org/dl","autre":1})");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->version, "0.7.0");
    EXPECT_EQ(m->url, "https://x.org/dl");
    EXPECT_FALSE(lireManifeste(R"({"version":0.7,"url":"https://x.org"})"));
    EXPECT_FALSE(lireManifeste(R"({"version":"0.7"})"));
    EXPECT_FALSE(lireManifeste(R"(["0.7"])"));
    EXPECT_FALSE(lireManifeste("<html>404</html>"));
    EXPECT_FALSE(lireManifeste(""));
}
