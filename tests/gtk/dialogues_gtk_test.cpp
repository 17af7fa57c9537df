// The GTK dialogs answered through their own widgets and key bindings, under a real display.
#include "plateforme/gtk/dialogues_gtk.h"
#include "tests/gtk/outils_gtk.h"

#include <gtest/gtest.h>
#include <gtkmm.h>

#include <fstream>
#include <map>

namespace ovrel {
namespace {

using Genre = DialoguesGtk::Genre;
using Affiche = DialoguesGtk::Affiche;

class DialoguesGtkTest : public ::testing::Test {
protected:
    void SetUp() override {
        principale.set_title("Principale");
        principale.set_default_size(400, 300);
        principale.present();
        dialogues.definirFenetre(&principale);
        dialogues.siAffiche([this](const Affiche& affiche) {
            vus.push_back(affiche);
            auto reponse = reponses.find(affiche.titre);
            if (reponse != reponses.end()) reponse->second(affiche);
        });
        // A dialog nobody answers would block the test for ever: close it and fail instead.
        garde = Glib::signal_timeout().connect(
            [this] {
                if (dialogues.ouverts() > 0 && !vus.empty()) {
                    ADD_FAILURE() << "dialogue sans réponse: " << vus.back().titre;
                    vus.back().echapper();
                }
                return true;
            },
            10000);
    }
    void TearDown() override { garde.disconnect(); }

