// The workshop in the application object: the boxes of this network with their state from the
// cloud's registry, read with the view's session; building a box, a new label, and the attach of
// a legacy box through the project's tool.
#include "app/constantes.h"
#include "atelier/rattachement.h"
#include "plateforme/json.h"
#include "tests/faux/banc_delegue.h"
#include "tests/faux/dossier_temporaire.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>

using namespace ovrel;

namespace {

std::string urlRegistre() { return BASE_CLOUD() + "/admin/api/parc"; }

class DelegueAtelier : public ::testing::Test, protected BancDelegue {
protected:
    // Two boxes of this network: a registered one in service (its serial written another way in
    // the registry) and a blank one that the registry, wrongly, also lists in service.
    void deuxBoxes() {
        decouverte.resoudre("box-a.local", 8000);
        decouverte.resoudre("box-b.local", 8000);
        http.repondre(HttpFaux::reponse(200, R"({"produit":"ovrel-box","nom":"Cuisine","serie":"KB0042","enregistree":true})"));
        http.repondre(HttpFaux::reponse(200, R"({"produit":"ovrel-box","serie":"OV25X0007","empreinte":"e3b0","enregistree":false})"));
        minuteries.vider();
    }
};

TEST_F(DelegueAtelier, LesBoxesDuReseauPrennentLeurEtatDuRegistreLuAvecLaSessionDeLaVue) {
    vue.magasin.push_back(cookieEssai("session_console", "s1", "studio." + std::string(DOMAINE_CLOUD)));
    http.retenir = true;
    delegue->montrerAtelier();
    EXPECT_EQ(ecrans.ecran, Ecran::atelier);
    EXPECT_TRUE(decouverte.enCours);
    ASSERT_TRUE(ecranAtelier.lignes);
    EXPECT_TRUE(ecranAtelier.lignes->empty());  // the waiting label
    minuteries.vider();
    // The registry request carries the view's session, copied into the shared jar first.
    ASSERT_EQ(http.requetes.size(), 1u);
    EXPECT_EQ(http.requetes[0].url, urlRegistre());
    ASSERT_FALSE(http.jar.empty());
    EXPECT_EQ(http.jar[0].nom, "session_console");
    http.repondre(HttpFaux::reponse(200, R"({"ovrels":[{"id":"r1","serie":"kb-00 42","statut":"en_service"},
                                                       {"id":"r2","serie":"OV25X0007","statut":"en_service"}]})"));
    minuteries.vider();
    deuxBoxes();
    ASSERT_EQ(ecranAtelier.lignes->size(), 2u);
    EXPECT_EQ((*ecranAtelier.lignes)[0].texte, "Cuisine — box-a.local  ·  en service chez son client");
    EXPECT_EQ((*ecranAtelier.lignes)[0].geste, GesteAtelier::aucun);
    EXPECT_EQ((*ecranAtelier.lignes)[1].texte, "Ovrel e3b0 — box-b.local  ·  à fabriquer");
    EXPECT_EQ((*ecranAtelier.lignes)[1].geste, GesteAtelier::fabriquer);

    // "Actualiser la recherche" reads the registry again; refused, it is empty, without a word.
    delegue->actionActualiser();
    minuteries.vider();
    ASSERT_EQ(http.requetes.size(), 4u);
    EXPECT_EQ(http.requetes[3].url, urlRegistre());
    http.repondre(HttpFaux::reponse(401, R"({"erreur":"session"})"));
    minuteries.vider();
    deuxBoxes();
    EXPECT_EQ((*ecranAtelier.lignes)[0].texte, "Cuisine — box-a.local  ·  déjà fabriqué");
    EXPECT_TRUE(dialogues.montres.empty());
}

