// What the web host decides for each navigation and response, page messages and printing, with a
// fake web view. The frame of a navigation may be known (true/false) or not (absent): the main
// frame's rules then apply on the response.
#include "app/constantes.h"
#include "tests/faux/banc_delegue.h"
#include "web/adresses.h"
#include "web/scripts_page.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

using namespace ovrel;
using namespace std::chrono_literals;

namespace {

const std::string STUDIO = "https://" + HOTE_STUDIO();
const std::string FICHE = STUDIO + "/admin/etiquette/B-0042";
const std::string LIVRET = FICHE + "/livret";
const std::string ETRANGER = "https://exemple.org/page";
const std::string CONNEXION = "https://auth." + std::string(DOMAINE_CLOUD) + "/realms/ovrel/protocol/openid-connect/auth";

ActionNavigation action(std::string url, std::optional<bool> principal, std::string methode = "GET",
                        GenreNavigation genre = GenreNavigation::lien, bool redirection = false) {
    ActionNavigation a;
    a.url = std::move(url);
    a.cadrePrincipal = principal;
    a.methode = std::move(methode);
    a.genre = genre;
    a.redirection = redirection;
    return a;
}

ReponseNavigation reponse(std::string url, bool principal, int statut = 200, std::string mime = "text/html",
                          bool affichable = true, std::optional<std::string> disposition = std::nullopt,
                          std::string methode = "GET") {
    ReponseNavigation r;
    r.url = std::move(url);
    r.cadrePrincipal = principal;
    r.statut = statut;
    r.typeMime = std::move(mime);
    r.typeAffichable = affichable;
    r.dispositionContenu = std::move(disposition);
    r.methode = std::move(methode);
    return r;
}

class DeleguePolitique : public ::testing::Test, protected BancDelegue {
protected:
    EvenementsVueWeb& ev() { return *vue.ecouteur; }
    void surLaFiche() {
        ecrans.ecran = Ecran::web;
        engager(FICHE);
        ASSERT_TRUE(delegue->ficheAGarder());
    }
    std::vector<std::string> titresMontres() const {
        std::vector<std::string> t;
        for (const auto& d : dialogues.montres) t.push_back(d.titre);
        return t;
    }
};

TEST_F(DeleguePolitique, ChaqueActionSelonSonAdresseEtSonCadre) {
    struct Cas {
        std::string url;
        std::optional<bool> principal;
        DecisionNavigation attendue;
        bool ailleurs;  // handed to the desktop's default application
    };
    const auto D = DecisionNavigation::telecharger, A = DecisionNavigation::autoriser, X = DecisionNavigation::annuler;
    for (const Cas& c : std::vector<Cas>{
             {STUDIO + "/studio/rapport.PDF", true, D, false},
             {STUDIO + "/b.ovrelbk", std::nullopt, D, false},
             {"http://192.168.1.20:8000/export.zip", false, D, false},
             {"https://exemple.org/notice.pdf", false, X, true},  // a file from elsewhere, any frame
             {STUDIO + "/outil.dmg", true, X, true},              // installers, whoever serves them
             {ETRANGER, true, X, true},
             {ETRANGER, false, A, false},         // a sub-frame may show any site
             {ETRANGER, std::nullopt, A, false},  // unknown frame: its response decides
             {"http://xovrel" + std::string(DOMAINE_CLOUD).substr(5) + "/", true, X, true},
             {"mailto:support@exemple.org", true, X, true},
             {"about:blank", true, A, false},
             {"data:text/html,x", std::nullopt, A, false},
             {CONNEXION, false, A, false},
             {CONNEXION, std::nullopt, A, false},
         }) {
        SCOPED_TRACE(c.url);
        systeme.ouvertes.clear();
        EXPECT_EQ(ev().deciderNavigation(action(c.url, c.principal)), c.attendue);
        EXPECT_EQ(systeme.ouvertes, c.ailleurs ? std::vector<std::string>{c.url} : std::vector<std::string>{});
    }
    EXPECT_EQ(systeme.lignes.back(), "OVREL NAV → " + adresseSansSecret(CONNEXION));
    EXPECT_TRUE(dialogues.montres.empty());
}

TEST_F(DeleguePolitique, LesLiensDeLApplicationEtLaConnexionSontPrisParLApplication) {
    EXPECT_EQ(ev().deciderNavigation(action("OVRELSTUDIO://ouvrir?serie=OV-1", false)), DecisionNavigation::annuler);
    // The sign-in page asked by the main frame: the application's own sign-in, after the decision.
    ecrans.ecran = Ecran::web;
    EXPECT_EQ(ev().deciderNavigation(action(CONNEXION, true)), DecisionNavigation::annuler);
    EXPECT_EQ(ecrans.ecran, Ecran::web);
    minuteries.vider();
    EXPECT_NE(std::find(systeme.lignes.begin(), systeme.lignes.end(),
                        "OVREL LIEN → " + adresseSansSecret("ovrelstudio://ouvrir?serie=OV-1")),
              systeme.lignes.end());
    EXPECT_EQ(ecrans.ecran, Ecran::connexion);
    ASSERT_EQ(http.requetes.size(), 1u);  // the probe of the browser sign-in
    EXPECT_TRUE(http.requetes[0].url.ends_with("/sante"));

    // Reached in the main frame through a redirect of unknown frame: its response is turned away.
    http.requetes.clear();
    EXPECT_EQ(ev().deciderReponse(reponse(CONNEXION, true)), DecisionNavigation::annuler);
    EXPECT_EQ(ev().deciderReponse(reponse(CONNEXION, false)), DecisionNavigation::autoriser);
}

TEST_F(DeleguePolitique, ChaqueReponseSelonSonTypeSonHoteEtSonCadre) {
    struct Cas {
        ReponseNavigation r;
        DecisionNavigation attendue;
        bool ailleurs;
    };
    const auto D = DecisionNavigation::telecharger, A = DecisionNavigation::autoriser, X = DecisionNavigation::annuler;
    for (const Cas& c : std::vector<Cas>{
             {reponse(STUDIO + "/studio", true), A, false},
             {reponse(ETRANGER, true), X, true},   // reached the main frame unjudged
             {reponse(ETRANGER, false), A, false},
             {reponse(STUDIO + "/r", true, 200, "text/html", true, " Attachment ; filename=r.html"), D, false},
             {reponse(STUDIO + "/r.bin", false, 200, "application/octet-stream", false), D, false},
             {reponse("https://exemple.org/r.bin", false, 200, "application/octet-stream", false), X, true},
             {reponse("blob:https://exemple.org/1", false, 200, "application/octet-stream", false), D, false},
         }) {
        SCOPED_TRACE(*c.r.url);
        systeme.ouvertes.clear();
        EXPECT_EQ(ev().deciderReponse(c.r), c.attendue);
        EXPECT_EQ(systeme.ouvertes, c.ailleurs ? std::vector<std::string>{*c.r.url} : std::vector<std::string>{});
    }
}

TEST_F(DeleguePolitique, QuitterLaFicheDemandeAuDebutOuALaReponseSelonLeCadre) {
    surLaFiche();
    // Known main frame: asked when the navigation starts.
    dialogues.choisir("Rester sur la fiche");
    EXPECT_EQ(ev().deciderNavigation(action(STUDIO + "/studio", true)), DecisionNavigation::annuler);
    dialogues.choisir("Rester sur la fiche");
    EXPECT_EQ(ev().deciderNavigation(action(FICHE, true, "GET", GenreNavigation::rechargement)),
              DecisionNavigation::annuler);
    // An anchor of the sheet itself, a sub-frame: nothing to ask.
    EXPECT_EQ(ev().deciderNavigation(action(FICHE + "#code", true)), DecisionNavigation::autoriser);
    EXPECT_EQ(ev().deciderReponse(reponse(STUDIO + "/cadre", false)), DecisionNavigation::autoriser);
    // Unknown frame: allowed at its start, asked on its main-frame response.
    EXPECT_EQ(ev().deciderNavigation(action(STUDIO + "/studio", std::nullopt)), DecisionNavigation::autoriser);
    dialogues.choisir("Rester sur la fiche");
    EXPECT_EQ(ev().deciderReponse(reponse(STUDIO + "/studio", true)), DecisionNavigation::annuler);
    EXPECT_EQ(dialogues.montres.size(), 3u);
    EXPECT_TRUE(delegue->ficheAGarder());

    dialogues.choisir("Partir sans l'étiquette");
    EXPECT_EQ(ev().deciderReponse(reponse(STUDIO + "/studio", true)), DecisionNavigation::autoriser);
    EXPECT_FALSE(delegue->ficheAGarder());
}

TEST_F(DeleguePolitique, UnChargementEchoueOublieLeLivretAttendu) {
    surLaFiche();
    ev().deciderNavigation(action(LIVRET, true, "POST", GenreNavigation::formulaire));
    ev().chargementEchoue(LIVRET, ErreurTransport{"WebKitNetworkError", 302, ""}, true);
    EXPECT_EQ(ev().deciderNavigation(action(STUDIO + "/admin", std::nullopt, "GET", GenreNavigation::autre, true)),
              DecisionNavigation::autoriser);
    EXPECT_TRUE(dialogues.montres.empty());
}

TEST_F(DeleguePolitique, NouvellesFenetres) {
    ev().nouvelleFenetreDemandee(STUDIO + "/admin");
    ev().nouvelleFenetreDemandee(ETRANGER);
    ev().nouvelleFenetreDemandee("about:blank");
    ev().nouvelleFenetreDemandee(std::nullopt);
    ev().nouvelleFenetreDemandee("ovrelstudio://connexion");  // a page's link: never the desktop's
    ASSERT_EQ(vue.chargements.size(), 1u);
    EXPECT_EQ(vue.chargements[0], (ChargementWeb{STUDIO + "/admin", 60s}));
    EXPECT_EQ(systeme.ouvertes, std::vector<std::string>{ETRANGER});
}

TEST_F(DeleguePolitique, ImprimerRefuseParUnBipOuFaitEtSecuriseLaFiche) {
    delegue->imprimerPage();  // sign-in screen
    ecrans.ecran = Ecran::web;
    engager(ETRANGER);
    delegue->imprimerPage();  // a foreign page
    surLaFiche();
    dialogues.ouvert = true;
    delegue->imprimerPage();  // a dialog is open
    dialogues.ouvert = false;
    EXPECT_EQ(dialogues.bips, 3);
    EXPECT_TRUE(vue.impressions.empty());

    delegue->imprimerPage();
    delegue->imprimerPage();  // one print at a time
    EXPECT_EQ(dialogues.bips, 4);
    EXPECT_EQ(vue.impressions, std::vector<std::string>{"Ovrel"});  // an untitled page
    ASSERT_TRUE(vue.finirImpression(false));
    EXPECT_TRUE(delegue->ficheAGarder());  // cancelled

    vue.titrePage = "Étiquette B-0042";
    delegue->imprimerPage();
    ASSERT_TRUE(vue.finirImpression(true));
    EXPECT_FALSE(delegue->ficheAGarder());
    EXPECT_EQ(vue.impressions.back(), "Étiquette B-0042");
    EXPECT_EQ(systeme.lignes.back(), "OVREL IMPRESSION: faite");
}

TEST_F(DeleguePolitique, LesMessagesDesPagesSeulementDuCadrePrincipalDUnHoteAutorise) {
    ecrans.ecran = Ecran::web;
    engager(STUDIO + "/studio");
    auto message = [](std::optional<std::string> origine, std::optional<bool> principal) {
        return MessageScript{std::string(MESSAGE_IMPRIMER), "null", std::move(origine), principal};
    };
    for (const MessageScript& m : {message(STUDIO, false), message(STUDIO, std::nullopt),
                                   message("https://exemple.org", true), message(std::nullopt, true),
                                   MessageScript{"autre", "null", STUDIO, true}}) {
        ev().messageScript(m);
    }
    minuteries.vider();
    EXPECT_TRUE(vue.impressions.empty());

    // The page's print: not again within a second after the last print dialog closed.
    ev().messageScript(message(STUDIO, true));
    minuteries.vider();
    ASSERT_EQ(vue.impressions.size(), 1u);
    vue.finirImpression(false);
    horloge.avancer(500ms);
    ev().messageScript(message("http://192.168.1.20:8000", true));
    minuteries.vider();
    EXPECT_EQ(vue.impressions.size(), 1u);
    horloge.avancer(1s);
    ev().messageScript(message(STUDIO, true));
    minuteries.vider();
    EXPECT_EQ(vue.impressions.size(), 2u);
    EXPECT_EQ(dialogues.bips, 0);
}

TEST_F(DeleguePolitique, CameraSeulePourLeCloudJamaisLeMicro) {
    const std::string box = "http://192.168.1.20:8000/";
    EXPECT_TRUE(ev().mediaDemande({true, false, STUDIO + "/studio"}));
    EXPECT_FALSE(ev().mediaDemande({false, true, STUDIO + "/studio"}));
    EXPECT_FALSE(ev().mediaDemande({true, true, STUDIO + "/studio"}));
    EXPECT_FALSE(ev().mediaDemande({true, false, box}));
    EXPECT_FALSE(ev().mediaDemande({true, false, std::nullopt}));
}

TEST_F(DeleguePolitique, LeNouveauCodeMontreUneFoisSurLaPageDeLaBox) {
    delegue->mettreEnAvantNouveauCode();
    vue.url = STUDIO + "/admin/box/B-0042";
    ev().chargementTermine();
    ev().chargementTermine();  // a reload: asked once only
    ASSERT_EQ(vue.scripts.size(), 1u);
    EXPECT_EQ(vue.scripts[0].script, SCRIPT_NOUVEAU_CODE);
    vue.repondreScript(0, "absent");
    EXPECT_EQ(titresMontres(), std::vector<std::string>{"Pas de nouvelle étiquette pour cet Ovrel"});

    delegue->mettreEnAvantNouveauCode();
    vue.url = STUDIO + "/admin";
    ev().chargementTermine();
    vue.url = STUDIO + "/admin/box/B-0042";
    ev().chargementTermine();
    EXPECT_EQ(vue.scripts.size(), 1u);
}

}  // namespace
