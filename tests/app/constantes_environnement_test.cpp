// Runs once per configuration case: the addresses are computed at first use, so each case needs
// a fresh process.
#include "app/constantes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using namespace ovrel;

namespace {
std::string cas;
const std::string domaine(DOMAINE_CLOUD);

bool etablir(std::optional<std::string> url) {
    Configuration c;
    c.urlStudio = std::move(url);
    return etablirConfiguration(c);
}
}  // namespace

TEST(ConstantesConfiguration, AdressesDeriveesUneFoisPourToutes) {
    // The environment is not what counts: only the configuration the launcher passes in.
    setenv("OVREL_STUDIO_URL", "https://environnement.example/studio", 1);
    if (cas == "absente") {
        EXPECT_EQ(URL_STUDIO(), "https://studio." + domaine + "/studio");
        EXPECT_EQ(BASE_CLOUD(), "https://studio." + domaine);
        EXPECT_EQ(URL_MOI(), "https://studio." + domaine + "/api/moi");
        EXPECT_EQ(URL_PARC(), "https://studio." + domaine + "/studio/api/parc");
        EXPECT_EQ(URL_JETON_LOCAL(), "https://studio." + domaine + "/studio/jeton-local");
        EXPECT_EQ(URL_FABRIQUER(), "https://studio." + domaine + "/admin/api/fabriquer");
    } else if (cas == "studio_slash") {
        ASSERT_TRUE(etablir("http://127.0.0.1:9/studio/"));
        EXPECT_EQ(BASE_CLOUD(), "http://127.0.0.1:9/studio/");
        EXPECT_EQ(URL_MOI(), "http://127.0.0.1:9/studio//api/moi");
    } else if (cas == "autre") {
        ASSERT_TRUE(etablir("http://studio.ovrel.localhost:8080/console"));
        EXPECT_EQ(BASE_CLOUD(), URL_STUDIO());
        EXPECT_EQ(URL_PARC(), "http://studio.ovrel.localhost:8080/console/api/parc");
        EXPECT_EQ(CANAL_MAJ(), "https://www." + domaine + "/studio/maj/linux-natif.json");
    } else if (cas == "vide") {
        ASSERT_TRUE(etablir(""));
        EXPECT_EQ(BASE_CLOUD(), "");
        EXPECT_EQ(URL_MOI(), "/api/moi");
    } else {
        FAIL() << "cas inconnu: " << cas;
    }
    // Computed once: a later configuration is refused and changes nothing.
    const std::string avant = URL_STUDIO();
    EXPECT_FALSE(etablir("https://ailleurs.example/studio"));
    EXPECT_EQ(URL_STUDIO(), avant);
}

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (argc > 1) cas = argv[1];
    return RUN_ALL_TESTS();
}
