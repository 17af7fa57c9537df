// Runs once per environment case: the addresses are computed at first use, so each case needs
// a fresh process.
#include "app/constantes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using namespace ovrel;

namespace {
std::string cas;
const std::string domaine(DOMAINE_CLOUD);
}  // namespace

TEST(ConstantesEnvironnement, AdressesDeriveesUneFoisPourToutes) {
    if (cas == "absente") {
        unsetenv("OVREL_STUDIO_URL");
        EXPECT_EQ(URL_STUDIO(), "https://studio." + domaine + "/studio");
        EXPECT_EQ(BASE_CLOUD(), "https://studio." + domaine);
        EXPECT_EQ(URL_MOI(), "https://studio." + domaine + "/api/moi");
        EXPECT_EQ(URL_PARC(), "https://studio." + domaine + "/studio/api/parc");
        EXPECT_EQ(URL_JETON_LOCAL(), "https://studio." + domaine + "/studio/jeton-local");
        EXPECT_EQ(URL_FABRIQUER(), "https://studio." + domaine + "/admin/api/fabriquer");
    } else if (cas == "studio_slash") {
        setenv("OVREL_STUDIO_URL", "http://127.0.0.1:9/studio/", 1);
        EXPECT_EQ(BASE_CLOUD(), "http://127.0.0.1:9/studio/");
        EXPECT_EQ(URL_MOI(), "http://127.0.0.1:9/studio//api/moi");
    } else if (cas == "autre") {
        setenv("OVREL_STUDIO_URL", "http://studio.ovrel.localhost:8080/console", 1);
        EXPECT_EQ(BASE_CLOUD(), URL_STUDIO());
        EXPECT_EQ(URL_PARC(), "http://studio.ovrel.localhost:8080/console/api/parc");
        EXPECT_EQ(CANAL_MAJ(), "https://www." + domaine + "/studio/maj/linux-natif.json");
    } else if (cas == "vide") {
        setenv("OVREL_STUDIO_URL", "", 1);
        EXPECT_EQ(BASE_CLOUD(), "");
        EXPECT_EQ(URL_MOI(), "/api/moi");
    } else {
        FAIL() << "cas inconnu: " << cas;
    }
    // Computed once: a later change of the environment has no effect.
    const std::string avant = URL_STUDIO();
    setenv("OVREL_STUDIO_URL", "https://ailleurs.example/studio", 1);
    EXPECT_EQ(URL_STUDIO(), avant);
}

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (argc > 1) cas = argv[1];
    return RUN_ALL_TESTS();
}
