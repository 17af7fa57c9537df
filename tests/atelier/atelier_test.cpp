#include "atelier/atelier.h"

#include <gtest/gtest.h>

using namespace ovrel;

TEST(EtatAtelier, LaBoxDecideAvantLeRegistre) {
    const EtatAtelier aFabriquer{"à fabriquer", GesteAtelier::fabriquer};
    EXPECT_EQ(etatAtelier(false, std::string("en_service")), aFabriquer);
    EXPECT_EQ(etatAtelier(false, std::nullopt), aFabriquer);
}

TEST(EtatAtelier, StatutsDuRegistrePourUneBoxEnregistree) {
    EXPECT_EQ(etatAtelier(true, std::string("en_stock")),
              (EtatAtelier{"fabriqué, en stock", GesteAtelier::refaireEtiquette}));
    EXPECT_EQ(etatAtelier(true, std::string("reinitialise")),
              (EtatAtelier{"rendu à l'atelier", GesteAtelier::refaireEtiquette}));
    EXPECT_EQ(etatAtelier(true, std::string("en_service")),
              (EtatAtelier{"en service chez son client", GesteAtelier::aucun}));
    EXPECT_EQ(etatAtelier(true, std::string("suspendu")), (EtatAtelier{"suspendu", GesteAtelier::aucun}));
    const EtatAtelier dejaFabrique{"déjà fabriqué", GesteAtelier::aucun};
    EXPECT_EQ(etatAtelier(true, std::nullopt), dejaFabrique);
    EXPECT_EQ(etatAtelier(true, std::string("")), dejaFabrique);
    EXPECT_EQ(etatAtelier(true, std::string("EN_STOCK")), dejaFabrique);
}

TEST(LireParcAtelier, FichesSousLaSerieNormalisee) {
    auto registre = lireParcAtelier(R"({"ovrels":[
        {"id":"b1","serie":"kb-00 42","statut":"en_stock","nom":"x"},
        {"id":"b2","serie":"KB7"},
        {"id":"b3","serie":"KB8","statut":3},
        {"id":"","serie":"KB9"},
        {"id":"b5","serie":""},
        {"id":5,"serie":"KB10"},
        {"serie":"KB11"},
        {"id":"b6","serie":"kb7","statut":"suspendu"}
    ],"autre":1})");
    ASSERT_TRUE(registre);
    const std::map<std::string, FicheRegistre> attendu{
        {"KB0042", {"b1", "en_stock"}}, {"KB7", {"b6", "suspendu"}}, {"KB8", {"b3", ""}}};
    EXPECT_EQ(*registre, attendu);
}

TEST(LireParcAtelier, SerieQuiSeNormaliseEnRienEcartee) {
    auto registre = lireParcAtelier(R"({"ovrels":[{"id":"b1","serie":" - ","statut":"en_stock"}]})");
    ASSERT_TRUE(registre);
    EXPECT_TRUE(registre->empty());
    // A box that has not told its serial must not find that entry.
    EXPECT_FALSE(ficheDuRegistre(*registre, {"h", 8000, "h", "", "", "", true}));
    EXPECT_EQ(ligneAtelier({"h", 8000, "h", "", "", "", true}, *registre).geste, GesteAtelier::aucun);
}

TEST(LireParcAtelier, DocumentIlisible) {
    for (const char* donnees : {R"({"ovrels":[{"id":"b1","serie":"KB1"},3]})", R"({"ovrels":{}})",
                                R"({"ovrels":null})", R"({"parc":[]})", R"([{"ovrels":[]}])", "<html>", ""}) {
        EXPECT_FALSE(lireParcAtelier(donnees)) << donnees;
    }
    auto vide = lireParcAtelier(R"({"ovrels":[]})");
    ASSERT_TRUE(vide);
    EXPECT_TRUE(vide->empty());
}

TEST(IdentifiantAtelier, EmpreinteSinonSerie) {
    EXPECT_EQ(identifiantAtelier({"h", 1, "h", "", "KB1", "f00d", false}), "f00d");
    EXPECT_EQ(identifiantAtelier({"h", 1, "h", "", "KB1", "", false}), "KB1");
    EXPECT_EQ(identifiantAtelier({"h", 1, "h", "", "", "", false}), "");
}

TEST(LignesAtelier, NomTexteAttenuationEtGeste) {
    const std::map<std::string, FicheRegistre> registre{{"KB0042", {"b1", "en_stock"}},
                                                        {"KB9", {"b9", "en_service"}}};
    auto ligne = ligneAtelier({"salon.local", 8000, "Salon", "0.9", "kb-00 42", "e", true}, registre);
    EXPECT_EQ(ligne, (LigneAtelier{"salon.local:8000", "Salon", "Salon — salon.local (v0.9)  ·  fabriqué, en stock",
                                   true, Couleur::blanc(0.94, 0.5), GesteAtelier::refaireEtiquette}));

    ligne = ligneAtelier({"neuve.local", 8000, "Neuve", "", "KB9", "", false}, registre);
    EXPECT_EQ(ligne, (LigneAtelier{"neuve.local:8000", "Ovrel KB9", "Ovrel KB9 — neuve.local  ·  à fabriquer", false,
                                   Couleur::blanc(0.96, 0.92), GesteAtelier::fabriquer}));

    ligne = ligneAtelier({"muette.local", 8000, "muette.local", "", "", "", false}, registre);
    EXPECT_EQ(ligne.nom, "Ovrel ");
    EXPECT_EQ(ligne.texte, "Ovrel  — muette.local  ·  à fabriquer");

    ligne = ligneAtelier({"vieille.local", 8000, "Vieille", "1.0", "KB404", "", true}, registre);
    EXPECT_EQ(ligne.texte, "Vieille — vieille.local (v1.0)  ·  déjà fabriqué");
    EXPECT_EQ(ligne.geste, GesteAtelier::aucun);
}

TEST(LignesAtelier, OrdreDesNomsDeBoxes) {
    std::map<std::string, BoxTrouvee> boxes{
        {"a.local:8000", {"a.local", 8000, "Zoe", "", "", "", true}},
        {"b.local:8000", {"b.local", 8000, "Anne", "", "", "", false}},
    };
    const auto lignes = lignesAtelier(boxes, {});
    ASSERT_EQ(lignes.size(), 2u);
    EXPECT_EQ(lignes[0].cle, "b.local:8000");
    EXPECT_EQ(lignes[1].cle, "a.local:8000");
    EXPECT_TRUE(lignesAtelier({}, {}).empty());
}
