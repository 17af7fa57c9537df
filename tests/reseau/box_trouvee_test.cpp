#include "reseau/box_trouvee.h"

#include "plateforme/json.h"

#include <gtest/gtest.h>

using namespace ovrel;

namespace {
BoxTrouvee resolue(const std::string& hote = "box-bureau.local", int port = 8000) {
    auto box = boxResolue(hote, port);
    EXPECT_TRUE(box);
    return box.value_or(BoxTrouvee{});
}

constexpr std::string_view PREFIXE = "window.OvrelStudio && window.OvrelStudio.reseau && window.OvrelStudio.reseau(";
constexpr std::string_view SUFFIXE = ");";

// The JSON array handed to the page, read back.
boost::json::array tableauDe(const std::string& appel) {
    EXPECT_TRUE(appel.starts_with(PREFIXE)) << appel;
    EXPECT_TRUE(appel.ends_with(SUFFIXE)) << appel;
    const std::string json = appel.substr(PREFIXE.size(), appel.size() - PREFIXE.size() - SUFFIXE.size());
    return boost::json::parse(json).as_array();
}
}  // namespace

TEST(BoxResolue, NomDHoteSansPointFinalEtIdentiteInconnue) {
    EXPECT_EQ(resolue("box-bureau.local.", 8000),
              (BoxTrouvee{"box-bureau.local", 8000, "box-bureau.local", "", "", "", false}));
    EXPECT_EQ(resolue("box-bureau.local", 443).hote, "box-bureau.local");
    EXPECT_EQ(resolue("a..", 1).hote, "a.");  // one final dot only
    EXPECT_EQ(resolue("box-bureau.local.", 8000).cle(), "box-bureau.local:8000");
}

TEST(BoxResolue, SansHoteOuSansPortRienNEntreDansLaTable) {
    EXPECT_FALSE(boxResolue("", 8000));
    EXPECT_FALSE(boxResolue(".", 8000));
    EXPECT_FALSE(boxResolue("box.local", 0));
    EXPECT_FALSE(boxResolue("box.local", -3));
}

TEST(UrlDecouverte, AdresseDeLIdentiteDeLaBox) {
    EXPECT_EQ(urlDecouverte("box-bureau.local", 8000), "http://box-bureau.local:8000/api/decouverte");
    EXPECT_EQ(urlDecouverte("192.168.1.18", 80), "http://192.168.1.18:80/api/decouverte");
    EXPECT_FALSE(urlDecouverte("box bureau.local", 8000));
    EXPECT_FALSE(urlDecouverte("", 8000));
}

TEST(BoxMiseAJour, ReponseMinimaleRemetLIdentiteAZero) {
    BoxTrouvee connue{"box.local", 8000, "Salon", "1.0", "KB1", "E1", true};
    auto box = boxMiseAJour(connue, R"({"produit":"ovrel-box"})");
    ASSERT_TRUE(box);
    EXPECT_EQ(*box, (BoxTrouvee{"box.local", 8000, "Salon", "", "", "", false}));

    auto neuve = boxMiseAJour(resolue("box.local"), R"({"produit":"ovrel-box"})");
    ASSERT_TRUE(neuve);
    EXPECT_EQ(*neuve, (BoxTrouvee{"box.local", 8000, "box.local", "", "", "", false}));
}

