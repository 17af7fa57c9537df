// What the application object decides on the web view's events: certificates of boxes, where
// downloads go and how they end, the pages' own dialogs and file inputs.
#include "app/constantes.h"
#include "tests/faux/banc_delegue.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

using namespace ovrel;

namespace {

class DelegueWeb : public ::testing::Test, protected BancDelegue {};

TEST_F(DelegueWeb, SeulUnHoteDeBoxSousLeSuffixeVoitSonCertificatAccepte) {
    const std::string domaine(DOMAINE_CLOUD);
    struct Cas {
        std::string hote;
        std::string sujet;
        bool accepte;
    };
    for (const Cas& c : std::vector<Cas>{
             {"b-0042.box." + domaine, "CN=B-0042", true},
             {"B-0042.BOX." + domaine, "", true},  // compared lower-cased; no subject, no CN line
             {HOTE_STUDIO(), "CN=studio", false},
             {"xbox." + domaine, "CN=x", false},   // the suffix's letters without its dot
             {"b-1.box." + domaine + ".ailleurs.example", "CN=b", false},
             {"box." + domaine, "CN=box", false},
         }) {
        SCOPED_TRACE(c.hote);
        systeme.lignes.clear();
        EchecCertificat echec{"https://" + c.hote + "/studio", c.hote, c.sujet, 0x2};
        ASSERT_NE(vue.ecouteur, nullptr);
        EXPECT_EQ(vue.ecouteur->certificatRefuse(echec), c.accepte);

        std::string hote = c.hote;
        for (char& ch : hote) ch = static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch);
        std::vector<std::string> attendues{"OVREL DEFI TLS: hote=" + hote + " methode=certificat-serveur"};
        if (c.accepte) {
            if (!c.sujet.empty()) attendues.push_back("OVREL DEFI TLS: CN=" + c.sujet + " (hôte attendu " + hote + ")");
            attendues.push_back("OVREL DEFI TLS: accepté pour " + hote + " (exceptions posées)");
        }
        EXPECT_EQ(systeme.lignes, attendues);
    }
}

TEST_F(DelegueWeb, UnTelechargementVaOuLUtilisateurLeDitEtSeMontreFini) {
    EvenementsVueWeb& evenements = *vue.ecouteur;
    std::vector<std::optional<std::filesystem::path>> reponses;
    auto repondre = [&](std::optional<std::filesystem::path> f) { reponses.push_back(std::move(f)); };

    // Chosen, then finished: shown in the file manager.
    dialogues.fichiers = {std::filesystem::path("/home/a/Téléchargements/sauvegarde.ovrelbk"), std::nullopt};
    evenements.telechargementCommence(1, "https://" + HOTE_STUDIO() + "/b.ovrelbk");
    evenements.destinationTelechargement(1, "sauvegarde.ovrelbk", repondre);
    // Cancelled: an empty suggested name proposes "fichier-ovrel"; the end of the cancelled
    // download is silent.
    evenements.destinationTelechargement(2, "", repondre);
    evenements.telechargementEchoue(2, ErreurTransport{"WebKitDownloadError", 400, "annulé"}, true);
    evenements.telechargementTermine(1);
    evenements.telechargementTermine(1);  // told twice: shown once

    ASSERT_EQ(dialogues.montres.size(), 2u);
    EXPECT_EQ(dialogues.montres[0].genre, GenreDialogue::enregistrer);
    EXPECT_EQ(dialogues.montres[0].titre, "Où enregistrer ce fichier de l'Ovrel ?");
    EXPECT_EQ(dialogues.montres[0].texteInitial, "sauvegarde.ovrelbk");
    EXPECT_EQ(dialogues.montres[1].texteInitial, "fichier-ovrel");
    EXPECT_EQ(reponses, (std::vector<std::optional<std::filesystem::path>>{
                            std::filesystem::path("/home/a/Téléchargements/sauvegarde.ovrelbk"), std::nullopt}));
    EXPECT_EQ(systeme.reveles, std::vector<std::filesystem::path>{"/home/a/Téléchargements/sauvegarde.ovrelbk"});
    EXPECT_EQ(systeme.lignes, (std::vector<std::string>{
                                  "OVREL TELECHARGEMENT → /home/a/Téléchargements/sauvegarde.ovrelbk",
                                  "OVREL TELECHARGEMENT: annulé",
                                  "OVREL TELECHARGEMENT: terminé → /home/a/Téléchargements/sauvegarde.ovrelbk",
                              }));
}

