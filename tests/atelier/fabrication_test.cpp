#include "atelier/fabrication.h"

#include "app/constantes.h"
#include "plateforme/json.h"

#include <gtest/gtest.h>

using namespace ovrel;

namespace {
constexpr std::string_view REPONSE = R"({"serie":"KB-0042","jeton":"tok","code":"C0D3","site_id":"s1","nom":"Salon"})";

boost::json::object objetDe(const std::string& texte) { return boost::json::parse(texte).as_object(); }
}  // namespace

TEST(ReponseFabrication, AccepteeAvecLesQuatreTextesEtLeStatut200) {
    auto r = lireReponseFabrication(200, REPONSE);
    ASSERT_TRUE(r);
    EXPECT_EQ(*r, (ReponseFabrication{"KB-0042", "tok", "C0D3", "s1", "Salon"}));
    EXPECT_FALSE(lireReponseFabrication(201, REPONSE));
    EXPECT_FALSE(lireReponseFabrication(500, REPONSE));
}

TEST(ReponseFabrication, NomParDefautLaSerie) {
    for (const char* nom : {"", R"(,"nom":"")", R"(,"nom":12)", R"(,"nom":null)"}) {
        const std::string corps = std::string(R"({"serie":"KB1","jeton":"t","code":"c","site_id":"s")") + nom + "}";
        auto r = lireReponseFabrication(200, corps);
        ASSERT_TRUE(r) << corps;
        EXPECT_EQ(r->nom, "KB1");
    }
}

TEST(ReponseFabrication, MembreObligatoireManquantOuMalType) {
    for (const char* corps : {R"({"jeton":"t","code":"c","site_id":"s"})", R"({"serie":"a","code":"c","site_id":"s"})",
                              R"({"serie":"a","jeton":"t","site_id":"s"})", R"({"serie":"a","jeton":"t","code":"c"})",
                              R"({"serie":"a","jeton":"t","code":42,"site_id":"s"})",
                              R"({"serie":"a","jeton":"t","code":"c","site_id":7})", R"([])", "", "ok"}) {
        EXPECT_FALSE(lireReponseFabrication(200, corps)) << corps;
    }
}

TEST(CorpsFabrication, EmpreinteSinonSerie) {
    EXPECT_EQ(corpsFabrication(BoxTrouvee{"h", 8000, "h", "", "KB1", "", false}), R"({"empreinte":"KB1"})");
    EXPECT_EQ(corpsFabrication(BoxTrouvee{"h", 8000, "h", "", "KB1", "f\"0", false}), R"({"empreinte":"f\"0"})");
    EXPECT_EQ(objetDe(corpsFabrication("a\\b")).at("empreinte"), "a\\b");
}

TEST(CorpsInjection, QuatreTextesDontLAdresseDuPortail) {
    const auto corps = objetDe(corpsInjection({"KB1", "t\"ok", "c", "s", "Salon"}));
    EXPECT_EQ(corps, (boost::json::object{{"serie", "KB1"}, {"jeton", "t\"ok"}, {"api", URL_PORTAIL()}, {"nom", "Salon"}}));
    EXPECT_EQ(URL_PORTAIL(), "https://portail." + std::string(DOMAINE_CLOUD));
}

TEST(AdressesFabrication, InjectionEtiquetteEtConsole) {
    EXPECT_EQ(urlInjection("box.local", 8000), "http://box.local:8000/api/atelier/enregistrer");
    EXPECT_EQ(urlInjection(BoxTrouvee{"[fe80::1]", 8000, "", "", "", "", false}),
              "http://[fe80::1]:8000/api/atelier/enregistrer");
    EXPECT_FALSE(urlInjection("", 8000));
    EXPECT_FALSE(urlInjection("box local", 8000));

    EXPECT_EQ(urlFicheEtiquette(ReponseFabrication{"KB1", "t", "AB%2FC", "s/1", "n"}),
              BASE_CLOUD() + "/admin/etiquette/s/1?code=AB%2FC");
    EXPECT_FALSE(urlFicheEtiquette("s 1", "c"));

    EXPECT_EQ(urlConsoleBox("b-17"), BASE_CLOUD() + "/admin/box/b-17");
    EXPECT_FALSE(urlConsoleBox("b 17"));
}

TEST(TextesFabrication, NommentLaBoxParSonIdentifiant) {
    const BoxTrouvee box{"neuve.local", 8000, "Neuve", "", "KB1", "", false};
    EXPECT_EQ(texteFabricationEnCours(box), "Fabrication de l'Ovrel KB1 en cours…");
    EXPECT_EQ(texteInjectionImpossible(box),
              "L'Ovrel KB1 (neuve.local) n'a pas accepté son identité (déjà enregistré, ou hors du réseau local ?).");
    EXPECT_EQ(messageRefaireEtiquette("Salon"), "Refaire l'étiquette de Salon ?");
}
