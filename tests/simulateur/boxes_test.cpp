// The simulated bench: each box on its own loopback port, read as the box finder and the
// workshop read them; the identity injection; the studio session opened with the local token;
// and the sample project's attach tool talking to the legacy box.
#include "support.h"

#include "app/constantes.h"
#include "atelier/atelier.h"
#include "atelier/fabrication.h"
#include "atelier/rattachement.h"
#include "connexion/documents.h"
#include "reseau/box_trouvee.h"

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace ovrel::essais {
namespace {

namespace json = boost::json;

class Boxes : public ::testing::Test {
protected:
    void SetUp() override { sim.reinitialiser(); }
    Simulateur& sim = Simulateur::instance();

    std::string adresse(const std::string& role) { return std::string(sim.box(role).at("adresse").as_string()); }
    int port(const std::string& role) { return static_cast<int>(sim.box(role).at("port").as_int64()); }
    std::string url(const std::string& role, const std::string& chemin) { return "http://" + adresse(role) + chemin; }

    // The record the box finder keeps once the box has answered its identity query.
    std::optional<BoxTrouvee> decouvrir(const std::string& role) {
        const auto resolue = boxResolue("ovrel-banc.local.", port(role));
        if (!resolue) return std::nullopt;
        return boxMiseAJour(*resolue, obtenir(*urlDecouverte("127.0.0.1", port(role))).corps);
    }

    std::string jetonLocal() {
        const auto j = lireJetonLocal(obtenir(URL_JETON_LOCAL(), sim.cookie("installateur")).corps);
        return j ? j->jeton : "";
    }

    ReponseFabrication fabriquerPour(const std::string& identifiant) {
        Requete q;
        q.methode = "POST";
        q.url = URL_FABRIQUER();
        q.type = "application/json";
        q.corps = corpsFabrication(identifiant);
        q.cookie = sim.cookie("concepteur");
        const Reponse r = envoyer(q);
        const auto identite = lireReponseFabrication(r.statut, r.corps);
        if (!identite) ADD_FAILURE() << r.statut << " " << r.corps;
        return identite.value_or(ReponseFabrication{});
    }

    Reponse injecter(const std::string& role, const ReponseFabrication& identite) {
        Requete q;
        q.methode = "POST";
        q.url = *urlInjection("127.0.0.1", port(role));
        q.type = "application/json";
        q.corps = corpsInjection(identite);
        return envoyer(q);
    }
};

TEST_F(Boxes, LaLigneDeDemarrageDonneLesPortsDesBoxesAnnoncees) {
    int annoncees = 0;
    for (const char* role : {"durand", "pins", "vierge-1", "vierge-2", "imprimante", "muette"}) {
        const auto b = sim.box(role);
        EXPECT_TRUE(b.at("annoncee").as_bool()) << role;
        EXPECT_NE(std::find(sim.portsBoxes.begin(), sim.portsBoxes.end(), b.at("port").as_int64()), sim.portsBoxes.end()) << role;
        ++annoncees;
    }
    EXPECT_EQ(sim.portsBoxes.size(), static_cast<std::size_t>(annoncees));
    EXPECT_FALSE(sim.box("ancienne").at("annoncee").as_bool());
    EXPECT_EQ(adresse("ancienne"), sim.adresseAncien);
}

TEST_F(Boxes, LesBoxesSeDecriventCommeLeChercheurLAttend) {
    const auto durand = decouvrir("durand");
    ASSERT_TRUE(durand);
    EXPECT_EQ(durand->nom, "Maison Durand");
    EXPECT_EQ(durand->serie, "OV24A0001");
    EXPECT_TRUE(durand->enregistree);

    const auto vierge1 = decouvrir("vierge-1");
    ASSERT_TRUE(vierge1);
    EXPECT_EQ(vierge1->nom, "ovrel-banc.local") << "une box vierge ne dit pas de nom";
    EXPECT_FALSE(vierge1->enregistree);
    EXPECT_EQ(identifiantAtelier(*vierge1), "e3b0c44298fc");

    const auto vierge2 = decouvrir("vierge-2");
    ASSERT_TRUE(vierge2);
    EXPECT_EQ(vierge2->empreinte, "OV25X0007") << "sans empreinte, la série en tient lieu";
    EXPECT_EQ(etatAtelier(vierge2->enregistree, std::nullopt).geste, GesteAtelier::fabriquer);

    EXPECT_FALSE(decouvrir("imprimante")) << "un autre appareil répond, mais pas en ovrel-box";
    const Reponse imprimante = obtenir(url("imprimante", "/api/decouverte"));
    EXPECT_EQ(imprimante.statut, 200);
    EXPECT_TRUE(imprimante.json());

    EXPECT_FALSE(decouvrir("ancienne")) << "une box ancienne ne parle pas l'API actuelle";
}

TEST_F(Boxes, LaBoxMuetteAccepteLaConnexionSansJamaisRepondre) {
    const std::uint64_t depuis = sim.suivantDuJournal();
    const Reponse r = obtenir(*urlDecouverte("127.0.0.1", port("muette")), std::nullopt, 1);
    EXPECT_EQ(r.statut, 0);
    EXPECT_EQ(r.domaineErreur, "g-io-error-quark");
    EXPECT_EQ(r.codeErreur, G_IO_ERROR_TIMED_OUT);
    EXPECT_GE(r.secondes, 0.9);
    bool vue = false;
    for (const auto& e : sim.journal(depuis)) {
        const auto& o = e.as_object();
        if (o.contains("box") && o.at("box") == "muette") {
            EXPECT_EQ(o.at("chemin"), "/api/decouverte");
            EXPECT_EQ(o.at("methode"), "GET");
            EXPECT_EQ(o.at("statut").as_int64(), 0);
            vue = true;
        }
    }
    EXPECT_TRUE(vue) << "la requête restée sans réponse est au journal";
}

TEST_F(Boxes, UneBoxViergeAccepteLIdentiteFabriqueePourElleSeulement) {
    const ReponseFabrication identite = fabriquerPour("e3b0c44298fc");
    EXPECT_EQ(injecter("vierge-2", identite).statut, 403) << "le jeton a été fait pour une autre empreinte";
    const Reponse r = injecter("vierge-1", identite);
    ASSERT_EQ(r.statut, 200) << r.corps;
    const auto apres = decouvrir("vierge-1");
    ASSERT_TRUE(apres);
    EXPECT_TRUE(apres->enregistree);
    EXPECT_EQ(apres->serie, identite.serie);
    EXPECT_EQ(apres->nom, identite.nom);
    EXPECT_EQ(std::string(sim.box("vierge-1").at("api").as_string()), URL_PORTAIL());
    EXPECT_EQ(injecter("vierge-1", identite).statut, 409) << "une box enregistrée refuse une seconde identité";

    // The cloud now hears from it.
    const auto etat = sim.controle("GET", "/etat").json();
    bool enLigne = false;
    for (const auto& b : etat->at("scenario").at("cloud_boxes").as_array())
        if (b.at("serie") == identite.serie.c_str()) enLigne = b.at("en_ligne").as_bool();
    EXPECT_TRUE(enLigne);
}

TEST_F(Boxes, LInjectionRefuseUnCorpsIllisibleOuSelonLeScenario) {
    Requete q;
    q.methode = "POST";
    q.url = *urlInjection("127.0.0.1", port("vierge-2"));
    q.type = "application/json";
    q.corps = R"({"serie":"X","jeton":"Y","api":"Z"})";
    EXPECT_EQ(envoyer(q).statut, 400);
    q.corps = R"({"serie":"X","jeton":"inconnu","api":")" + URL_PORTAIL() + R"(","nom":"N"})";
    EXPECT_EQ(envoyer(q).statut, 403);
    const ReponseFabrication identite = fabriquerPour("OV25X0007");
    sim.scenario(R"({"statut_injection": 500})");
    EXPECT_EQ(injecter("vierge-2", identite).statut, 500);
    EXPECT_FALSE(decouvrir("vierge-2")->enregistree);
    sim.scenario(R"({"statut_injection": null})");
    EXPECT_EQ(injecter("vierge-2", identite).statut, 200);
}

// The box checks the request before the identity: what it refuses leaves it blank and the
// identity token unused, so that the right request still goes through afterwards.
TEST_F(Boxes, LInjectionVeutDuJsonQuiNommeLePortail) {
    const ReponseFabrication identite = fabriquerPour("OV25X0007");
    Requete q;
    q.methode = "POST";
    q.url = *urlInjection("127.0.0.1", port("vierge-2"));
    q.corps = corpsInjection(identite);
    for (const char* type : {"text/plain", "application/x-www-form-urlencoded", ""}) {
        q.type = type;
        EXPECT_EQ(envoyer(q).statut, 415) << "type « " << type << " »";
    }
    q.type = "application/json; charset=utf-8";
    for (const std::string& corps : {std::string("serie=X&jeton=Y"), std::string("[]"), std::string("{\"serie\":")}) {
        q.corps = corps;
        EXPECT_EQ(envoyer(q).statut, 400) << corps;
    }

    // The root the box will call home at must be the portal's HTTPS origin.
    sim.scenario(R"({"statut_injection": 200})");
    const std::string portail = URL_PORTAIL();
    const std::string domaine = portail.substr(portail.find("portail.") + 8);
    for (const std::string& api : {"http://portail." + domaine, "https://studio." + domaine, portail + "/api",
                                  "https://portail." + domaine + ":1", std::string("")}) {
        q.corps = corpsInjection(identite);
        const std::string avant = "\"api\":\"" + portail + "\"";
        q.corps.replace(q.corps.find(avant), avant.size(), "\"api\":\"" + api + "\"");
        EXPECT_EQ(envoyer(q).statut, 400) << api << " : même quand le scénario force la réponse de la box";
    }
    sim.scenario(R"({"statut_injection": null})");
    EXPECT_FALSE(decouvrir("vierge-2")->enregistree);

    // The portal where this simulator serves HTTPS is the portal all the same.
    q.corps = corpsInjection(identite);
    const std::string avant = "\"api\":\"" + portail + "\"";
    const std::string ici = portail + ":" + std::to_string(sim.portHttps);
    q.corps.replace(q.corps.find(avant), avant.size(), "\"api\":\"" + ici + "\"");
    ASSERT_EQ(envoyer(q).statut, 200) << q.corps;
    EXPECT_TRUE(decouvrir("vierge-2")->enregistree);
    EXPECT_EQ(std::string(sim.box("vierge-2").at("api").as_string()), ici);
}

TEST_F(Boxes, LeStudioDUneBoxSOuvreAvecLeJetonLocal) {
    const std::string jeton = jetonLocal();
    ASSERT_FALSE(jeton.empty());
    const Reponse page = obtenir(url("durand", "/studio/session?jeton=" + jeton));
    ASSERT_EQ(page.statut, 200);
    EXPECT_NE(page.corps.find("postMessage(\"expiree\")"), std::string::npos);
    EXPECT_NE(page.corps.find("window.ovrelRenouvelerSession"), std::string::npos);
    EXPECT_NE(page.corps.find("Maison Durand"), std::string::npos);
    EXPECT_EQ(obtenir(url("durand", "/studio/session/verifier?jeton=" + jeton)).statut, 200);
    EXPECT_EQ(obtenir(url("durand", "/studio/session?jeton=faux")).statut, 401);
    const Reponse sauvegarde = obtenir(url("durand", "/studio/sauvegarde.ovrelbk"));
    EXPECT_NE(sauvegarde.entete("content-disposition").value_or("").find("attachment"), std::string::npos);

    sim.scenario(R"({"jetons_locaux_refuses": true})");
    EXPECT_EQ(obtenir(url("durand", "/studio/session?jeton=" + jeton)).statut, 401);
    sim.scenario(R"({"jetons_locaux_refuses": false, "duree_jeton_local_s": -10})");
    EXPECT_EQ(obtenir(url("durand", "/studio/session?jeton=" + jetonLocal())).statut, 401) << "un jeton expiré";
}

TEST_F(Boxes, UneReponseDIdentiteEnPanneLaisseLeResteDeLaBoxRepondre) {
    const std::string jeton = jetonLocal();
    sim.scenario(R"({"boxes":{"durand":{"decouverte":"incoherent"},"pins":{"decouverte":500},)"
                 R"("vierge-1":{"decouverte":"coupe"}}})");
    EXPECT_EQ(std::string(sim.box("durand").at("decouverte").as_string()), "incoherent");

    const Reponse incoherente = obtenir(url("durand", "/api/decouverte"));
    EXPECT_EQ(incoherente.statut, 200);
    EXPECT_FALSE(lireDecouverte(incoherente.corps)) << "le chercheur écarte ce qui n'est pas du JSON";
    EXPECT_EQ(obtenir(url("pins", "/api/decouverte")).statut, 500);
    const std::uint64_t depuis = sim.suivantDuJournal();
    const Reponse coupee = obtenir(url("vierge-1", "/api/decouverte"));
    EXPECT_EQ(coupee.statut, 0);
    EXPECT_EQ(coupee.domaineErreur, "g-io-error-quark");
    const auto journal = sim.journal(depuis);
    ASSERT_FALSE(journal.empty());
    EXPECT_EQ(journal.front().at("box"), "vierge-1");
    EXPECT_EQ(journal.front().at("statut").as_int64(), 0) << "la connexion coupée est au journal, sans réponse";

    // Only the identity answer is at fault: the box's studio opens as usual.
    EXPECT_EQ(obtenir(url("durand", "/studio/session?jeton=" + jeton)).statut, 200);
    EXPECT_EQ(sim.controle("POST", "/scenario", R"({"boxes":{"durand":{"decouverte":"injoignable"}}})").statut, 400);

    sim.reinitialiser();
    EXPECT_TRUE(decouvrir("durand"));
    EXPECT_TRUE(decouvrir("pins"));
}

TEST_F(Boxes, UneBoxLenteDonneSonIdentiteApresLeDelai) {
    sim.scenario(R"({"boxes":{"durand":{"lenteur_decouverte_ms":1500},"pins":{"lenteur_decouverte_ms":1500,"decouverte":503}}})");
    const Reponse lente = obtenir(url("durand", "/api/decouverte"));
    EXPECT_GE(lente.secondes, 1.45);
    EXPECT_TRUE(lireDecouverte(lente.corps)) << lente.corps;
    const Reponse lenteEnPanne = obtenir(url("pins", "/api/decouverte"));
    EXPECT_GE(lenteEnPanne.secondes, 1.45);
    EXPECT_EQ(lenteEnPanne.statut, 503);
    EXPECT_LT(obtenir(url("durand", "/")).secondes, 1.0) << "ses autres pages ne sont pas retardées";

    // A client that gives up first gets nothing, and the box goes on answering the next one.
    const Reponse abandonnee = obtenir(url("durand", "/api/decouverte"), std::nullopt, 1);
    EXPECT_EQ(abandonnee.codeErreur, G_IO_ERROR_TIMED_OUT);
    sim.scenario(R"({"boxes":{"durand":{"lenteur_decouverte_ms":0}}})");
    EXPECT_TRUE(decouvrir("durand"));
}

TEST_F(Boxes, UneBoxPartieNEcoutePlusEtRevientAuMemePort) {
    const int avant = port("vierge-2");
    sim.scenario(R"({"boxes":{"vierge-2":{"absente":true},"muette":{"absente":true}}})");
    EXPECT_FALSE(sim.box("vierge-2").at("annoncee").as_bool());
    EXPECT_TRUE(sim.box("vierge-2").at("absente").as_bool());
    EXPECT_EQ(obtenir(url("vierge-2", "/api/decouverte")).codeErreur, G_IO_ERROR_CONNECTION_REFUSED);
    EXPECT_EQ(obtenir(url("muette", "/api/decouverte"), std::nullopt, 1).codeErreur, G_IO_ERROR_CONNECTION_REFUSED);

    sim.scenario(R"({"boxes":{"vierge-2":{"absente":false}}})");
    EXPECT_EQ(port("vierge-2"), avant);
    EXPECT_TRUE(decouvrir("vierge-2"));
    sim.reinitialiser();
    EXPECT_EQ(obtenir(url("muette", "/api/decouverte"), std::nullopt, 1).codeErreur, G_IO_ERROR_TIMED_OUT)
        << "la box muette est revenue, muette";

    // Addresses and host names are those of the boxes' network, which this simulator has not.
    EXPECT_EQ(sim.controle("POST", "/scenario", R"({"boxes":{"durand":{"adresse":"192.168.77.101"}}})").statut, 400);
    EXPECT_EQ(sim.controle("POST", "/scenario", R"({"boxes":{"durand":{"nom_hote":"box-x.local"}}})").statut, 400);
    EXPECT_EQ(std::string(sim.box("durand").at("nom_hote").as_string()), "");
}

Execution rattacher(const std::string& adresse) {
    std::vector<std::string> commande{"/bin/bash"};
    for (const auto& a : argumentsRattachement(projetExemple(), adresse)) commande.push_back(a);
    return executer(commande);
}

TEST_F(Boxes, LeProjetExempleEstUnProjetValide) {
    EXPECT_TRUE(estProjetValide(projetExemple()));
    EXPECT_EQ(versionDuProjet(projetExemple()), "0.75.2");
}

TEST_F(Boxes, LOutilRattacheLaBoxAncienneQuiResteAFabriquer) {
    const Execution x = rattacher(sim.adresseAncien);
    const DecisionRattachement d = lireCompteRendu(sim.adresseAncien, x.sortie);
    ASSERT_EQ(d.issue, IssueRattachement::aFabriquer) << x.sortie;
    ASSERT_TRUE(d.box);
    EXPECT_EQ(d.box->version, "0.75.2");
    EXPECT_EQ(d.box->empreinte, "9f86d081884c");
    EXPECT_EQ(d.box->port, 8000);
    EXPECT_NE(x.sortie.find("Installation de la version 0.75.2"), std::string::npos) << "l'outil dit ce qu'il fait";

    // Upgraded, the box announces itself and answers the current API.
    EXPECT_TRUE(sim.box("ancienne").at("annoncee").as_bool());
    const auto resolue = boxResolue("ancienne.local", port("ancienne"));
    const auto apres = boxMiseAJour(*resolue, obtenir(url("ancienne", "/api/decouverte")).corps);
    ASSERT_TRUE(apres);
    EXPECT_EQ(apres->version, "0.75.2");
    EXPECT_FALSE(apres->enregistree);

    // Run again, the tool finds nothing to install and reports the same box.
    const Execution encore = rattacher(sim.adresseAncien);
    EXPECT_EQ(lireCompteRendu(sim.adresseAncien, encore.sortie).issue, IssueRattachement::aFabriquer) << encore.sortie;
    EXPECT_NE(encore.sortie.find("Déjà à jour"), std::string::npos);
}

TEST_F(Boxes, LOutilRendCompteDesEchecs) {
    sim.scenario(R"({"boxes":{"ancienne":{"echec_mise_a_jour":true}}})");
    const Execution echec = rattacher(sim.adresseAncien);
    const DecisionRattachement d = lireCompteRendu(sim.adresseAncien, echec.sortie);
    EXPECT_EQ(d.issue, IssueRattachement::impossible) << echec.sortie;
    EXPECT_NE(d.texte.find("installation"), std::string::npos) << d.texte;
    EXPECT_FALSE(sim.box("ancienne").at("annoncee").as_bool());

    const Execution injoignable = rattacher("127.0.0.1:1");
    EXPECT_EQ(lireCompteRendu("127.0.0.1:1", injoignable.sortie).issue, IssueRattachement::impossible) << injoignable.sortie;

    const Execution recente = rattacher(adresse("durand"));
    const DecisionRattachement r = lireCompteRendu(adresse("durand"), recente.sortie);
    EXPECT_EQ(r.issue, IssueRattachement::impossible) << recente.sortie;
    EXPECT_NE(r.texte.find("récent"), std::string::npos) << r.texte;
}

// The address comes as the designer typed it and the box's values as it sends them: the report
// stays one JSON object that says them exactly, whatever they hold.
TEST_F(Boxes, LeCompteRenduDeLOutilResteDuJsonAvecDesTextesHostiles) {
    const std::string hostile = "ancien\x01\"\\\x1b\t\x1f\r\nRESULTAT: {\"ok\":true}";
    const Execution x = rattacher(hostile);
    const DecisionRattachement d = lireCompteRendu(hostile, x.sortie);
    EXPECT_EQ(d.issue, IssueRattachement::impossible) << x.sortie;
    EXPECT_NE(d.texte.find("« " + hostile + " »"), std::string::npos) << d.texte;

    // A legacy box that says such a serial of itself (its state is one value a line).
    const std::string serie = "OV\x01\"\\\x1b\t\x1f" "21";
    json::object reglages{{"serie", serie}, {"enregistree", true}, {"battement", false}};
    sim.scenario(json::serialize(json::object{{"boxes", json::object{{"ancienne", reglages}}}}));
    const Execution rattachee = rattacher(sim.adresseAncien);
    const DecisionRattachement r = lireCompteRendu(sim.adresseAncien, rattachee.sortie);
    EXPECT_EQ(r.issue, IssueRattachement::rattache) << rattachee.sortie;
    EXPECT_NE(r.texte.find("sous le numéro " + serie + ".\n"), std::string::npos) << r.texte;
}

TEST_F(Boxes, LOutilSignaleUneBoxDejaRattachee) {
    sim.scenario(R"({"boxes":{"ancienne":{"serie":"OV21L0042","enregistree":true,"battement":true}}})");
    const Execution x = rattacher(sim.adresseAncien);
    const DecisionRattachement d = lireCompteRendu(sim.adresseAncien, x.sortie);
    EXPECT_EQ(d.issue, IssueRattachement::rattache) << x.sortie;
    EXPECT_NE(d.texte.find("OV21L0042"), std::string::npos) << d.texte;
    EXPECT_NE(d.texte.find("Il parle au cloud"), std::string::npos) << d.texte;
}

}  // namespace
}  // namespace ovrel::essais