// The workshop on screen with one blank box of this network that sent no fingerprint (it is
// built under its serial) and a registered one the registry has in stock.
class Fabrication : public DelegueAtelier {
protected:
    void SetUp() override {
        delegue->montrerAtelier();
        minuteries.vider();
        http.repondre(HttpFaux::reponse(200, R"({"ovrels":[{"id":"b0c5-1","serie":"KB0042","statut":"en_stock"}]})"));
        decouverte.resoudre("box-vierge.local", 8000);
        decouverte.resoudre("box-a.local", 8000);
        minuteries.vider();
        http.repondre(HttpFaux::reponse(200, R"({"produit":"ovrel-box","serie":"OV25X0007","enregistree":false})"));
        http.repondre(HttpFaux::reponse(200, R"({"produit":"ovrel-box","nom":"Cuisine","serie":"KB0042","enregistree":true})"));
        minuteries.vider();
        http.requetes.clear();
        http.retenir = true;
    }
    // Presses "Fabriquer" on the blank box; the cloud's answer is left waiting.
    void fabriquer() {
        delegue->fabriquerBoxAction("box-vierge.local:8000");
        minuteries.vider();
    }

public:
    static constexpr const char* IDENTITE =
        R"({"serie":"OV25X0007","jeton":"j-secret","code":"C0D3-9","site_id":"51e0-7"})";
};

TEST_F(Fabrication, LeCloudCreeLIdentiteLaBoxLaRecoitEtSaFicheSOuvre) {
    fabriquer();
    EXPECT_TRUE(delegue->fabricationEnCours());
    EXPECT_EQ(ecranAtelier.etiquette, "Fabrication de l'Ovrel OV25X0007 en cours…");
    // A second press and the web console only beep while the build runs.
    delegue->fabriquerBoxAction("box-vierge.local:8000");
    delegue->ouvrirConsole();
    EXPECT_EQ(dialogues.bips, 2);
    ASSERT_EQ(http.requetes.size(), 1u);
    const RequeteHttp& cloud = http.requetes[0];
    EXPECT_EQ(std::tie(cloud.methode, cloud.url), std::tie("POST", URL_FABRIQUER()));
    EXPECT_EQ(cloud.corps, R"({"empreinte":"OV25X0007"})");
    EXPECT_EQ(cloud.entetes, (Entetes{{"Content-Type", "application/json"}}));
    EXPECT_EQ(cloud.delai, std::chrono::seconds(15));

    // Without "nom", the box is named by its serial.
    http.repondre(HttpFaux::reponse(200, IDENTITE));
    minuteries.vider();
    ASSERT_EQ(http.requetes.size(), 2u);
    const RequeteHttp& box = http.requetes[1];
    EXPECT_EQ(std::tie(box.methode, box.url), std::tie("POST", "http://box-vierge.local:8000/api/atelier/enregistrer"));
    EXPECT_EQ(box.corps, R"({"serie":"OV25X0007","jeton":"j-secret","api":)" + json::litteral(URL_PORTAIL()) +
                             R"(,"nom":"OV25X0007"})");
    EXPECT_TRUE(box.independante);
    EXPECT_TRUE(delegue->fabricationEnCours());

    http.repondre(HttpFaux::reponse(200, "{}"));
    minuteries.vider();
    EXPECT_FALSE(delegue->fabricationEnCours());
    EXPECT_EQ(ecranAtelier.etiquette, "");
    EXPECT_EQ(ecrans.ecran, Ecran::web);
    ASSERT_FALSE(vue.chargements.empty());
    EXPECT_EQ(vue.chargements.back().url, BASE_CLOUD() + "/admin/etiquette/51e0-7?code=C0D3-9");
    EXPECT_TRUE(dialogues.montres.empty());
    // Retour leads back to the workshop, searching again.
    delegue->actionRetour();
    ASSERT_FALSE(vue.scripts.empty());
    vue.repondreScript(vue.scripts.size() - 1, "0");
    minuteries.vider();
    EXPECT_EQ(ecrans.ecran, Ecran::atelier);
}

// Every failure ends the build with its alert on the workshop, which stays usable: the next
// press sends a new identity request.
class EchecFabrication : public Fabrication,
                         public ::testing::WithParamInterface<std::tuple<ReponseHttp, ReponseHttp, std::string>> {};

