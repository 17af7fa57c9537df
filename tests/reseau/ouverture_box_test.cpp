#include "reseau/ouverture_box.h"

#include "app/constantes.h"
#include "plateforme/adresse.h"

#include <gtest/gtest.h>

using namespace ovrel;

namespace {
std::map<std::string, BoxTrouvee> table(std::initializer_list<BoxTrouvee> boxes) {
    std::map<std::string, BoxTrouvee> t;
    for (const auto& b : boxes) t[b.cle()] = b;
    return t;
}
}  // namespace

TEST(AdresseBoxNettoyee, SchemaCheminEtPortParDefaut) {
    EXPECT_EQ(adresseBoxNettoyee("https://192.168.1.18/studio"), "192.168.1.18:8000");
    EXPECT_EQ(adresseBoxNettoyee("box-bureau.local:443"), "box-bureau.local:443");
    EXPECT_EQ(adresseBoxNettoyee(" \u00a0192.168.1.18\n"), "192.168.1.18:8000");
    EXPECT_EQ(adresseBoxNettoyee("http://box.local:9000/a/b?c"), "box.local:9000");
    EXPECT_EQ(adresseBoxNettoyee("192.168.1.18?x"), "192.168.1.18?x:8000");
}

TEST(AdresseBoxNettoyee, RienDUtilisableDonneRien) {
    EXPECT_FALSE(adresseBoxNettoyee("   "));
    EXPECT_FALSE(adresseBoxNettoyee(""));
    EXPECT_FALSE(adresseBoxNettoyee("http://"));
    EXPECT_FALSE(adresseBoxNettoyee("https:///studio"));
    EXPECT_FALSE(adresseBoxNettoyee("/192.168.1.18"));
}

TEST(AdresseBoxNettoyee, SchemaEnMajusculesRetireAussi) {
    EXPECT_EQ(adresseBoxNettoyee("HTTP://192.168.1.18"), "192.168.1.18:8000");
    EXPECT_EQ(adresseBoxNettoyee("HttpS://Box-Bureau.local/studio"), "Box-Bureau.local:8000");
    // The token must reach the typed box, not a host named after the scheme.
    const auto url = urlSessionBox(*adresseBoxNettoyee("HTTPS://192.168.1.18:8000/"), "j");
    ASSERT_TRUE(url);
    const auto adresse = analyserAdresse(*url);
    ASSERT_TRUE(adresse);
    EXPECT_EQ(adresse->hote, "192.168.1.18");
    EXPECT_EQ(adresse->port, 8000);
}

TEST(AdresseBoxNettoyee, ChaqueOccurrenceRetireeEnUnPassage) {
    EXPECT_EQ(adresseBoxNettoyee("http://http://box.local"), "box.local:8000");
    EXPECT_EQ(adresseBoxNettoyee("box.localhttps://"), "box.local:8000");
}

TEST(UrlSessionBox, JetonTelQuelEtHoteObligatoire) {
    EXPECT_EQ(urlSessionBox("192.168.1.18:8000", "abc.DEF-123"),
              "http://192.168.1.18:8000/studio/session?jeton=abc.DEF-123");
    EXPECT_EQ(urlSessionBox("box.local:443", "a%2Fb"), "http://box.local:443/studio/session?jeton=a%2Fb");
    EXPECT_FALSE(urlSessionBox("192.168.1.18:8000", "a b"));
    EXPECT_FALSE(urlSessionBox(":8000", "j"));
    EXPECT_FALSE(urlSessionBox("box.local:port", "j"));
    EXPECT_FALSE(urlSessionBox("fe80::1", "j"));
}

TEST(BoxLocale, SerieNormaliseeDesDeuxCotes) {
    const auto boxes = table({{"a.local", 8000, "A", "", "KB 0042", "", true},
                              {"b.local", 8000, "B", "", "", "", false}});
    auto box = boxLocale(boxes, "kb-0042");
    ASSERT_TRUE(box);
    EXPECT_EQ(box->hote, "a.local");
    EXPECT_FALSE(boxLocale(boxes, "KB0043"));
}

TEST(BoxLocale, SerieVideNeCorrespondJamais) {
    const auto boxes = table({{"b.local", 8000, "B", "", "", "", false},
                              {"c.local", 8000, "C", "", "- -", "", false}});
    EXPECT_FALSE(boxLocale(boxes, ""));
    EXPECT_FALSE(boxLocale(boxes, " - "));
    EXPECT_FALSE(boxLocale({}, "KB1"));
}

TEST(ListeBox, ClesTrieesParNomOctetParOctet) {
    const auto boxes = table({{"1.local", 8000, "salon", "", "", "", false},
                              {"2.local", 8000, "Zeta", "", "", "", false},
                              {"3.local", 8000, "Atelier", "", "", "", false},
                              {"4.local", 8000, "Étage", "", "", "", false}});
    EXPECT_EQ(clesParNom(boxes),
              (std::vector<std::string>{"3.local:8000", "2.local:8000", "1.local:8000", "4.local:8000"}));
    EXPECT_TRUE(clesParNom({}).empty());
}

TEST(ListeBox, TitreDuBouton) {
    EXPECT_EQ(titreBoutonBox({"box.local", 8000, "Salon", "0.9", "", "", false}),
              "\U0001F3E0  Salon  —  box.local  (v0.9)");
    EXPECT_EQ(titreBoutonBox({"box.local", 8000, "box.local", "", "", "", false}),
              "\U0001F3E0  box.local  —  box.local");
}

TEST(ListeBox, BoutonPerimeOuBoxPartie) {
    auto boxes = table({{"a.local", 8000, "A", "", "", "", false}, {"b.local", 9000, "B", "", "", "", false}});
    const std::vector<std::string> cles{"a.local:8000", "b.local:9000", "c.local:8000"};
    EXPECT_EQ(adresseDuBouton(cles, boxes, 1), "b.local:9000");
    EXPECT_FALSE(adresseDuBouton(cles, boxes, 2));
    EXPECT_FALSE(adresseDuBouton(cles, boxes, 3));
    EXPECT_FALSE(adresseDuBouton(cles, boxes, -1));
}

TEST(OuvertureBox, ConfigurationDistanteEtAlerte) {
    EXPECT_EQ(urlConfigDistante("site-12"), BASE_CLOUD() + "/studio/site/site-12/configurer");
    EXPECT_FALSE(urlConfigDistante("a b"));
    EXPECT_EQ(texteOvrelInjoignable("Salon"),
              "« Salon » n'est ni sur ce réseau, ni relié au tunnel sécurisé.\n"
              "Vérifiez qu'il est alimenté et connecté, puis actualisez.");
}
