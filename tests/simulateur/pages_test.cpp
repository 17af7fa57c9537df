// The simulated console's pages and their contract with the application: the fleet page and its
// hooks, the configuration entry and the tunnel pages, the sign-in host, the label sheet, its
// booklet and the box console, and the pages that exercise downloads, frames and dialogs.
#include "support.h"

#include "app/constantes.h"
#include "atelier/atelier.h"
#include "atelier/fabrication.h"
#include "connexion/connexion.h"
#include "connexion/session.h"
#include "plateforme/adresse.h"
#include "sante/lecture_parc.h"
#include "web/adresses.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

namespace ovrel::essais {
namespace {

class Pages : public ::testing::Test {
protected:
    void SetUp() override { sim.reinitialiser(); }
    Simulateur& sim = Simulateur::instance();
};

std::vector<std::string> liens(const std::string& page, const std::string& attribut = "href") {
    std::vector<std::string> r;
    const std::regex motif(attribut + "=\"([^\"]*)\"");
    for (auto i = std::sregex_iterator(page.begin(), page.end(), motif); i != std::sregex_iterator(); ++i)
        r.push_back((*i)[1]);
    return r;
}

bool contient(const std::string& texte, const std::string& morceau) { return texte.find(morceau) != std::string::npos; }

// Every value of the template was given: no placeholder is left visible.
void pageComplete(const Reponse& r) {
    EXPECT_FALSE(contient(r.corps, "{{")) << r.corps.substr(0, 2000);
    EXPECT_EQ(r.entete("content-type").value_or("").rfind("text/html", 0), 0u);
}

std::string hoteDe(const std::string& url) { return analyserAdresse(url)->hote.value_or(""); }

TEST_F(Pages, LaPageDuParcDefinitLeCrochetReseauEtDesLiensQueLApplicationReconnait) {
    ASSERT_TRUE(estMesOvrels(URL_STUDIO()));
    const Reponse r = obtenir(URL_STUDIO(), sim.cookie("installateur"));
    ASSERT_EQ(r.statut, 200);
    pageComplete(r);
    EXPECT_TRUE(contient(r.corps, "window.OvrelStudio"));
    EXPECT_TRUE(contient(r.corps, "studio.reseau = function"));
    EXPECT_TRUE(contient(r.corps, "window.ovrelAvantDeQuitter"));

    int configurations = 0;
    int ouvertures = 0;
    for (const std::string& lien : liens(r.corps)) {
        if (contient(lien, "/configurer")) {
            const std::string adresse = BASE_CLOUD() + lien;
            EXPECT_TRUE(idDeConfigurer(adresse)) << adresse;
            const auto serie = serieDeConfigurer(adresse);
            ASSERT_TRUE(serie) << adresse;
            EXPECT_TRUE(contient(r.corps, "data-serie=\"" + *serie + "\""));
            ++configurations;
        }
        if (lien.rfind("ovrelstudio://ouvrir", 0) == 0) {
            EXPECT_TRUE(serieAOuvrir(lien)) << lien;
            ++ouvertures;
        }
    }
    EXPECT_EQ(configurations, 5);
    EXPECT_EQ(ouvertures, 5);
}

TEST_F(Pages, SansConnexionLaPageDuParcMeneAuFournisseurDIdentite) {
    const Reponse r = obtenir(URL_STUDIO());
    ASSERT_EQ(r.statut, 302);
    const auto vers = r.entete("location");
    ASSERT_TRUE(vers);
    EXPECT_EQ(navigationDeConnexion(*vers), "connexion") << *vers;
    const Reponse connexion = obtenir(BASE_CLOUD() + "/connexion");
    EXPECT_EQ(navigationDeConnexion(connexion.entete("location").value_or("")), "connexion");
}

TEST_F(Pages, LeFournisseurDIdentiteConnecteAuStudioEtSeDeconnecte) {
    const std::string auth = sim.urlHote("auth.", "/realms/ovrel/protocol/openid-connect/auth?client_id=studio");
    const Reponse page = obtenir(auth);
    ASSERT_EQ(page.statut, 200);
    pageComplete(page);
    std::string choix;
    for (const auto& l : liens(page.corps))
        if (contient(l, "compte=les-deux")) choix = sim.urlHote("auth.", l);
    ASSERT_FALSE(choix.empty());
    EXPECT_EQ(navigationDeConnexion(choix), "connexion");
    const Reponse identifie = obtenir(choix);
    ASSERT_EQ(identifie.statut, 302);
    const Reponse session = obtenir(identifie.entete("location").value_or(""));
    ASSERT_EQ(session.cookiesPoses.size(), 1u);
    const std::string cookie = session.cookiesPoses[0].substr(0, session.cookiesPoses[0].find(';'));
    EXPECT_EQ(obtenir(URL_MOI(), cookie).statut, 200);

    const std::string sortie = sim.urlHote("auth.", "/realms/ovrel/protocol/openid-connect/logout");
    EXPECT_EQ(navigationDeConnexion(sortie), "deconnexion");
    EXPECT_EQ(obtenir(sortie).statut, 200);
}

TEST_F(Pages, LaDeconnexionDuStudioOublieLaConnexion) {
    const std::string cookie = sim.cookie("installateur");
    const std::string adresse = BASE_CLOUD() + "/deconnexion";
    EXPECT_EQ(navigationDeConnexion(adresse), "deconnexion");
    const Reponse r = obtenir(adresse, cookie);
    EXPECT_EQ(r.statut, 200);
    ASSERT_EQ(r.cookiesPoses.size(), 1u);
    EXPECT_TRUE(contient(r.cookiesPoses[0], "Max-Age=0"));
    EXPECT_EQ(obtenir(URL_MOI(), cookie).statut, 401);

    const std::string autre = sim.cookie("installateur");
    const Reponse app = obtenir(*adresseDeconnexionSafari(), autre);
    EXPECT_EQ(app.statut, 302);
    EXPECT_EQ(app.entete("location"), "ovrelstudio://deconnexion");
    EXPECT_EQ(obtenir(URL_MOI(), autre).statut, 401);
}

TEST_F(Pages, LEntreeDeConfigurationMeneAuTunnelAvecUnJetonEtUnCertificatDeBox) {
    const std::string cookie = sim.cookie("installateur");
    const auto entree = adresseEntreeTunnel(sim.idDeSerie("OV24A0001"));
    ASSERT_TRUE(entree);
    const Reponse r = obtenir(*entree, cookie);
    ASSERT_EQ(r.statut, 302);
    const auto location = r.entete("location");
    const auto jeton = jetonDeRedirection(location);
    ASSERT_TRUE(jeton) << location.value_or("");
    const std::string hote = hoteDe(*location);
    const auto serie = serieDeTunnel(hote);
    ASSERT_TRUE(serie) << hote;
    EXPECT_EQ(serieNormalisee(*serie), "OV24A0001");
    EXPECT_TRUE(finitPar(hote, SUFFIXE_BOX()));

    const Reponse page = obtenir(*location);
    ASSERT_EQ(page.statut, 200) << page.domaineErreur << " " << page.codeErreur;
    pageComplete(page);
    ASSERT_TRUE(page.sujetCertificat);
    EXPECT_TRUE(contient(*page.sujetCertificat, "CN=*.box." + sim.domaine)) << *page.sujetCertificat;
    EXPECT_TRUE(contient(page.corps, "window.webkit.messageHandlers.ovrelSession.postMessage(\"expiree\")"));
    EXPECT_TRUE(contient(page.corps, "window.ovrelRenouvelerSession = function"));
    EXPECT_TRUE(contient(page.corps, "window.ovrelAvantDeQuitter = function"));

    // The page checks a renewed token with its own origin.
    const std::string origine = "https://" + hote + ":" + std::to_string(sim.portTls);
    const Reponse verifie = obtenir(origine + "/studio/session/verifier?jeton=" + *jeton);
    ASSERT_EQ(verifie.statut, 200);
    EXPECT_GT(verifie.json()->at("reste_s").as_int64(), 500);
    EXPECT_EQ(obtenir(origine + "/studio/session/verifier?jeton=faux").statut, 401);
    EXPECT_EQ(obtenir(origine + "/studio/session?jeton=faux").statut, 401);
    const Reponse enClair = obtenir("http://" + hote + ":" + std::to_string(sim.portCloud) + "/studio/session?jeton=x");
    EXPECT_EQ(enClair.statut, 301);
    EXPECT_EQ(enClair.entete("location").value_or("").rfind("https://" + hote, 0), 0u);

    // A token of another box does not open this one.
    const auto autre = jetonDeRedirection(obtenir(*adresseEntreeTunnel(sim.idDeSerie("OV24A0002")), cookie).entete("location"));
    ASSERT_TRUE(autre);
    EXPECT_EQ(obtenir(origine + "/studio/session?jeton=" + *autre).statut, 401);
}

TEST_F(Pages, LEntreeDeConfigurationRefuseSansConnexionEtPourUnOvrelHorsLigne) {
    const auto entree = adresseEntreeTunnel(sim.idDeSerie("OV24A0001"));
    EXPECT_EQ(obtenir(*entree).statut, 401);
    EXPECT_FALSE(jetonDeRedirection(obtenir(*entree).entete("location")));
    EXPECT_EQ(obtenir(*entree, sim.cookie("concepteur")).statut, 403);
    EXPECT_EQ(obtenir(*adresseEntreeTunnel(sim.idDeSerie("OV23C0533")), sim.cookie("installateur")).statut, 409);
}

TEST_F(Pages, UnJetonDeTunnelCourtFaitExpirerLaPage) {
    sim.scenario(R"({"duree_jeton_tunnel_s": 1})");
    const auto location = obtenir(*adresseEntreeTunnel(sim.idDeSerie("OV24A0001")), sim.cookie("installateur")).entete("location");
    ASSERT_TRUE(location);
    const Reponse page = obtenir(*location);
    ASSERT_EQ(page.statut, 200);
    EXPECT_TRUE(contient(page.corps, "var reste = 1;"));
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    EXPECT_EQ(obtenir(*location).statut, 401);
}

struct Fiche {
    ReponseFabrication identite;
    std::string adresse;
    std::string cookie;
};

Fiche fabriquer(Simulateur& sim) {
    Fiche f;
    f.cookie = sim.cookie("concepteur");
    Requete q;
    q.methode = "POST";
    q.url = URL_FABRIQUER();
    q.type = "application/json";
    q.corps = corpsFabrication("e3b0c44298fc");
    q.cookie = f.cookie;
    const Reponse r = envoyer(q);
    const auto identite = lireReponseFabrication(r.statut, r.corps);
    if (!identite) {
        ADD_FAILURE() << r.statut << " " << r.corps;
        return f;
    }
    f.identite = *identite;
    f.adresse = *urlFicheEtiquette(*identite);
    return f;
}

Reponse demanderLivret(const Fiche& f, const std::string& code) {
    std::string action;
    for (const auto& a : liens(obtenir(f.adresse, f.cookie).corps, "action"))
        if (finitPar(a, "/livret")) action = a;
    return poster(BASE_CLOUD() + action, "code=" + code, "application/x-www-form-urlencoded", f.cookie);
}

TEST_F(Pages, LaFicheDEtiquetteSImprimeEtProposeLeLivret) {
    const Fiche f = fabriquer(sim);
    ASSERT_TRUE(estFicheEtiquette(f.adresse)) << f.adresse;
    const Reponse r = obtenir(f.adresse, f.cookie);
    ASSERT_EQ(r.statut, 200);
    pageComplete(r);
    EXPECT_TRUE(contient(r.corps, "onclick=\"window.print()\""));
    EXPECT_TRUE(contient(r.corps, f.identite.code));
    EXPECT_TRUE(contient(r.corps, "method=\"post\""));
    const auto actions = liens(r.corps, "action");
    ASSERT_EQ(actions.size(), 1u);
    EXPECT_TRUE(finitPar(actions[0], "/livret"));
    EXPECT_FALSE(quitteLaFiche(f.adresse, BASE_CLOUD() + actions[0], "POST", false, true));
    EXPECT_FALSE(quitteLaFiche(f.adresse, f.adresse + "#code", "GET", false, true));

    EXPECT_EQ(obtenir(*urlFicheEtiquette(f.identite.site_id, "AAAA-BBBB"), f.cookie).statut, 404);
    EXPECT_EQ(obtenir(f.adresse).statut, 302) << "sans connexion, la console renvoie à l'identification";
}

TEST_F(Pages, LeLivretRepondSelonLeScenario) {
    const Fiche f = fabriquer(sim);
    const Reponse joint = demanderLivret(f, f.identite.code);
    EXPECT_EQ(joint.statut, 200);
    EXPECT_EQ(joint.entete("content-type"), "application/pdf");
    EXPECT_TRUE(estPieceJointe(joint.entete("content-disposition")));
    EXPECT_EQ(joint.corps.rfind("%PDF-", 0), 0u);
    EXPECT_TRUE(contient(joint.corps, f.identite.code));

    sim.scenario(R"({"livret":"pdf_en_ligne"})");
    const Reponse enLigne = demanderLivret(f, f.identite.code);
    EXPECT_EQ(enLigne.statut, 200);
    EXPECT_EQ(enLigne.entete("content-type"), "application/pdf");
    EXPECT_TRUE(enLigne.entete("content-disposition"));
    EXPECT_FALSE(estPieceJointe(enLigne.entete("content-disposition")));

    sim.scenario(R"({"livret":"html_500"})");
    const Reponse erreur = demanderLivret(f, f.identite.code);
    EXPECT_EQ(erreur.statut, 500);
    EXPECT_EQ(erreur.entete("content-type").value_or("").rfind("text/html", 0), 0u);

    sim.scenario(R"({"livret":"redirection"})");
    const Reponse ailleurs = demanderLivret(f, f.identite.code);
    EXPECT_GE(ailleurs.statut, 300);
    EXPECT_LT(ailleurs.statut, 400);
    EXPECT_TRUE(ailleurs.entete("location"));

    sim.scenario(R"({"livret":"piece_jointe"})");
    EXPECT_EQ(demanderLivret(f, "AAAA-BBBB").statut, 403);
}

// The box's id in the registry, as the workshop reads it.
std::string idDuRegistre(const std::string& cookie, const std::string& serie) {
    const auto registre = lireParcAtelier(obtenir(BASE_CLOUD() + "/admin/api/parc", cookie).corps);
    if (!registre || !registre->count(serie)) {
        ADD_FAILURE() << "série inconnue du registre : " << serie;
        return "";
    }
    return registre->at(serie).id;
}

TEST_F(Pages, LaFicheConsoleProposeUnNouveauCodeTantQueLOvrelEstALAtelier) {
    const std::string cookie = sim.cookie("concepteur");
    const Reponse enStock = obtenir(*urlConsoleBox(idDuRegistre(cookie, "OV24A0002")), cookie);
    ASSERT_EQ(enStock.statut, 200);
    pageComplete(enStock);
    const auto actions = liens(enStock.corps, "action");
    ASSERT_EQ(actions.size(), 1u);
    EXPECT_TRUE(finitPar(actions[0], "/nouveau-code"));

    const Reponse enService = obtenir(*urlConsoleBox(idDuRegistre(cookie, "OV24A0001")), cookie);
    ASSERT_EQ(enService.statut, 200);
    EXPECT_TRUE(liens(enService.corps, "action").empty());

    const Reponse nouveau = poster(BASE_CLOUD() + actions[0], "", "application/x-www-form-urlencoded", cookie);
    ASSERT_EQ(nouveau.statut, 303);
    const std::string fiche = BASE_CLOUD() + nouveau.entete("location").value_or("");
    EXPECT_TRUE(estFicheEtiquette(fiche));
    EXPECT_EQ(obtenir(fiche, cookie).statut, 200);
    // The previous code is worth nothing once a new one is made.
    const Reponse encore = poster(BASE_CLOUD() + actions[0], "", "application/x-www-form-urlencoded", cookie);
    EXPECT_EQ(obtenir(fiche, cookie).statut, 404);
    EXPECT_EQ(obtenir(BASE_CLOUD() + encore.entete("location").value_or(""), cookie).statut, 200);
    EXPECT_EQ(poster(*urlConsoleBox(idDuRegistre(cookie, "OV24A0001")) + "/nouveau-code", "",
                     "application/x-www-form-urlencoded", cookie)
                  .statut,
              409);
}

// The site and the box have identifiers of their own: each address takes the one it is made for
// and refuses the other, so that a flow that mixes them up fails here as it would for real.
TEST_F(Pages, ChaqueAdresseNeConnaitQueLIdentifiantQuiLaConcerne) {
    const Fiche f = fabriquer(sim);
    const std::string boxNeuve = idDuRegistre(f.cookie, serieNormalisee(f.identite.serie));
    ASSERT_NE(boxNeuve, f.identite.site_id);
    const std::string formulaire = "application/x-www-form-urlencoded";
    const std::string code = "code=" + f.identite.code;

    // The label sheet and its booklet are the site's.
    EXPECT_EQ(obtenir(f.adresse, f.cookie).statut, 200);
    EXPECT_EQ(obtenir(*urlFicheEtiquette(boxNeuve, f.identite.code), f.cookie).statut, 404);
    EXPECT_EQ(poster(BASE_CLOUD() + "/admin/etiquette/" + f.identite.site_id + "/livret", code, formulaire, f.cookie).statut, 200);
    EXPECT_EQ(poster(BASE_CLOUD() + "/admin/etiquette/" + boxNeuve + "/livret", code, formulaire, f.cookie).statut, 404);

    // The console page is the box's, and so is its new label code, which leads to the site's sheet.
    EXPECT_EQ(obtenir(*urlConsoleBox(boxNeuve), f.cookie).statut, 200);
    EXPECT_EQ(obtenir(*urlConsoleBox(f.identite.site_id), f.cookie).statut, 404);
    EXPECT_EQ(poster(*urlConsoleBox(f.identite.site_id) + "/nouveau-code", "", formulaire, f.cookie).statut, 404);
    const Reponse nouveau = poster(*urlConsoleBox(boxNeuve) + "/nouveau-code", "", formulaire, f.cookie);
    ASSERT_EQ(nouveau.statut, 303);
    EXPECT_EQ(nouveau.entete("location").value_or("").rfind("/admin/etiquette/" + f.identite.site_id + "?code=", 0), 0u);
    // The console's own list leads to each box's page.
    const auto fiches = liens(obtenir(BASE_CLOUD() + "/admin", f.cookie).corps);
    EXPECT_NE(std::find(fiches.begin(), fiches.end(), "/admin/box/" + boxNeuve), fiches.end());
    EXPECT_EQ(std::find(fiches.begin(), fiches.end(), "/admin/box/" + f.identite.site_id), fiches.end());

    // A box of the fleet: its fleet id is its site's, which its configuration, repair and anomaly
    // addresses take; its registry id opens none of them.
    const std::string installateur = sim.cookie("installateur");
    const auto parc = lireParc(obtenir(URL_PARC(), installateur).corps, true);
    ASSERT_TRUE(parc);
    std::string site;
    for (const auto& o : parc->ovrels)
        if (o.serie == "OV23C0417") site = o.id;
    const std::string boxMartin = idDuRegistre(f.cookie, "OV23C0417");
    ASSERT_FALSE(site.empty());
    ASSERT_NE(site, boxMartin);
    EXPECT_EQ(idDeConfigurer(adresseEntreeTunnel(site)), site) << "le site est un UUID, comme l'application l'exige";
    EXPECT_EQ(obtenir(*adresseEntreeTunnel(site), installateur).statut, 302);
    EXPECT_EQ(obtenir(*adresseEntreeTunnel(boxMartin), installateur).statut, 404);
    const std::string reparer = "/reparer?cle=sauvegarde-ancienne";
    EXPECT_EQ(obtenir(BASE_CLOUD() + "/studio/site/" + site + reparer, installateur).statut, 200);
    EXPECT_EQ(obtenir(BASE_CLOUD() + "/studio/site/" + boxMartin + reparer, installateur).statut, 404);
    const std::string acquitter = "/anomalies/sauvegarde-ancienne/relancer";
    EXPECT_EQ(poster(BASE_CLOUD() + "/studio/api/sites/" + boxMartin + acquitter, "", "application/json", installateur).statut,
              404);
    EXPECT_EQ(poster(BASE_CLOUD() + "/studio/api/sites/" + site + acquitter, "", "application/json", installateur).statut, 200);
    EXPECT_EQ(obtenir(*urlConsoleBox(boxMartin), f.cookie).statut, 200);
    EXPECT_EQ(obtenir(*urlConsoleBox(site), f.cookie).statut, 404);
}

TEST_F(Pages, LaConsoleConcepteurDemandeLeRoleConcepteur) {
    const Reponse r = obtenir(BASE_CLOUD() + "/admin", sim.cookie("concepteur"));
    ASSERT_EQ(r.statut, 200);
    pageComplete(r);
    EXPECT_TRUE(contient(r.corps, "OV24A0003"));
    EXPECT_EQ(obtenir(BASE_CLOUD() + "/admin", sim.cookie("installateur")).statut, 403);
    EXPECT_EQ(obtenir(BASE_CLOUD() + "/admin").statut, 302);
}

TEST_F(Pages, LaPageDeReparationDUneActionGetSAffiche) {
    const Reponse r = obtenir(BASE_CLOUD() + "/studio/site/" + sim.idDeSerie("OV23C0417") + "/reparer?cle=sauvegarde-ancienne",
                              sim.cookie("installateur"));
    ASSERT_EQ(r.statut, 200);
    pageComplete(r);
    EXPECT_TRUE(contient(r.corps, "Sauvegarde en retard"));
}

TEST_F(Pages, LesPagesDEssaiCouvrentCadresTelechargementsFichiersEtDialogues) {
    const Reponse cadre = obtenir(BASE_CLOUD() + "/studio/demo/cadre");
    ASSERT_EQ(cadre.statut, 200);
    pageComplete(cadre);
    const auto sources = liens(cadre.corps, "src");
    ASSERT_EQ(sources.size(), 2u);
    EXPECT_TRUE(hoteAutorise(sources[0]));
    EXPECT_NE(hoteDe(sources[0]), hoteDe(BASE_CLOUD())) << "un cadre d'un autre hôte du domaine";
    EXPECT_FALSE(hoteAutorise(sources[1])) << "un cadre d'un hôte étranger";
    for (const auto& s : sources) EXPECT_EQ(obtenir(s).statut, 200) << s;

    const Reponse telechargements = obtenir(BASE_CLOUD() + "/studio/demo/sauvegarde");
    ASSERT_EQ(telechargements.statut, 200);
    std::string sauvegarde;
    for (const auto& l : liens(telechargements.corps))
        if (sauvegarde.empty() && finitPar(l, ".ovrelbk")) sauvegarde = l;
    ASSERT_FALSE(sauvegarde.empty());
    const Reponse fichier = obtenir(BASE_CLOUD() + sauvegarde);
    EXPECT_EQ(fichier.statut, 200);
    EXPECT_TRUE(estPieceJointe(fichier.entete("content-disposition")));
    EXPECT_TRUE(contient(fichier.entete("content-disposition").value_or(""), ".ovrelbk"));
    const Reponse pdf = obtenir(BASE_CLOUD() + "/studio/demo/fichiers/guide-installation.pdf");
    EXPECT_EQ(pdf.entete("content-type"), "application/pdf");
    EXPECT_FALSE(pdf.entete("content-disposition"));

    const Reponse choix = obtenir(BASE_CLOUD() + "/studio/demo/fichier");
    EXPECT_TRUE(contient(choix.corps, "type=\"file\""));
    const Reponse dialogues = obtenir(BASE_CLOUD() + "/studio/demo/dialogues");
    for (const char* appel : {"alert(", "confirm(", "prompt("}) EXPECT_TRUE(contient(dialogues.corps, appel)) << appel;
}

}  // namespace
}  // namespace ovrel::essais