TEST_P(EchecFabrication, AlerteEtAtelierDeNouveauUtilisable) {
    const auto& [cloud, box, titre] = GetParam();
    fabriquer();
    http.repondre(cloud);
    minuteries.vider();
    if (http.enAttente() > 0) http.repondre(box);
    minuteries.vider();
    ASSERT_EQ(dialogues.montres.size(), 1u);
    EXPECT_EQ(dialogues.montres[0].titre, titre);
    if (titre == "Injection impossible")
        EXPECT_EQ(dialogues.montres[0].message, "L'Ovrel OV25X0007 (box-vierge.local) n'a pas accepté son identité "
                                                "(déjà enregistré, ou hors du réseau local ?).");
    else
        EXPECT_EQ(http.requetes.size(), 1u);  // the box was never touched
    EXPECT_FALSE(delegue->fabricationEnCours());
    EXPECT_EQ(ecranAtelier.etiquette, "");
    EXPECT_EQ(ecrans.ecran, Ecran::atelier);
    const auto envoyees = http.requetes.size();
    fabriquer();
    ASSERT_EQ(http.requetes.size(), envoyees + 1);
    EXPECT_EQ(http.requetes.back().url, URL_FABRIQUER());
    EXPECT_EQ(dialogues.bips, 0);
}

const ReponseHttp OK = HttpFaux::reponse(200, "{}");
INSTANTIATE_TEST_SUITE_P(
    Fabrication, EchecFabrication,
    ::testing::Values(
        std::make_tuple(HttpFaux::reponse(201, Fabrication::IDENTITE), OK, "Fabrication impossible"),
        std::make_tuple(HttpFaux::reponse(200, R"({"serie":"S","jeton":"j","code":"c"})"), OK, "Fabrication impossible"),
        std::make_tuple(HttpFaux::reponse(200, "<html>"), OK, "Fabrication impossible"),
        std::make_tuple(HttpFaux::echec("g-io-error-quark", 39), OK, "Fabrication impossible"),
        // A site or code that makes no address: the box keeps its blank state.
        std::make_tuple(HttpFaux::reponse(200, R"({"serie":"S","jeton":"j","code":"a b","site_id":"x y"})"), OK,
                        "Fabrication impossible"),
        std::make_tuple(HttpFaux::reponse(200, Fabrication::IDENTITE), HttpFaux::reponse(500, "{}"), "Injection impossible"),
        std::make_tuple(HttpFaux::reponse(200, Fabrication::IDENTITE), HttpFaux::echec("g-io-error-quark", 24),
                        "Injection impossible")));

TEST_F(Fabrication, UnAppareilSansIdentiteNeDemandeRienAuCloud) {
    decouverte.resoudre("box-muette.local", 8000);
    minuteries.vider();
    http.repondre(HttpFaux::echec("g-io-error-quark", 24));
    minuteries.vider();
    http.requetes.clear();
    delegue->fabriquerBoxAction("box-muette.local:8000");
    ASSERT_EQ(dialogues.montres.size(), 1u);
    EXPECT_EQ(dialogues.montres[0].titre, "Fabrication impossible");
    EXPECT_TRUE(http.requetes.empty());
    EXPECT_FALSE(delegue->fabricationEnCours());
}

TEST_F(Fabrication, RefaireLEtiquetteOuvreLaFicheConsoleApresConfirmation) {
    // Cancelled: the search goes on and nothing opens.
    delegue->refaireEtiquetteAction("box-a.local:8000");
    ASSERT_EQ(dialogues.montres.size(), 1u);
    EXPECT_EQ(dialogues.montres[0].titre, "Refaire l'étiquette de Cuisine ?");
    EXPECT_EQ(dialogues.montres[0].boutons, (std::vector<std::string>{"Ouvrir la fiche console", "Annuler"}));
    EXPECT_TRUE(decouverte.enCours);
    EXPECT_EQ(ecrans.ecran, Ecran::atelier);

    dialogues.choisir("Ouvrir la fiche console");
    delegue->refaireEtiquetteAction("box-a.local:8000");
    minuteries.vider();
    EXPECT_FALSE(decouverte.enCours);
    EXPECT_EQ(ecrans.ecran, Ecran::web);
    ASSERT_FALSE(vue.chargements.empty());
    // The registry's id of the box, not its site's.
    EXPECT_EQ(vue.chargements.back().url, BASE_CLOUD() + "/admin/box/b0c5-1");
    EXPECT_TRUE(http.requetes.empty());

    // A box gone from this network, or one the registry does not know, asks nothing.
    delegue->refaireEtiquetteAction("box-partie.local:8000");
    delegue->refaireEtiquetteAction("box-vierge.local:8000");
    EXPECT_EQ(dialogues.montres.size(), 2u);
}