TEST(BoxMiseAJour, ChaqueMembreAvecSonType) {
    auto box = boxMiseAJour(resolue(), R"({"produit":"ovrel-box","nom":"Salon","version":"0.9.1",
        "serie":"KB-0042","empreinte":"f1e2","enregistree":true,"hote":"ailleurs","port":9})");
    ASSERT_TRUE(box);
    EXPECT_EQ(*box, (BoxTrouvee{"box-bureau.local", 8000, "Salon", "0.9.1", "KB-0042", "f1e2", true}));

    // Wrong types count as absent; an empty name keeps the host name.
    box = boxMiseAJour(resolue(), R"({"produit":"ovrel-box","nom":"","version":0.9,"serie":"KB1",
        "empreinte":null,"enregistree":"true"})");
    ASSERT_TRUE(box);
    EXPECT_EQ(*box, (BoxTrouvee{"box-bureau.local", 8000, "box-bureau.local", "", "KB1", "KB1", false}));

    box = boxMiseAJour(resolue(), R"({"produit":"ovrel-box","nom":7,"serie":"KB1","empreinte":""})");
    ASSERT_TRUE(box);
    EXPECT_EQ(box->nom, "box-bureau.local");
    EXPECT_EQ(box->empreinte, "");  // an empty fingerprint is still a string
}

TEST(BoxMiseAJour, ReponseIgnoreeQuandCeNEstPasUneBoxOvrel) {
    const BoxTrouvee box = resolue();
    for (const char* donnees : {R"({"nom":"x"})", R"({"produit":"Ovrel-Box","nom":"x"})",
                                R"({"produit":"ovrel-box ","nom":"x"})", R"({"produit":true})",
                                R"(["ovrel-box"])", R"("ovrel-box")", "<html></html>", "",
                                R"({"produit":"ovrel-box")"}) {
        EXPECT_FALSE(boxMiseAJour(box, donnees)) << donnees;
        EXPECT_FALSE(lireDecouverte(donnees)) << donnees;
    }
}

TEST(LireDecouverte, LectureEtApplicationSepareesDonnentLeMemeResultat) {
    const std::string donnees = R"({"produit":"ovrel-box","serie":"A","enregistree":false})";
    auto reponse = lireDecouverte(donnees);
    ASSERT_TRUE(reponse);
    EXPECT_EQ(*reponse, (ReponseDecouverte{std::nullopt, std::nullopt, "A", std::nullopt, false}));
    EXPECT_EQ(boxMiseAJour(resolue(), *reponse), boxMiseAJour(resolue(), donnees));
}

TEST(AppelReseau, ListeVide) {
    EXPECT_EQ(appelReseau({}), std::string(PREFIXE) + "[]" + std::string(SUFFIXE));
}

TEST(AppelReseau, TriStableParSerieEtQuatreMembresTextes) {
    std::vector<BoxTrouvee> boxes{
        {"b.local", 8000, "B", "2.0", "B-2", "eb", true},
        {"x.local", 8001, "x.local", "", "", "", false},
        {"a.local", 8000, "A", "1.0", "A-1", "ea", false},
        {"y.local", 8002, "y.local", "", "", "", false},
    };
    const auto tableau = tableauDe(appelReseau(boxes));
    ASSERT_EQ(tableau.size(), 4u);
    std::vector<std::string> adresses;
    for (const auto& v : tableau) adresses.emplace_back(v.at("adresse").as_string());
    EXPECT_EQ(adresses, (std::vector<std::string>{"x.local:8001", "y.local:8002", "a.local:8000", "b.local:8000"}));

    const auto& premiere = tableau[2].as_object();
    EXPECT_EQ(premiere.size(), 4u);  // neither fingerprint nor registration goes to the page
    EXPECT_EQ(premiere.at("nom"), "A");
    EXPECT_EQ(premiere.at("serie"), "A-1");
    EXPECT_EQ(premiere.at("version"), "1.0");
}

TEST(AppelReseau, JsonCompactEtTextesEchappes) {
    const std::string appel = appelReseau({{"h", 1, "Le \"grand\" salon", "", "S", "", false}});
    EXPECT_EQ(appel, std::string(PREFIXE) +
                         R"([{"nom":"Le \"grand\" salon","serie":"S","version":"","adresse":"h:1"}])" +
                         std::string(SUFFIXE));
}

TEST(AppelReseau, TexteNonUtf8DonneUneListeVide) {
    EXPECT_EQ(tableauDe(appelReseau({{"h\xff.local", 1, "n", "", "", "", false}})).size(), 0u);
}
