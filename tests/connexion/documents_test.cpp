#include "connexion/documents.h"

#include <gtest/gtest.h>

using namespace ovrel;

TEST(LireDocumentUtilisateur, ClesTypees) {
    auto u = lireDocumentUtilisateur(R"({"studio":true,"exploitant":false,"email":"a@b.fr","autre":[1]})");
    ASSERT_TRUE(u);
    EXPECT_TRUE(u->studio);
    EXPECT_FALSE(u->exploitant);
    EXPECT_EQ(u->email, "a@b.fr");

    u = lireDocumentUtilisateur(R"({"studio":"true","exploitant":1,"email":42})");
    ASSERT_TRUE(u);
    EXPECT_FALSE(u->studio);
    EXPECT_FALSE(u->exploitant);
    EXPECT_EQ(u->email, std::nullopt);

    u = lireDocumentUtilisateur("{}");
    ASSERT_TRUE(u);
    EXPECT_FALSE(u->studio || u->exploitant);
}

TEST(LireDocumentUtilisateur, SeulUnObjetEstLu) {
    EXPECT_FALSE(lireDocumentUtilisateur(""));
    EXPECT_FALSE(lireDocumentUtilisateur("[]"));
    EXPECT_FALSE(lireDocumentUtilisateur("true"));
    EXPECT_FALSE(lireDocumentUtilisateur(R"({"studio":true,})"));
    EXPECT_FALSE(lireDocumentUtilisateur("<html>401</html>"));
}

TEST(LireJetonLocal, JetonEtExpirationRequis) {
    auto j = lireJetonLocal(R"({"jeton":"abc","expire":1701781410.5,"organisation":"Dupont"})");
    ASSERT_TRUE(j);
    EXPECT_EQ(j->jeton, "abc");
    EXPECT_EQ(j->expire, 1701781410.5);
    EXPECT_EQ(j->organisation, "Dupont");

    j = lireJetonLocal(R"({"jeton":"","expire":17e8,"organisation":null})");
    ASSERT_TRUE(j);
    EXPECT_EQ(j->jeton, "");
    EXPECT_EQ(j->expire, 17e8);
    EXPECT_EQ(j->organisation, "");

    EXPECT_FALSE(lireJetonLocal(R"({"jeton":"abc","expire":"1701781410"})"));
    EXPECT_FALSE(lireJetonLocal(R"({"jeton":"abc"})"));
    EXPECT_FALSE(lireJetonLocal(R"({"jeton":12,"expire":1})"));
    EXPECT_FALSE(lireJetonLocal(R"({"expire":1})"));
    EXPECT_FALSE(lireJetonLocal(R"({"jeton":"abc","expire":1e999})"));
    EXPECT_FALSE(lireJetonLocal(R"([{"jeton":"abc","expire":1}])"));
    EXPECT_FALSE(lireJetonLocal("nope"));
}

namespace {
DocumentUtilisateur role(bool studio, bool exploitant) { return DocumentUtilisateur{studio, exploitant, std::nullopt}; }
}  // namespace

TEST(Routage, AuLancementLesDeuxRolesVontALaPageDuParc) {
    auto r = routageAuLancement(role(true, false));
    EXPECT_EQ(r.porte, Porte::MesOvrels);
    EXPECT_TRUE(r.jetonLocal);
    EXPECT_TRUE(r.roleEtabli);
    r = routageAuLancement(role(false, true));
    EXPECT_EQ(r.porte, Porte::MesOvrels);
    EXPECT_FALSE(r.jetonLocal);
    r = routageAuLancement(role(true, true));
    EXPECT_EQ(r.porte, Porte::MesOvrels);
    EXPECT_TRUE(r.jetonLocal);
    r = routageAuLancement(role(false, false));
    EXPECT_EQ(r.porte, Porte::AccesRefuse);
    EXPECT_FALSE(r.jetonLocal);
    EXPECT_TRUE(r.roleEtabli);
}

TEST(Routage, ApresUnePageLeConcepteurVaALAtelier) {
    auto r = routageApresPage(role(false, true));
    EXPECT_EQ(r.porte, Porte::Atelier);
    EXPECT_FALSE(r.jetonLocal);
    r = routageApresPage(role(true, true));
    EXPECT_EQ(r.porte, Porte::ParcCharge);
    EXPECT_TRUE(r.jetonLocal);
    r = routageApresPage(role(true, false));
    EXPECT_EQ(r.porte, Porte::ParcCharge);
    r = routageApresPage(role(false, false));
    EXPECT_EQ(r.porte, Porte::AccesRefuse);
    EXPECT_TRUE(r.roleEtabli);
}

TEST(Routage, SansReponseLeParcEnCacheSeulementHorsReseau) {
    auto r = routageSansReponse(true, true, true);
    EXPECT_EQ(r.porte, Porte::ParcEnCache);
    EXPECT_TRUE(r.roleEtabli);
    EXPECT_FALSE(r.jetonLocal);
    for (auto [transport, cache, valide] : {std::tuple{false, true, true}, std::tuple{true, false, true},
                                            std::tuple{true, true, false}, std::tuple{false, false, false}}) {
        r = routageSansReponse(transport, cache, valide);
        EXPECT_EQ(r.porte, Porte::Connexion);
        EXPECT_FALSE(r.roleEtabli);
    }
}