// The attach of a legacy box, with a project folder of the test's own.
class Rattachement : public DelegueAtelier {
protected:
    essais::DossierTemporaire dossier;
    const std::filesystem::path& projet = dossier.chemin();
    void SetUp() override {
        ASSERT_FALSE(projet.empty());
        std::filesystem::create_directories(projet / "outils");
        std::filesystem::create_directories(projet / "serveur");
        std::ofstream(projet / "outils/rattacher-ovrel.sh") << "exit 0\n";
        std::ofstream(projet / "serveur/VERSION") << " 0.82.1\n";
    }
    // Confirms the attach of `adresse` with the project known from the environment.
    void rattacher(const std::string& adresse) {
        Configuration configuration;
        configuration.projet = projet;
        refaireDelegue(configuration);
        ecranAtelier.ancien = adresse;
        dialogues.choisir("Rattacher");
        delegue->rattacherAncienAction();
        minuteries.vider();
    }
};

TEST_F(Rattachement, LOutilTourneEnDirectPuisSonRapportFaitFabriquerLaBoxSurLePort8000) {
    rattacher("  192.168.0.67:22\n");
    ASSERT_EQ(dialogues.montres.size(), 1u);
    EXPECT_EQ(dialogues.montres[0].titre, "Rattacher « 192.168.0.67:22 » ?");
    EXPECT_NE(dialogues.montres[0].message.find("passer en version 0.82.1,"), std::string::npos);
    EXPECT_EQ(preferences.texte(CLE_ADRESSE_ANCIEN), "192.168.0.67:22");
    ASSERT_EQ(processus.lancements.size(), 1u);
    EXPECT_EQ(processus.lancements[0].executable, "/bin/bash");
    EXPECT_EQ(processus.lancements[0].arguments,
              (std::vector<std::string>{(projet / "outils/rattacher-ovrel.sh").string(), "192.168.0.67:22", "--source",
                                        projet.string()}));
    EXPECT_EQ(processus.lancements[0].dossier, projet);
    EXPECT_EQ(journalAtelier.titre, "Rattachement de 192.168.0.67:22");
    EXPECT_FALSE(ecranAtelier.rattacherActif);
    EXPECT_EQ(ecranAtelier.etiquette, "Rattachement de 192.168.0.67:22 en cours…");

    // A character cut between two reads, an invalid byte, and two reports of which the last
    // counts, followed by more output.
    processus.ecrire("Mise à jour… \xC3");
    processus.ecrire("\xA9t\xFF\nRESULTAT: {\"ok\":false,\"erreur\":\"premier\"}\n");
    processus.ecrire(R"(RESULTAT: {"ok":true,"enregistree":false,"serie":"OV19","empreinte":"e-ancien","version_apres":"0.82.1"})"
                     "\nfin\n");
    minuteries.vider();
    EXPECT_TRUE(journalAtelier.texte.starts_with("Mise à jour… ét\uFFFD\nRESULTAT: {\"ok\":false")) << journalAtelier.texte;
    http.retenir = true;
    processus.finir(1);
    minuteries.vider();
    EXPECT_TRUE(ecranAtelier.rattacherActif);
    EXPECT_EQ(dialogues.montres.size(), 1u);
    EXPECT_TRUE(journalAtelier.texte.ends_with("fin\n\n→ Fabrication de l'identité au cloud…\n"));
    // The follow-up build: the fingerprint to the cloud, then the box on its web port.
    EXPECT_EQ(ecranAtelier.etiquette, "Fabrication de l'Ovrel e-ancien en cours…");
    ASSERT_EQ(http.requetes.size(), 1u);
    EXPECT_EQ(http.requetes[0].corps, R"({"empreinte":"e-ancien"})");
    http.repondre(HttpFaux::reponse(200, R"({"serie":"OV19","jeton":"j","code":"c","site_id":"s"})"));
    minuteries.vider();
    ASSERT_EQ(http.requetes.size(), 2u);
    EXPECT_EQ(http.requetes[1].url, "http://192.168.0.67:8000/api/atelier/enregistrer");
}

