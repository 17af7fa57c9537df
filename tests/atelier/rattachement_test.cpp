#include "atelier/rattachement.h"
#include "tests/faux/dossier_temporaire.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <fstream>

using namespace ovrel;
namespace fs = std::filesystem;

namespace {

// A fresh temporary folder, removed with the fixture.
class DossierTemporaire : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(racine_.empty()); }
    fs::path creerProjet(const std::string& nom, bool outil, bool version, const std::string& contenu = "0.75.2\n") {
        const fs::path p = racine_ / nom;
        fs::create_directories(p / "outils");
        fs::create_directories(p / "serveur");
        if (outil) std::ofstream(p / "outils" / "rattacher-ovrel.sh") << "#!/bin/bash\n";
        if (version) std::ofstream(p / "serveur" / "VERSION", std::ios::binary) << contenu;
        return p;
    }
    essais::DossierTemporaire dossier_;
    const fs::path& racine_ = dossier_.chemin();
};

std::string sortie(const std::string& rapport) { return "préparation…\nRESULTAT:" + rapport + "\n"; }

}  // namespace

using Projet = DossierTemporaire;

TEST_F(Projet, ValideAvecLOutilEtLeFichierDeVersion) {
    EXPECT_TRUE(estProjetValide(creerProjet("complet", true, true)));
    EXPECT_FALSE(estProjetValide(creerProjet("sans-outil", false, true)));
    EXPECT_FALSE(estProjetValide(creerProjet("sans-version", true, false)));
    EXPECT_FALSE(estProjetValide(racine_ / "absent"));
    EXPECT_FALSE(estProjetValide(fs::path()));
    // Through a regular file, or a name too long for the system: no exception, not a project.
    std::ofstream(racine_ / "fichier") << "x";
    EXPECT_FALSE(estProjetValide(racine_ / "fichier"));
    EXPECT_FALSE(estProjetValide(racine_ / std::string(5000, 'a')));
}

TEST_F(Projet, PremierCandidatValideDansLOrdre) {
    const fs::path invalide = creerProjet("invalide", true, false);
    const fs::path second = creerProjet("second", true, true);
    const fs::path troisieme = creerProjet("troisieme", true, true);
    EXPECT_EQ(racineChantier({invalide, std::nullopt, second, troisieme}), second);
    EXPECT_EQ(racineChantier({std::nullopt, troisieme, second}), troisieme);
    EXPECT_FALSE(racineChantier({invalide, std::nullopt}));
    EXPECT_FALSE(racineChantier({}));
}

TEST_F(Projet, VersionRogneeOuPointDInterrogation) {
    EXPECT_EQ(versionDuProjet(creerProjet("a", true, true, " \t0.75.2\r\n")), "0.75.2");
    EXPECT_EQ(versionDuProjet(creerProjet("b", true, false)), "?");
    EXPECT_EQ(versionDuProjet(creerProjet("c", true, true, "0.8\xff\n")), "?");
    EXPECT_EQ(versionDuProjet(creerProjet("d", true, true, "")), "");
    const fs::path dossierVersion = creerProjet("e", true, false);
    fs::create_directories(dossierVersion / "serveur" / "VERSION");
    EXPECT_EQ(versionDuProjet(dossierVersion), "?");
}

TEST(Rattachement, ArgumentsDeLOutil) {
    EXPECT_EQ(argumentsRattachement("/home/c/ovrel", "192.168.0.67:22"),
              (std::vector<std::string>{"/home/c/ovrel/outils/rattacher-ovrel.sh", "192.168.0.67:22", "--source",
                                        "/home/c/ovrel"}));
}

TEST(Rattachement, HoteDeLAdresse) {
    EXPECT_EQ(hoteDeLAdresse("192.168.0.67:22"), "192.168.0.67");
    EXPECT_EQ(hoteDeLAdresse("box-domicile.local"), "box-domicile.local");
    EXPECT_EQ(hoteDeLAdresse("fe80::1"), "[fe80::1]");
    EXPECT_EQ(hoteDeLAdresse("[fe80::1]:22"), "[fe80::1]");
    EXPECT_EQ(hoteDeLAdresse("[fe80::1]"), "[fe80::1]");
    EXPECT_EQ(hoteDeLAdresse("box.local:"), "box.local");
}

TEST(CompteRendu, SeulLaDerniereLigneDeResultatCompte) {
    const auto d = lireCompteRendu("box.local", "RESULTAT:{\"ok\":false,\"erreur\":\"premier\"}\n\n"
                                                "RESULTAT:{\"ok\":false,\"erreur\":\"dernier\"}\n"
                                                "nettoyage…\n\n");
    EXPECT_EQ(d.issue, IssueRattachement::impossible);
    EXPECT_EQ(d.titre, "Rattachement impossible");
    EXPECT_EQ(d.texte, "dernier");
    // A last report that cannot be read is not replaced by an earlier one.
    EXPECT_EQ(lireCompteRendu("b", "RESULTAT:{\"ok\":true,\"enregistree\":true}\nRESULTAT:{\"ok\":tr\n").issue,
              IssueRattachement::illisible);
}