TEST_F(DelegueWeb, UnTelechargementQuiEchoueLeDitEtNeMontreRien) {
    EvenementsVueWeb& evenements = *vue.ecouteur;
    dialogues.fichiers = {std::filesystem::path("/tmp/rapport.pdf")};
    evenements.destinationTelechargement(3, "rapport.pdf", [](std::optional<std::filesystem::path>) {});
    systeme.lignes.clear();

    evenements.telechargementEchoue(3, ErreurTransport{"g-io-error-quark", 14, "disque plein"}, false);
    evenements.telechargementTermine(3);

    ASSERT_EQ(dialogues.montres.size(), 2u);
    EXPECT_EQ(dialogues.montres[1].genre, GenreDialogue::alerte);
    EXPECT_EQ(dialogues.montres[1].titre, "Téléchargement impossible");
    EXPECT_EQ(dialogues.montres[1].message, "Le fichier n'a pas pu être enregistré.\n(g-io-error-quark 14)");
    EXPECT_EQ(systeme.lignes, std::vector<std::string>{"OVREL TELECHARGEMENT ÉCHEC: g-io-error-quark 14"});
    EXPECT_TRUE(systeme.reveles.empty());
}

TEST_F(DelegueWeb, LesDialoguesDUnePagePassentParCeuxDeLApplication) {
    EvenementsVueWeb& evenements = *vue.ecouteur;
    struct Cas {
        GenreDialogueScript genre;
        std::function<void()> preparer;
        bool ok;
        std::optional<std::string> texte;
    };
    const std::vector<Cas> cas = {
        {GenreDialogueScript::alerte, [] {}, true, std::nullopt},
        {GenreDialogueScript::confirmation, [this] { dialogues.choisir("OK"); }, true, std::nullopt},
        {GenreDialogueScript::confirmation, [this] { dialogues.choisir("Annuler"); }, false, std::nullopt},
        {GenreDialogueScript::confirmation, [] {}, false, std::nullopt},  // closed: no button chosen
        {GenreDialogueScript::saisie, [this] { dialogues.saisies.push_back(std::string("B-0042")); }, true, "B-0042"},
        {GenreDialogueScript::saisie, [this] { dialogues.saisies.push_back(std::string()); }, true, ""},
        {GenreDialogueScript::saisie, [] {}, false, std::nullopt},  // cancelled: null, not ""
    };
    for (std::size_t i = 0; i < cas.size(); ++i) {
        SCOPED_TRACE(i);
        dialogues.montres.clear();
        cas[i].preparer();
        const auto reponse = evenements.dialogueScript(DialogueScript{cas[i].genre, "Question de la page", "défaut"});
        EXPECT_EQ(reponse.ok, cas[i].ok);
        EXPECT_EQ(reponse.texte, cas[i].texte);
        ASSERT_EQ(dialogues.montres.size(), 1u);
        EXPECT_EQ(dialogues.montres[0].titre, "Ovrel Studio");
        EXPECT_EQ(dialogues.montres[0].message, "Question de la page");
        if (cas[i].genre == GenreDialogueScript::confirmation) {
            EXPECT_EQ(dialogues.montres[0].boutons, (std::vector<std::string>{"OK", "Annuler"}));
        }
        if (cas[i].genre == GenreDialogueScript::saisie) {
            EXPECT_EQ(dialogues.montres[0].texteInitial, "défaut");
        }
    }

    // A file input: its texts, several files only when the page allows them, none when cancelled.
    dialogues.montres.clear();
    dialogues.ouvertures = {{"/tmp/a.json", "/tmp/b.json"}};
    EXPECT_EQ(evenements.fichiersDemandes(true), (std::vector<std::filesystem::path>{"/tmp/a.json", "/tmp/b.json"}));
    EXPECT_TRUE(evenements.fichiersDemandes(false).empty());
    ASSERT_EQ(dialogues.montres.size(), 2u);
    EXPECT_EQ(dialogues.montres[0].genre, GenreDialogue::ouvrir);
    EXPECT_EQ(dialogues.montres[0].message, "Choisissez le fichier à importer dans l'Ovrel");
    EXPECT_EQ(dialogues.montres[0].texteInitial, "Importer");
    EXPECT_TRUE(dialogues.montres[0].plusieurs);
    EXPECT_FALSE(dialogues.montres[1].plusieurs);
}

}  // namespace