TEST_F(Rattachement, QuitterPendantQueLOutilTourneDemandeConfirmation) {
    rattacher("box-ancienne.local");
    EXPECT_EQ(delegue->applicationShouldTerminate([] {}), ReponseTerminaison::annuler);  // Escape: it stays
    ASSERT_EQ(dialogues.montres.size(), 2u);
    EXPECT_EQ(dialogues.montres[1].titre, "Un rattachement est en cours");
    dialogues.choisir("Quitter quand même");
    EXPECT_EQ(delegue->applicationShouldTerminate([] {}), ReponseTerminaison::plusTard);
}

TEST_F(Rattachement, SansAdresseSansProjetOuSansLancementRienNeTourne) {
    ecranAtelier.ancien = " \n";
    delegue->rattacherAncienAction();
    ASSERT_EQ(dialogues.montres.size(), 1u);
    EXPECT_EQ(dialogues.montres[0].titre, "Adresse manquante");

    // A folder without the tool is stored, and still refused.
    std::filesystem::remove(projet / "outils/rattacher-ovrel.sh");
    ecranAtelier.ancien = "box-ancienne.local";
    dialogues.fichiers.push_back(projet);
    delegue->rattacherAncienAction();
    ASSERT_EQ(dialogues.montres.size(), 3u);
    EXPECT_EQ(dialogues.montres[1].genre, GenreDialogue::dossier);
    EXPECT_EQ(dialogues.montres[2].titre, "Version introuvable");
    EXPECT_EQ(preferences.texte(CLE_RACINE_CHANTIER), projet.string());
    EXPECT_TRUE(processus.lancements.empty());

    // The stored folder, once it holds the tool, is found without asking; a tool that cannot
    // start says why in the log only, and the button comes back.
    std::ofstream(projet / "outils/rattacher-ovrel.sh") << "exit 0\n";
    dialogues.choisir("Rattacher");
    delegue->rattacherAncienAction();
    minuteries.vider();
    ASSERT_EQ(processus.lancements.size(), 1u);
    processus.echouerLancement("Failed to execute child process “/bin/bash” (No such file or directory)");
    minuteries.vider();
    EXPECT_TRUE(ecranAtelier.rattacherActif);
    EXPECT_EQ(ecranAtelier.etiquette, "");
    EXPECT_EQ(journalAtelier.texte,
              "\nImpossible de lancer l'outil : Failed to execute child process “/bin/bash” (No such file or directory)\n");
    EXPECT_EQ(dialogues.montres.size(), 4u);  // the confirmation, no alert
}

// A build started from the list while the tool runs: the attach's own build cannot follow, and the
// user is told what to do; a new attach only beeps until the build ends.
TEST_F(Rattachement, UneFabricationEnCoursPendantLeRattachement) {
    rattacher("192.168.0.67");
    BoxTrouvee vierge;
    vierge.hote = "box-vierge.local";
    vierge.port = 8000;
    vierge.serie = "S1";
    delegue->fabriquerBox(vierge);
    processus.ecrire(R"(RESULTAT: {"ok":true,"enregistree":false,"empreinte":"e-ancien"})");
    processus.finir(0);
    minuteries.vider();
    ASSERT_EQ(dialogues.montres.size(), 2u);
    EXPECT_EQ(dialogues.montres[1].titre, "Identité impossible");
    EXPECT_EQ(dialogues.bips, 0);
    delegue->rattacherAncienAction();
    EXPECT_EQ(dialogues.bips, 1);
    EXPECT_EQ(processus.lancements.size(), 1u);
}

}  // namespace