TEST(CompteRendu, SansCompteRenduLisible) {
    const DecisionRattachement illisible{IssueRattachement::illisible, "Rattachement interrompu",
                                         "L'outil n'a pas rendu de compte rendu lisible.\n"
                                         "Le détail est dans la fenêtre de journal.",
                                         "", std::nullopt};
    for (const char* s : {"", "tout va bien\n", "RESULTAT:\n", "RESULTAT:[true]\n", "RESULTAT:\"ok\"\n",
                          " RESULTAT:{\"ok\":true}\n", "resultat:{\"ok\":true}\n", "RESULTAT:{\"ok\":true} fin\n"}) {
        EXPECT_EQ(lireCompteRendu("box.local", s), illisible) << s;
    }
}

TEST(CompteRendu, EchecQuandOkNEstPasLeBooleenVrai) {
    auto d = lireCompteRendu("b", sortie(R"({"ok":"true","enregistree":true})"));
    EXPECT_EQ(d.issue, IssueRattachement::impossible);
    EXPECT_EQ(d.texte, "Voir la fenêtre de journal.");
    EXPECT_EQ(lireCompteRendu("b", sortie(R"({"erreur":"SSH refusé"})")).texte, "SSH refusé");
    EXPECT_EQ(lireCompteRendu("b", sortie(R"({"ok":false,"erreur":""})")).texte, "");
    EXPECT_EQ(lireCompteRendu("b", sortie(R"({"ok":false,"erreur":5})")).texte, "Voir la fenêtre de journal.");
}

TEST(CompteRendu, RattacheEtEnregistre) {
    auto d = lireCompteRendu("192.168.0.67",
                             sortie(R"({"ok":true,"enregistree":true,"version_apres":"0.75.2","serie":"KB1","battement":true})"));
    EXPECT_EQ(d, (DecisionRattachement{IssueRattachement::rattache, "Ovrel rattaché",
                                       "« 192.168.0.67 » est en version 0.75.2, sous le numéro KB1.\n"
                                       "Il parle au cloud : il se mettra à jour à distance.\n\n"
                                       "Plus besoin d'être sur son réseau désormais.",
                                       "", std::nullopt}));

    d = lireCompteRendu("b.local", "RESULTAT:{\"ok\":true,\"enregistree\":true,\"battement\":\"oui\"}\r\n");
    EXPECT_EQ(d.issue, IssueRattachement::rattache);
    EXPECT_EQ(d.texte, "« b.local » est en version ?, sous le numéro ?.\n"
                       "Son battement de cœur va partir dans la minute.\n\n"
                       "Plus besoin d'être sur son réseau désormais.");
}

TEST(CompteRendu, NonEnregistreAvecEmpreinteContinueParLaFabrication) {
    auto d = lireCompteRendu("192.168.0.67:22",
                             sortie(R"({"ok":true,"enregistree":false,"version_apres":"0.75.2","serie":"KB1","empreinte":"f00d"})"));
    EXPECT_EQ(d.issue, IssueRattachement::aFabriquer);
    EXPECT_EQ(d.titre, "");
    EXPECT_EQ(d.journal, "\n→ Fabrication de l'identité au cloud…\n");
    ASSERT_TRUE(d.box);
    EXPECT_EQ(*d.box, (BoxTrouvee{"192.168.0.67", 8000, "192.168.0.67", "0.75.2", "KB1", "f00d", false}));

    d = lireCompteRendu("[fe80::1]:22", sortie(R"({"ok":true,"empreinte":"f00d","serie":7})"));
    ASSERT_TRUE(d.box);
    EXPECT_EQ(*d.box, (BoxTrouvee{"[fe80::1]", 8000, "[fe80::1]", "?", "", "f00d", false}));
    EXPECT_EQ(d.box->cle(), "[fe80::1]:8000");
    d = lireCompteRendu("fe80::1", sortie(R"({"ok":true,"empreinte":"f00d"})"));
    ASSERT_TRUE(d.box);
    EXPECT_EQ(d.box->hote, "[fe80::1]");
}

TEST(CompteRendu, NonEnregistreSansEmpreinte) {
    const DecisionRattachement attendu{IssueRattachement::sansEmpreinte, "Identité impossible",
                                       "L'Ovrel est à jour mais n'a pas donné son empreinte.\n"
                                       "Actualisez la recherche : il devrait maintenant apparaître dans la liste.",
                                       "", std::nullopt};
    EXPECT_EQ(lireCompteRendu("b", sortie(R"({"ok":true,"enregistree":false,"serie":"KB1"})")), attendu);
    EXPECT_EQ(lireCompteRendu("b", sortie(R"({"ok":true,"empreinte":""})")), attendu);
    EXPECT_EQ(lireCompteRendu("b", sortie(R"({"ok":true,"empreinte":12})")), attendu);
}
