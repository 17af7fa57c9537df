// The simulated cloud's JSON API and sign-in, read with the application's own readers and
// reached through the application's own addresses: what the simulator serves is what the
// application expects.
#include "support.h"

#include "app/constantes.h"
#include "app/mise_a_jour.h"
#include "atelier/atelier.h"
#include "atelier/fabrication.h"
#include "connexion/connexion.h"
#include "connexion/documents.h"
#include "sante/lecture_parc.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <thread>

namespace ovrel::essais {
namespace {

class Cloud : public ::testing::Test {
protected:
    void SetUp() override { sim.reinitialiser(); }
    Simulateur& sim = Simulateur::instance();
};

TEST_F(Cloud, LaSondeDeJoignabiliteRepond200AvecOuSansConnexion) {
    const Reponse r = obtenir(BASE_CLOUD() + "/sante");
    EXPECT_EQ(r.statut, 200) << r.domaineErreur;
    EXPECT_EQ(obtenir(BASE_CLOUD() + "/sante", sim.cookie("aucun")).statut, 200);
}

TEST_F(Cloud, LaConnexionParLeNavigateurRevientALApplicationAvecUnJetonValide) {
    const std::string etat = nouvelEtatConnexion();
    const Reponse page = obtenir(*adresseConnexionSafari(etat));
    ASSERT_EQ(page.statut, 200);
    for (const char* compte : {"installateur", "concepteur", "les-deux", "aucun"})
        EXPECT_NE(page.corps.find("data-compte=\"" + std::string(compte) + "\""), std::string::npos) << compte;

    const Reponse choix = obtenir(BASE_CLOUD() + "/studio/app/connexion/choisir?etat=" + etat + "&compte=installateur");
    ASSERT_EQ(choix.statut, 302);
    const auto retour = choix.entete("location");
    ASSERT_TRUE(retour);
    const auto jeton = analyserRetourConnexion(retour, etat);
    ASSERT_TRUE(jeton) << *retour;
    EXPECT_FALSE(analyserRetourConnexion(retour, nouvelEtatConnexion())) << "l'état est celui de la demande";

    // The session page turns the token into a login cookie with an expiry, once only.
    const Reponse session = obtenir(*adresseSessionApp(*jeton));
    ASSERT_EQ(session.statut, 302);
    EXPECT_EQ(session.entete("location"), "/studio");
    ASSERT_EQ(session.cookiesPoses.size(), 1u);
    const std::string& pose = session.cookiesPoses[0];
    EXPECT_EQ(pose.rfind("ovrel_session=", 0), 0u) << pose;
    EXPECT_NE(pose.find("Expires="), std::string::npos) << pose;
    EXPECT_NE(pose.find("Max-Age="), std::string::npos) << pose;
    EXPECT_EQ(obtenir(*adresseSessionApp(*jeton)).statut, 401) << "un jeton de connexion ne sert qu'une fois";

    const std::string cookie = pose.substr(0, pose.find(';'));
    const auto moi = lireDocumentUtilisateur(obtenir(URL_MOI(), cookie).corps);
    ASSERT_TRUE(moi);
    EXPECT_TRUE(moi->studio);
    EXPECT_FALSE(moi->exploitant);
    EXPECT_EQ(moi->email, "installateur@domotique-durand.fr");
}

TEST_F(Cloud, LaConnexionAutomatiqueRenvoieAussitotVersLApplication) {
    sim.scenario(R"({"connexion_auto":"concepteur"})");
    const std::string etat = nouvelEtatConnexion();
    const Reponse r = obtenir(*adresseConnexionSafari(etat));
    ASSERT_EQ(r.statut, 302);
    const auto jeton = analyserRetourConnexion(r.entete("location"), etat);
    ASSERT_TRUE(jeton);
    const Reponse session = obtenir(*adresseSessionApp(*jeton));
    ASSERT_EQ(session.cookiesPoses.size(), 1u);
    const auto moi = lireDocumentUtilisateur(obtenir(URL_MOI(), session.cookiesPoses[0].substr(0, session.cookiesPoses[0].find(';'))).corps);
    ASSERT_TRUE(moi);
    EXPECT_TRUE(moi->exploitant);
    EXPECT_FALSE(moi->studio);
}

TEST_F(Cloud, LaPageDeConnexionSansEtatEstRefusee) {
    EXPECT_EQ(obtenir(BASE_CLOUD() + "/studio/app/connexion").statut, 400);
    EXPECT_EQ(obtenir(BASE_CLOUD() + "/studio/app/connexion/choisir?etat=abc&compte=inconnu").statut, 400);
}

TEST_F(Cloud, LeDocumentUtilisateurSuitLeCompteDuCookie) {
    struct Cas {
        const char* compte;
        bool studio;
        bool exploitant;
    };
    for (const Cas& c : {Cas{"installateur", true, false}, Cas{"concepteur", false, true}, Cas{"les-deux", true, true},
                         Cas{"aucun", false, false}}) {
        const Reponse r = obtenir(URL_MOI(), sim.cookie(c.compte));
        ASSERT_EQ(r.statut, 200) << c.compte;
        const auto doc = lireDocumentUtilisateur(r.corps);
        ASSERT_TRUE(doc) << c.compte;
        EXPECT_EQ(doc->studio, c.studio) << c.compte;
        EXPECT_EQ(doc->exploitant, c.exploitant) << c.compte;
        EXPECT_TRUE(doc->email && !doc->email->empty()) << c.compte;
    }
    EXPECT_EQ(obtenir(URL_MOI()).statut, 401);
    EXPECT_EQ(obtenir(URL_MOI(), std::string("ovrel_session=inconnu")).statut, 401);
}

TEST_F(Cloud, LesComptesSeReglentParLeScenario) {
    sim.scenario(R"({"comptes":{"aucun":{"studio":true,"email":"nouveau@exemple.fr"},"invite":{"exploitant":true}}})");
    const auto aucun = lireDocumentUtilisateur(obtenir(URL_MOI(), sim.cookie("aucun")).corps);
    ASSERT_TRUE(aucun);
    EXPECT_TRUE(aucun->studio);
    EXPECT_EQ(aucun->email, "nouveau@exemple.fr");
    const auto invite = lireDocumentUtilisateur(obtenir(URL_MOI(), sim.cookie("invite")).corps);
    ASSERT_TRUE(invite);
    EXPECT_TRUE(invite->exploitant);
    // A removed account loses its login.
    const std::string cookie = sim.cookie("installateur");
    sim.scenario(R"({"comptes":{"installateur":null}})");
    EXPECT_EQ(obtenir(URL_MOI(), cookie).statut, 401);
}

TEST_F(Cloud, LeJetonLocalEstLuParLApplicationEtExpireDansSeptJours) {
    const Reponse r = obtenir(URL_JETON_LOCAL(), sim.cookie("installateur"));
    ASSERT_EQ(r.statut, 200);
    const auto jeton = lireJetonLocal(r.corps);
    ASSERT_TRUE(jeton) << r.corps;
    EXPECT_EQ(jeton->organisation, "Domotique Durand");
    EXPECT_GE(jeton->jeton.size(), 40u);
    const double attendu = static_cast<double>(std::time(nullptr) + 7 * 86400);
    EXPECT_NEAR(jeton->expire, attendu, 5);

    EXPECT_EQ(obtenir(URL_JETON_LOCAL()).statut, 401);
    EXPECT_EQ(obtenir(URL_JETON_LOCAL(), sim.cookie("concepteur")).statut, 403);
    sim.scenario(R"({"duree_jeton_local_s": 60})");
    const auto court = lireJetonLocal(obtenir(URL_JETON_LOCAL(), sim.cookie("installateur")).corps);
    ASSERT_TRUE(court);
    EXPECT_NEAR(court->expire, static_cast<double>(std::time(nullptr) + 60), 5);
}

TEST_F(Cloud, LeParcSeLitAvecSaSanteSesAnomaliesEtSesActions) {
    const Reponse r = obtenir(URL_PARC(), sim.cookie("installateur"));
    ASSERT_EQ(r.statut, 200);
    const auto parc = lireParc(r.corps, true);
    ASSERT_TRUE(parc);
    EXPECT_EQ(parc->organisation, "Domotique Durand");
    EXPECT_EQ(parc->compte, "installateur@domotique-durand.fr");
    ASSERT_EQ(parc->ovrels.size(), 5u);
    EXPECT_TRUE(parc->sante.connue);
    EXPECT_EQ(parc->sante.total, 5);
    EXPECT_EQ(parc->sante.attention, 3);
    EXPECT_EQ(parc->sante.parCouleur.at(CouleurSante::rouge), 1);
    EXPECT_EQ(parc->sante.parCouleur.at(CouleurSante::gris), 1);

    int actionsPost = 0;
    int actionsGet = 0;
    bool hrefAbsolu = false;
    for (const auto& o : parc->ovrels) {
        EXPECT_TRUE(o.sante.connue) << o.nom;
        EXPECT_TRUE(o.sante.vuIlYaS) << o.nom;
        for (const auto& a : o.sante.anomalies) {
            if (!a.action) continue;
            (a.action->methode == "post" ? actionsPost : actionsGet) += 1;
            hrefAbsolu = hrefAbsolu || a.action->href.rfind("http", 0) == 0;
        }
    }
    EXPECT_EQ(actionsPost, 2);
    EXPECT_EQ(actionsGet, 1);
    EXPECT_TRUE(hrefAbsolu) << "une action donne une adresse complète";
}

TEST_F(Cloud, LeParcRefuseQuandLaConnexionAEteOublieeOuSansStudio) {
    const std::string cookie = sim.cookie("installateur");
    ASSERT_EQ(obtenir(URL_PARC(), cookie).statut, 200);
    ASSERT_EQ(sim.controle("POST", "/deconnecter").statut, 200);
    EXPECT_EQ(obtenir(URL_PARC(), cookie).statut, 401);
    EXPECT_EQ(obtenir(URL_PARC(), sim.cookie("concepteur")).statut, 403);
    sim.scenario(R"({"duree_session_s": 1})");
    const std::string bref = sim.cookie("installateur");
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    EXPECT_EQ(obtenir(URL_PARC(), bref).statut, 401) << "une connexion expirée ne vaut plus";
}

TEST_F(Cloud, LaSanteSeRegleParBoxEtLeResumeDuParcPeutManquer) {
    sim.scenario(R"({"sante":{"OV24A0001":"rouge","OV23C0417":null,"OV22B0090":{"couleur":"violet"}},"sante_parc":false})");
    const auto parc = lireParc(obtenir(URL_PARC(), sim.cookie("installateur")).corps, true);
    ASSERT_TRUE(parc);
    std::map<std::string, const OvrelParc*> parSerie;
    for (const auto& o : parc->ovrels) parSerie[o.serie] = &o;
    const SanteOvrel& durand = parSerie.at("OV24A0001")->sante;
    EXPECT_EQ(durand.couleur, CouleurSante::rouge);
    ASSERT_EQ(durand.anomalies.size(), 1u);
    ASSERT_TRUE(durand.anomalies[0].action);
    EXPECT_EQ(parSerie.at("OV23C0417")->sante.resume, "Santé indisponible — ce portail ne la calcule pas encore.");
    EXPECT_EQ(parSerie.at("OV22B0090")->sante.resume, "Santé illisible — couleur inconnue de cette version.");
    // Without a summary the application counts the boxes itself.
    EXPECT_EQ(parc->sante.total, 5);
    EXPECT_EQ(parc->sante.parCouleur.at(CouleurSante::rouge), 2);
}

TEST_F(Cloud, UnDocumentDeParcBrutEstServiTelQuel) {
    sim.scenario(R"({"parc_brut":"{\"ovrels\":[{\"id\":\"x\",\"nom\":\"Brut\"}]}"})");
    const auto parc = lireParc(obtenir(URL_PARC(), sim.cookie("installateur")).corps, true);
    ASSERT_TRUE(parc);
    ASSERT_EQ(parc->ovrels.size(), 1u);
    EXPECT_EQ(parc->ovrels[0].nom, "Brut");
    sim.scenario(R"({"parc_brut":"{\"ovrels\":7}"})");
    EXPECT_FALSE(lireParc(obtenir(URL_PARC(), sim.cookie("installateur")).corps, true));
}

// Every action of the fleet, sent as the application sends it: POST, form content type, empty
// body, relative addresses resolved against the cloud root.
std::vector<ActionSante> actionsPost(const std::string& cookie) {
    std::vector<ActionSante> r;
    const auto parc = lireParc(obtenir(URL_PARC(), cookie).corps, true);
    if (parc)
        for (const auto& o : parc->ovrels)
            for (const auto& a : o.sante.anomalies)
                if (a.action && a.action->methode == "post") r.push_back(*a.action);
    return r;
}
Reponse agir(const ActionSante& a, const std::string& cookie) {
    const std::string adresse = a.href.rfind("http", 0) == 0 ? a.href : BASE_CLOUD() + a.href;
    return poster(adresse, "", "application/x-www-form-urlencoded", cookie);
}

TEST_F(Cloud, UneActionReussieResoutLAnomalieEtLeStatutSuitLeScenario) {
    const std::string cookie = sim.cookie("installateur");
    auto actions = actionsPost(cookie);
    ASSERT_EQ(actions.size(), 2u);
    for (const auto& a : actions) EXPECT_EQ(agir(a, cookie).statut, 200) << a.href;
    EXPECT_TRUE(actionsPost(cookie).empty()) << "les anomalies traitées ont disparu";
    const auto parc = lireParc(obtenir(URL_PARC(), cookie).corps, true);
    ASSERT_TRUE(parc);
    EXPECT_EQ(parc->sante.parCouleur.at(CouleurSante::rouge), 0);

    for (int statut : {204, 400, 500}) {
        sim.reinitialiser();
        const std::string c = sim.cookie("installateur");
        sim.scenario("{\"statut_action\":" + std::to_string(statut) + "}");
        const auto liste = actionsPost(c);
        ASSERT_FALSE(liste.empty());
        const Reponse r = agir(liste[0], c);
        EXPECT_EQ(r.statut, statut);
        EXPECT_EQ(actionsPost(c).size(), statut == 204 ? liste.size() - 1 : liste.size()) << statut;
    }
    sim.reinitialiser();
    EXPECT_EQ(agir(actionsPost(sim.cookie("installateur"))[0], "ovrel_session=perdue").statut, 401);
}

TEST_F(Cloud, LeRegistreEstLuParLAtelierEtProtegeParLeRoleConcepteur) {
    const Reponse r = obtenir(BASE_CLOUD() + "/admin/api/parc", sim.cookie("concepteur"));
    ASSERT_EQ(r.statut, 200);
    const auto registre = lireParcAtelier(r.corps);
    ASSERT_TRUE(registre);
    EXPECT_EQ(registre->size(), 6u);
    EXPECT_EQ(registre->at("OV24A0001").statut, "en_service");
    EXPECT_EQ(etatAtelier(true, registre->at("OV24A0002").statut).geste, GesteAtelier::refaireEtiquette);
    EXPECT_EQ(etatAtelier(true, registre->at("OV24A0003").statut).mention, "rendu à l'atelier");
    EXPECT_EQ(obtenir(BASE_CLOUD() + "/admin/api/parc").statut, 401);
    EXPECT_EQ(obtenir(BASE_CLOUD() + "/admin/api/parc", sim.cookie("installateur")).statut, 403);
}

TEST_F(Cloud, LaFabricationDonneUneIdentiteQueLeRegistreConnaitEnsuite) {
    const std::string cookie = sim.cookie("concepteur");
    Requete q;
    q.methode = "POST";
    q.url = URL_FABRIQUER();
    q.type = "application/json";
    q.corps = corpsFabrication("e3b0c44298fc");
    q.cookie = cookie;
    const Reponse r = envoyer(q);
    const auto identite = lireReponseFabrication(r.statut, r.corps);
    ASSERT_TRUE(identite) << r.statut << " " << r.corps;
    EXPECT_FALSE(identite->jeton.empty());
    EXPECT_FALSE(identite->code.empty());
    const auto registre = lireParcAtelier(obtenir(BASE_CLOUD() + "/admin/api/parc", cookie).corps);
    ASSERT_TRUE(registre);
    ASSERT_TRUE(registre->count(serieNormalisee(identite->serie)));
    EXPECT_NE(registre->at(serieNormalisee(identite->serie)).id, identite->site_id)
        << "le registre nomme la box, pas son site";
    EXPECT_EQ(registre->at(serieNormalisee(identite->serie)).statut, "en_stock");

    // Without a name the application names the box with its serial.
    sim.scenario(R"({"fabrication_sans_nom": true})");
    const Reponse sansNom = envoyer(q);
    const auto lue = lireReponseFabrication(sansNom.statut, sansNom.corps);
    ASSERT_TRUE(lue);
    EXPECT_EQ(lue->nom, lue->serie);
    EXPECT_EQ(sansNom.json()->count("nom"), 0u);
}

TEST_F(Cloud, LaFabricationRefuseSansConnexionSansRoleSansEmpreinteOuSelonLeScenario) {
    Requete q;
    q.methode = "POST";
    q.url = URL_FABRIQUER();
    q.type = "application/json";
    q.corps = corpsFabrication("e3b0c44298fc");
    EXPECT_EQ(envoyer(q).statut, 401);
    q.cookie = sim.cookie("installateur");
    EXPECT_EQ(envoyer(q).statut, 403);
    q.cookie = sim.cookie("concepteur");
    q.corps = "{}";
    EXPECT_EQ(envoyer(q).statut, 400);
    q.corps = corpsFabrication("e3b0c44298fc");
    sim.scenario(R"({"statut_fabrication": 201})");
    const Reponse cree = envoyer(q);
    EXPECT_EQ(cree.statut, 201);
    EXPECT_TRUE(cree.json() && cree.json()->contains("jeton")) << "le corps est complet : seul le statut dérange";
    EXPECT_FALSE(lireReponseFabrication(cree.statut, cree.corps));
    sim.scenario(R"({"statut_fabrication": 500})");
    EXPECT_EQ(envoyer(q).statut, 500);
}

TEST_F(Cloud, LeManifesteDeMiseAJourEstSurLeSiteWeb) {
    const std::string adresse = sim.urlHote("www.", std::string(CHEMIN_MANIFESTE));
    const Reponse r = obtenir(adresse);
    ASSERT_EQ(r.statut, 200);
    const auto manifeste = lireManifeste(r.corps);
    ASSERT_TRUE(manifeste);
    EXPECT_FALSE(plusRecente(manifeste->version, VERSION_APP));

    sim.scenario(R"({"maj":{"version":"0.7.0","url":"https://exemple.fr/ovrel.deb"},"statut_maj":404})");
    const Reponse nouvelle = obtenir(adresse);
    EXPECT_EQ(nouvelle.statut, 404);
    const auto lu = lireManifeste(nouvelle.corps);
    ASSERT_TRUE(lu);
    EXPECT_TRUE(plusRecente(lu->version, VERSION_APP));
    EXPECT_EQ(lu->url, "https://exemple.fr/ovrel.deb");

    sim.scenario(R"({"maj_brut":"{\"version\":7}"})");
    EXPECT_FALSE(lireManifeste(obtenir(adresse).corps));
}

}  // namespace
}  // namespace ovrel::essais
