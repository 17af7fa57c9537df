// The faults the control endpoint switches on (errors, garbage, resets, refusals, slowness),
// the request journal, the control endpoint's own rules and the command line.
#include "support.h"

#include "app/constantes.h"
#include "connexion/documents.h"
#include "connexion/session.h"
#include "sante/lecture_parc.h"

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace ovrel::essais {
namespace {

class Scenarios : public ::testing::Test {
protected:
    void SetUp() override { sim.reinitialiser(); }
    Simulateur& sim = Simulateur::instance();

    std::string boxDurand() {
        const auto b = sim.box("durand");
        return "http://" + std::string(b.at("adresse").as_string()) + "/api/decouverte";
    }
    std::string tunnel(const std::string& chemin) {
        return "https://b-ov24a0001.box." + sim.domaine + ":" + std::to_string(sim.portTls) + chemin;
    }
};

TEST_F(Scenarios, UnStatutGlobalToucheToutLeCloudMaisPasLesBoxes) {
    sim.scenario(R"({"cloud": 500})");
    EXPECT_EQ(obtenir(BASE_CLOUD() + "/sante").statut, 500);
    EXPECT_EQ(obtenir(URL_PARC(), sim.cookie("installateur")).statut, 500);
    EXPECT_EQ(obtenir(sim.urlHote("www.", std::string(CHEMIN_MANIFESTE))).statut, 500);
    EXPECT_EQ(obtenir(tunnel("/studio/session?jeton=x")).statut, 500);
    EXPECT_EQ(obtenir(boxDurand()).statut, 200);
    sim.scenario(R"({"cloud": 401})");
    EXPECT_EQ(obtenir(URL_MOI(), sim.cookie("installateur")).statut, 401);
    sim.scenario(R"({"cloud": "normal"})");
    EXPECT_EQ(obtenir(URL_MOI(), sim.cookie("installateur")).statut, 200);
}

TEST_F(Scenarios, UnePannePeutNeToucherQuUnChemin) {
    sim.scenario(R"({"chemins": {"/studio/api/parc": 503, "/api/moi": "incoherent"}})");
    const std::string cookie = sim.cookie("installateur");
    EXPECT_EQ(obtenir(URL_PARC(), cookie).statut, 503);
    const Reponse moi = obtenir(URL_MOI(), cookie);
    EXPECT_EQ(moi.statut, 200);
    EXPECT_FALSE(lireDocumentUtilisateur(moi.corps));
    EXPECT_EQ(obtenir(URL_JETON_LOCAL(), cookie).statut, 200);
    // The map is replaced as a whole.
    sim.scenario(R"({"chemins": {}})");
    EXPECT_EQ(obtenir(URL_PARC(), cookie).statut, 200);
}

TEST_F(Scenarios, UnCloudIncoherentRepond200AvecUnCorpsIllisible) {
    sim.scenario(R"({"cloud": "incoherent"})");
    const std::string cookie = sim.cookie("installateur");
    const Reponse parc = obtenir(URL_PARC(), cookie);
    EXPECT_EQ(parc.statut, 200);
    EXPECT_FALSE(lireParc(parc.corps, true));
    EXPECT_FALSE(lireJetonLocal(obtenir(URL_JETON_LOCAL(), cookie).corps));
    EXPECT_FALSE(jetonDeRedirection(obtenir(*adresseEntreeTunnel(sim.idDeSerie("OV24A0001")), cookie).entete("location")));
}

TEST_F(Scenarios, UnCloudCoupeFermeLaConnexionSansReponse) {
    const std::uint64_t depuis = sim.suivantDuJournal();
    sim.scenario(R"({"cloud": "coupe"})");
    const Reponse r = obtenir(BASE_CLOUD() + "/sante");
    EXPECT_EQ(r.statut, 0);
    EXPECT_FALSE(r.domaineErreur.empty());
    const Reponse tls = obtenir(tunnel("/studio/session?jeton=x"));
    EXPECT_EQ(tls.statut, 0);
    EXPECT_FALSE(tls.domaineErreur.empty());
    const auto entrees = sim.journal(depuis);
    ASSERT_FALSE(entrees.empty());
    EXPECT_EQ(entrees[0].at("chemin"), "/sante");
    EXPECT_EQ(entrees[0].at("statut").as_int64(), 0);
    sim.scenario(R"({"cloud": "normal"})");
    EXPECT_EQ(obtenir(BASE_CLOUD() + "/sante").statut, 200);
}

TEST_F(Scenarios, UnCloudInjoignableRefuseLesConnexionsPuisRevientSurLesMemesPorts) {
    sim.scenario(R"({"cloud": "injoignable"})");
    const Reponse r = obtenir(BASE_CLOUD() + "/sante");
    EXPECT_EQ(r.statut, 0);
    EXPECT_EQ(r.domaineErreur, "g-io-error-quark");
    EXPECT_EQ(r.codeErreur, G_IO_ERROR_CONNECTION_REFUSED);
    EXPECT_EQ(obtenir(tunnel("/")).codeErreur, G_IO_ERROR_CONNECTION_REFUSED);
    EXPECT_EQ(obtenir(boxDurand()).statut, 200) << "les boxes du réseau local restent joignables";
    sim.scenario(R"({"cloud": "normal"})");
    EXPECT_EQ(obtenir(BASE_CLOUD() + "/sante").statut, 200);
    EXPECT_EQ(obtenir(tunnel("/")).statut, 401);
    // Resetting the simulator brings the cloud back as well.
    sim.scenario(R"({"cloud": "injoignable"})");
    sim.reinitialiser();
    EXPECT_EQ(obtenir(BASE_CLOUD() + "/sante").statut, 200);
}

TEST_F(Scenarios, UnCloudLentRepondApresLeDelai) {
    sim.scenario(R"({"lenteur_ms": 400})");
    const Reponse r = obtenir(BASE_CLOUD() + "/sante");
    EXPECT_EQ(r.statut, 200);
    EXPECT_GE(r.secondes, 0.39);
    const Reponse box = obtenir(boxDurand());
    EXPECT_EQ(box.statut, 200);
    EXPECT_LT(box.secondes, 0.3) << "les boxes ne sont pas ralenties";
    sim.scenario(R"({"lenteur_ms": 2500})");
    const Reponse tropLent = obtenir(BASE_CLOUD() + "/sante", std::nullopt, 1);
    EXPECT_EQ(tropLent.codeErreur, G_IO_ERROR_TIMED_OUT);
}

TEST_F(Scenarios, DesReponsesRetardeesDontLeClientEstPartiNeTroublentPasLeSimulateur) {
    const std::uint64_t depuis = sim.suivantDuJournal();
    sim.scenario(R"({"lenteur_ms": 1300})");
    // One request waits while the cloud goes down; another gives up before its answer.
    std::thread enAttente([] { obtenir(BASE_CLOUD() + "/sante", std::nullopt, 3); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    sim.scenario(R"({"cloud": "injoignable"})");
    sim.scenario(R"({"cloud": "normal"})");
    enAttente.join();
    EXPECT_EQ(obtenir(BASE_CLOUD() + "/sante", std::nullopt, 1).codeErreur, G_IO_ERROR_TIMED_OUT);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    sim.scenario(R"({"lenteur_ms": 0})");
    EXPECT_EQ(obtenir(BASE_CLOUD() + "/sante").statut, 200) << "le simulateur répond toujours";
    int sansReponse = 0;
    for (const auto& e : sim.journal(depuis))
        if (e.at("chemin") == "/sante" && e.at("statut").as_int64() == 0) ++sansReponse;
    // (A slow answer left by an earlier test of the same program may end here too.)
    EXPECT_GE(sansReponse, 2);
}

TEST_F(Scenarios, LeJournalNoteChaqueRequeteAvecSonStatut) {
    const std::uint64_t depuis = sim.suivantDuJournal();
    obtenir(BASE_CLOUD() + "/sante");
    obtenir(URL_PARC());
    obtenir(boxDurand());
    const auto entrees = sim.journal(depuis);
    ASSERT_EQ(entrees.size(), 3u);
    EXPECT_EQ(entrees[0].at("service"), "cloud");
    EXPECT_EQ(entrees[0].at("methode"), "GET");
    EXPECT_EQ(entrees[0].at("hote"), ("studio." + sim.domaine + ":" + std::to_string(sim.portCloud)).c_str());
    EXPECT_EQ(entrees[0].at("chemin"), "/sante");
    EXPECT_EQ(entrees[0].at("statut").as_int64(), 200);
    EXPECT_EQ(entrees[1].at("chemin"), "/studio/api/parc");
    EXPECT_EQ(entrees[1].at("statut").as_int64(), 401);
    EXPECT_EQ(entrees[2].at("service"), "box");
    EXPECT_EQ(entrees[2].at("box"), "durand");
    EXPECT_EQ(entrees[1].at("n").to_number<std::uint64_t>() + 1, entrees[2].at("n").to_number<std::uint64_t>());

    obtenir(BASE_CLOUD() + "/studio/app/connexion?etat=abc");
    const auto derniere = sim.journal(depuis + 3);
    ASSERT_EQ(derniere.size(), 1u);
    EXPECT_EQ(derniere[0].at("requete"), "etat=abc");

    ASSERT_EQ(sim.controle("DELETE", "/journal").statut, 200);
    EXPECT_TRUE(sim.journal().empty());
    obtenir(BASE_CLOUD() + "/sante");
    const auto apres = sim.journal();
    ASSERT_EQ(apres.size(), 1u);
    EXPECT_GT(apres[0].at("n").to_number<std::uint64_t>(), depuis + 3) << "la numérotation continue";
}

TEST_F(Scenarios, LeControleRefuseLesReglagesInvalidesSansRienChanger) {
    EXPECT_EQ(sim.controle("POST", "/scenario", "{pas du json").statut, 400);
    EXPECT_EQ(sim.controle("POST", "/scenario", "[1]").statut, 400);
    for (const char* refuse :
         {R"({"lenteur_ms": 100, "inconnu": 1})", R"({"cloud": "en panne"})", R"({"cloud": 42})",
          R"({"chemins": {"/sante": "injoignable"}})", R"({"livret": "papier"})", R"({"sante": {"XX999": "rouge"}})",
          R"({"connexion_auto": "personne"})", R"({"boxes": {"grille-pain": {}}})", R"({"lenteur_ms": -1})"}) {
        const Reponse r = sim.controle("POST", "/scenario", refuse);
        EXPECT_EQ(r.statut, 400) << refuse;
        ASSERT_TRUE(r.json()) << refuse;
        EXPECT_TRUE(r.json()->contains("erreur")) << refuse;
    }
    const auto etat = sim.controle("GET", "/etat").json();
    ASSERT_TRUE(etat);
    EXPECT_EQ(etat->at("scenario").at("lenteur_ms").as_int64(), 0);
    EXPECT_EQ(etat->at("ports").at("cloud").as_int64(), sim.portCloud);
    EXPECT_EQ(etat->at("studio"), (sim.base() + "/studio").c_str());
    EXPECT_EQ(sim.controle("GET", "/inconnu").statut, 404);
}

TEST_F(Scenarios, LaReinitialisationRendLeScenarioParDefautEtOublieLesConnexions) {
    const std::string cookie = sim.cookie("installateur");
    sim.scenario(R"({"cloud": 500, "livret": "html_500", "sante": {"OV24A0001": "rouge"}})");
    sim.reinitialiser();
    EXPECT_EQ(obtenir(URL_PARC(), cookie).statut, 401);
    const auto parc = lireParc(obtenir(URL_PARC(), sim.cookie("installateur")).corps, true);
    ASSERT_TRUE(parc);
    EXPECT_EQ(parc->ovrels[0].sante.couleur, CouleurSante::vert);
    const auto etat = sim.controle("GET", "/etat").json();
    EXPECT_EQ(etat->at("scenario").at("livret"), "piece_jointe");
}

TEST_F(Scenarios, LeCertificatDuControleEstCeluiDuPortTls) {
    const Reponse pem = sim.controle("GET", "/certificat");
    ASSERT_EQ(pem.statut, 200);
    GError* e = nullptr;
    GTlsCertificate* c = g_tls_certificate_new_from_pem(pem.corps.c_str(), -1, &e);
    ASSERT_TRUE(c) << (e ? e->message : "");
    gchar* sujet = g_tls_certificate_get_subject_name(c);
    const Reponse tls = obtenir(tunnel("/"));
    ASSERT_TRUE(tls.sujetCertificat);
    EXPECT_EQ(*tls.sujetCertificat, sujet);
    g_free(sujet);
    g_object_unref(c);
}

TEST(LigneDeCommande, DesArgumentsInconnusSontRefusesAvecLUsage) {
    const Execution x = executer({OVREL_SIMULATEUR_EXE, "--port-cloud", "abc"});
    EXPECT_EQ(x.statut, 2);
    EXPECT_NE(x.sortie.find("Usage"), std::string::npos);
    EXPECT_EQ(executer({OVREL_SIMULATEUR_EXE, "--inconnu"}).statut, 2);
    // A network of boxes is an IPv4 network with room for the whole bench.
    for (const char* reseau : {"192.168.77.0", "192.168.77.0/", "192.168.777.0/24", "192.168.77.0/28", "fd00::/64"})
        EXPECT_EQ(executer({OVREL_SIMULATEUR_EXE, "--reseau-boxes", reseau}).statut, 2) << reseau;
}

TEST(LigneDeCommande, UnReseauDeBoxesQueLaMachineNAPasEmpecheLeDemarrage) {
    // A documentation network, which no machine holds: nothing can listen there.
    const Execution x = executer({OVREL_SIMULATEUR_EXE, "--port-cloud", "0", "--port-tls", "0", "--port-controle", "0",
                                  "--sans-avahi", "--reseau-boxes", "198.51.100.0/24"});
    EXPECT_EQ(x.statut, 1);
    EXPECT_NE(x.sortie.find("198.51.100.11:8000"), std::string::npos) << x.sortie;
    EXPECT_EQ(x.sortie.find("PRET"), std::string::npos);
}

TEST(LigneDeCommande, UnPortDejaPrisEmpecheLeDemarrage) {
    Simulateur& partage = Simulateur::instance();
    const Execution x = executer({OVREL_SIMULATEUR_EXE, "--port-cloud", std::to_string(partage.portCloud), "--port-tls", "0",
                                  "--port-controle", "0", "--port-ancien", "0", "--sans-avahi"});
    EXPECT_EQ(x.statut, 1);
    EXPECT_EQ(x.sortie.find("PRET"), std::string::npos);
}

TEST(LigneDeCommande, LeSimulateurSArreteProprementSurSigterm) {
    std::string erreur;
    auto s = Simulateur::lancer({"--port-cloud", "0", "--port-tls", "0", "--port-controle", "0", "--port-ancien", "0",
                                 "--sans-avahi"},
                                erreur);
    ASSERT_TRUE(s) << erreur;
    EXPECT_GT(s->portCloud, 0);
    EXPECT_GT(s->portTls, 0);
    EXPECT_EQ(s->portsBoxes.size(), 6u);
    EXPECT_EQ(s->controle("GET", "/etat").statut, 200);
    EXPECT_EQ(s->arreter(), 0);
    EXPECT_EQ(s->controle("GET", "/etat").codeErreur, G_IO_ERROR_CONNECTION_REFUSED);
}

}  // namespace
}  // namespace ovrel::essais
