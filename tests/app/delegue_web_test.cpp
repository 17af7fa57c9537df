// What the application object decides on the web view's events: certificates of boxes, where
// downloads go and how they end, failed loads, the pages' own dialogs and file inputs.
#include "app/constantes.h"
#include "connexion/habilitation.h"
#include "tests/faux/banc_delegue.h"
#include "web/adresses.h"

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

TEST_F(DelegueWeb, UnChargementQuiEchoueLeDitSaufSIlAEteRemplaceOuDetourne) {
    const std::string page = URL_STUDIO() + "/parc";
    const std::string fiche = "https://" + HOTE_STUDIO() + "/admin/etiquette/B-0042";
    const ErreurTransport refus{"g-io-error-quark", 39, "refusé"};
    struct Cas {
        const char* nom;
        std::optional<std::string> affichee;  // what the view shows when the load fails
        std::string echouee;
        ErreurTransport erreur;
        bool avantEngagement;
        bool alerte;
        bool question;
        Ecran ecranApres;
        bool parcConnu = false;  // a fleet copy is stored
        bool habilite = false;   // the local authorization is valid
    };
    for (const Cas& c : std::vector<Cas>{
             {"remplacé", page, page, {"WebKitNetworkError", 302, ""}, true, false, false, Ecran::web},
             {"détourné", page, page, {"WebKitPolicyError", 102, ""}, true, false, false, Ecran::web},
             {"après engagement", page, page, refus, false, false, false, Ecran::web},
             {"page à l'écran", page, page, refus, true, true, false, Ecran::web},
             {"rien à l'écran", std::nullopt, page, {"g-io-error-quark", 24, "délai"}, true, true, false,
              Ecran::connexion},
             {"nouvelle fiche", page, fiche, refus, true, false, true, Ecran::web},
             {"fiche déjà à l'écran", fiche, fiche, refus, true, true, false, Ecran::web},
             // The fleet page of a known fleet: the native screen, without a word.
             {"parc connu", page, URL_STUDIO(), refus, true, false, false, Ecran::parc, true},
             {"parc inconnu", page, URL_STUDIO(), refus, true, true, false, Ecran::web},
             {"rien, parc connu", std::nullopt, page, refus, true, true, false, Ecran::parc, true, true},
             {"rien, habilité", std::nullopt, page, refus, true, true, false, Ecran::box, false, true},
         }) {
        SCOPED_TRACE(c.nom);
        BancDelegue banc;
        banc.ecrans.ecran = Ecran::web;
        banc.engager(c.affichee);
        banc.systeme.lignes.clear();
        banc.dialogues.choisir("Réessayer");
        if (c.parcConnu) banc.preferences.ecrire({{"parc_cache", Octets{"{}"}}});
        if (c.habilite) Habilitation::enregistrer(banc.preferences, "jeton", 2e9, "Org");

        banc.vue.ecouteur->chargementEchoue(c.echouee, c.erreur, c.avantEngagement);

        const std::string code = c.erreur.domaine + " " + std::to_string(c.erreur.code);
        std::vector<DialogueMontre> attendus;
        if (c.question)
            attendus.push_back({GenreDialogue::question, "La fiche d'étiquette n'a pas pu s'afficher",
                                "Son code n'est que dans cette demande (le cloud n'en garde qu'une empreinte). "
                                "Réessayez tant que l'app est ouverte ; sinon, « Refaire l'étiquette » dans l'Atelier "
                                "en donnera une nouvelle — la box, elle, est bien fabriquée.\n(" + code + ")",
                                {"Réessayer", "Abandonner cette fiche"}, {}, false});
        if (c.alerte)
            attendus.push_back({GenreDialogue::alerte, "Connexion impossible",
                                "Impossible de joindre le serveur.\nVérifiez le réseau, puis réessayez.\n(" + code + ")",
                                {"OK"}, {}, false});
        EXPECT_EQ(banc.dialogues.montres, attendus);
        const bool signale = c.alerte || c.question || c.parcConnu;
        EXPECT_EQ(banc.systeme.lignes.size(), signale ? 1u : 0u);
        if (signale) {
            EXPECT_EQ(banc.systeme.lignes[0], "OVREL ECHEC NAV: " + code + " — " + adresseSansSecret(c.echouee) +
                                                  " — sous-jacent: —");
        }
        // "Réessayer" loads the sheet again.
        std::vector<ChargementWeb> rechargees;
        if (c.question) rechargees.push_back({fiche, std::chrono::seconds(60)});
        EXPECT_EQ(banc.vue.chargements, rechargees);
        EXPECT_EQ(banc.ecrans.ecran, c.ecranApres);
    }
}

}  // namespace