    Gtk::Window principale;
    DialoguesGtk dialogues;
    std::vector<Affiche> vus;
    std::map<std::string, std::function<void(const Affiche&)>> reponses;
    sigc::connection garde;
};

TEST_F(DialoguesGtkTest, AlerteModaleSurLaFenetreAvecUnSeulBoutonOK) {
    bool visible = false, modale = false, transitoire = false;
    reponses["Connexion impossible"] = [&](const Affiche& a) {
        visible = a.fenetre->get_visible();
        modale = a.fenetre->get_modal();
        transitoire = a.fenetre->get_transient_for() == &principale;
        a.choisir(0);
    };
    dialogues.alerte("Connexion impossible", "Impossible de joindre le serveur.");
    ASSERT_EQ(vus.size(), 1u);
    EXPECT_EQ(vus[0].genre, Genre::alerte);
    EXPECT_EQ(vus[0].message, "Impossible de joindre le serveur.");
    EXPECT_EQ(vus[0].boutons, std::vector<std::string>{"OK"});
    EXPECT_TRUE(visible);
    EXPECT_TRUE(modale);
    EXPECT_TRUE(transitoire);
    EXPECT_EQ(dialogues.ouverts(), 0);
}

TEST_F(DialoguesGtkTest, ChaqueBoutonDonneSonIndice) {
    const std::vector<std::string> boutons{"Imprimer", "Quitter sans imprimer", "Annuler"};
    for (int choix = 0; choix < 3; ++choix) {
        reponses["Fiche"] = [choix](const Affiche& a) { a.choisir(choix); };
        EXPECT_EQ(dialogues.question("Fiche", "Le code n'est pas imprimé.", boutons), choix);
    }
    ASSERT_EQ(vus.size(), 3u);
    EXPECT_EQ(vus[0].genre, Genre::question);
    EXPECT_EQ(vus[0].boutons, boutons);
}

TEST_F(DialoguesGtkTest, EntreeRepondLePremierBoutonQuiALeFocus) {
    bool premierAuFocus = false;
    reponses["Question"] = [&](const Affiche& a) {
        auto* dialogue = dynamic_cast<Gtk::Dialog*>(a.fenetre);
        premierAuFocus = dialogue && dialogue->get_focus() == dialogue->get_widget_for_response(0);
        a.entrer();
    };
    EXPECT_EQ(dialogues.question("Question", "", {"Oui", "Non", "Annuler"}), 0);
    EXPECT_TRUE(premierAuFocus);
}

TEST_F(DialoguesGtkTest, EchapOuFermerLaFenetreNeChoisitAucunBouton) {
    reponses["Question"] = [](const Affiche& a) { a.echapper(); };
    EXPECT_EQ(dialogues.question("Question", "", {"Rester", "Partir"}), -1);
    reponses["Question"] = [](const Affiche& a) { a.fenetre->close(); };
    EXPECT_EQ(dialogues.question("Question", "", {"Oui", "Non", "Annuler"}), -1);
    // An alert closed with Escape still returns.
    reponses["Alerte"] = [](const Affiche& a) { a.echapper(); };
    dialogues.alerte("Alerte", "message");
    EXPECT_EQ(vus.size(), 3u);
}

TEST_F(DialoguesGtkTest, UneQuestionSansBoutonEstUneAlerte) {
    reponses["Vide"] = [](const Affiche& a) { a.choisir(0); };
    EXPECT_EQ(dialogues.question("Vide", "", {}), 0);
    ASSERT_EQ(vus.size(), 1u);
    EXPECT_EQ(vus[0].boutons, std::vector<std::string>{"OK"});
}

TEST_F(DialoguesGtkTest, UnDialogueOuvertPendantUnAutreRecoitSaPropreReponse) {
    int reponseInterieure = -1;
    int ouvertsPendantLeSecond = 0;
    reponses["Premier"] = [&](const Affiche& premier) {
        reponses["Second"] = [&](const Affiche& second) {
            ouvertsPendantLeSecond = dialogues.ouverts();
            second.choisir(1);
        };
        // Delivered by the first dialog's loop, as a web view callback would be.
        reponseInterieure = dialogues.question("Second", "", {"A", "B", "C"});
        premier.choisir(0);
    };
    EXPECT_EQ(dialogues.question("Premier", "", {"Oui", "Non"}), 0);
    EXPECT_EQ(reponseInterieure, 1);
    EXPECT_EQ(ouvertsPendantLeSecond, 2);
    EXPECT_EQ(dialogues.ouverts(), 0);
}

TEST_F(DialoguesGtkTest, LePremierDialogueReponduAvantLeSecondGardeSaReponse) {
    // The outer dialog is answered while the inner one still waits: each call still returns
    // its own answer, the outer one once the inner one has returned.
    int reponseInterieure = -1;
    reponses["Premier"] = [&](const Affiche& premier) {
        reponses["Second"] = [&, premier](const Affiche& second) {
            premier.choisir(2);
            essais::laisserTourner(std::chrono::milliseconds(50));
            second.choisir(0);
        };
        reponseInterieure = dialogues.question("Second", "", {"A", "B"});
    };
    EXPECT_EQ(dialogues.question("Premier", "", {"Oui", "Non", "Annuler"}), 2);
    EXPECT_EQ(reponseInterieure, 0);
}

TEST_F(DialoguesGtkTest, LesGestesApresLaReponseNeFontRien) {
    Affiche garde;
    reponses["Question"] = [&](const Affiche& a) {
        garde = a;
        a.choisir(1);
    };
    EXPECT_EQ(dialogues.question("Question", "", {"Oui", "Non"}), 1);
    // The dialog has gone: its gestures are inert instead of touching a destroyed widget.
    garde.choisir(0);
    garde.echapper();
    EXPECT_EQ(dialogues.ouverts(), 0);
}

TEST_F(DialoguesGtkTest, SaisieDonneLeTexteTapeOuRienQuandAnnulee) {
    std::string initial;
    reponses["Adresse"] = [&](const Affiche& a) {
        initial = a.texteSaisi();
        a.ecrire("192.168.1.20:8080");
        a.entrer();
    };
    EXPECT_EQ(dialogues.saisie("Adresse", "Adresse de l'Ovrel", "ovrel.local"), "192.168.1.20:8080");
    EXPECT_EQ(initial, "ovrel.local");
    ASSERT_EQ(vus.size(), 1u);
    EXPECT_EQ(vus[0].genre, Genre::saisie);
    EXPECT_EQ(vus[0].boutons, (std::vector<std::string>{"OK", "Annuler"}));

    reponses["Adresse"] = [](const Affiche& a) {
        a.ecrire("autre");
        a.choisir(1);
    };
    EXPECT_EQ(dialogues.saisie("Adresse", "", ""), std::nullopt);
    reponses["Adresse"] = [](const Affiche& a) { a.echapper(); };
    EXPECT_EQ(dialogues.saisie("Adresse", "", "x"), std::nullopt);
    // OK with the text left as it was.
    reponses["Adresse"] = [](const Affiche& a) { a.choisir(0); };
    EXPECT_EQ(dialogues.saisie("Adresse", "", "tel quel"), "tel quel");
}

class ChoixFichiersTest : public DialoguesGtkTest {
protected:
    essais::DossierTemporaire dossier;
};

TEST_F(ChoixFichiersTest, EnregistrerDonneLeCheminChoisiOuRien) {
    const auto cible = dossier.chemin() / "livret-AB12.pdf";
    bool designe = false;
    reponses["Enregistrer le livret"] = [&](const Affiche& a) {
        designe = a.designer(cible);
        a.choisir(0);
    };
    EXPECT_EQ(dialogues.enregistrer("Enregistrer le livret", "livret.pdf"), cible);
    EXPECT_TRUE(designe);
    ASSERT_EQ(vus.size(), 1u);
    EXPECT_EQ(vus[0].genre, Genre::enregistrer);
    EXPECT_EQ(vus[0].boutons, (std::vector<std::string>{"Enregistrer", "Annuler"}));

    reponses["Enregistrer le livret"] = [&](const Affiche& a) { a.echapper(); };
    EXPECT_EQ(dialogues.enregistrer("Enregistrer le livret", "livret.pdf"), std::nullopt);
}

TEST_F(ChoixFichiersTest, OuvrirDonneLeFichierChoisiOuUneListeVide) {
    const auto fichier = dossier.chemin() / "sauvegarde.ovrelbk";
    std::ofstream(fichier) << "contenu";
    reponses["Importer"] = [&](const Affiche& a) {
        EXPECT_TRUE(a.designer(fichier));
        // The chooser lists the folder in the background before it can select the file.
        essais::laisserTourner(std::chrono::milliseconds(300));
        a.choisir(0);
    };
    EXPECT_EQ(dialogues.ouvrir("Importer", "Choisissez le fichier à importer dans l'Ovrel", "Importer", true),
              std::vector<std::filesystem::path>{fichier});
    ASSERT_EQ(vus.size(), 1u);
    EXPECT_EQ(vus[0].genre, Genre::ouvrir);
    EXPECT_EQ(vus[0].message, "Choisissez le fichier à importer dans l'Ovrel");
    EXPECT_EQ(vus[0].boutons, (std::vector<std::string>{"Importer", "Annuler"}));

    reponses["Importer"] = [](const Affiche& a) { a.choisir(1); };
    EXPECT_TRUE(dialogues.ouvrir("Importer", "", "Importer", false).empty());
}

TEST_F(ChoixFichiersTest, DossierDonneLeDossierChoisiOuRien) {
    const auto projet = dossier.chemin() / "projet";
    std::filesystem::create_directory(projet);
    reponses["Dossier du projet"] = [&](const Affiche& a) {
        EXPECT_TRUE(a.designer(projet));
        essais::laisserTourner(std::chrono::milliseconds(300));
        a.choisir(0);
    };
    EXPECT_EQ(dialogues.dossier("Dossier du projet", "Choisissez le dossier"), projet);
    reponses["Dossier du projet"] = [](const Affiche& a) { a.echapper(); };
    EXPECT_EQ(dialogues.dossier("Dossier du projet", ""), std::nullopt);
}

}  // namespace
}  // namespace ovrel
