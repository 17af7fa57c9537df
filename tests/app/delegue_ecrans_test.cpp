// The shell's flows: launch, switching to the sign-in and web screens, the back control of the
// web container, menu validation and the window's delegate.
#include "app/constantes.h"
#include "tests/faux/banc_delegue.h"
#include "web/adresses.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace ovrel;
using namespace std::chrono_literals;

namespace {

const char* const SCRIPT_HOOK = "window.ovrelAvantDeQuitter ? window.ovrelAvantDeQuitter() : 0";

class DelegueEcrans : public ::testing::Test, protected BancDelegue {
protected:
    int retours = 0;

    // An unsecured label sheet committed in the web container.
    void surFicheNonGardee() {
        const std::string fiche = "https://" + HOTE_STUDIO() + "/admin/etiquette/B-0042";
        ASSERT_TRUE(estFicheEtiquette(fiche));
        ecrans.ecran = Ecran::web;
        engager(fiche);
    }
    void surPageWeb() {
        ecrans.ecran = Ecran::web;
        engager(URL_STUDIO());
    }
};

TEST_F(DelegueEcrans, LancementSansCookieMontreLaConnexionPuisVerifieLaMiseAJour) {
    ecrans.ecran = Ecran::web;
    delegue->applicationDidFinishLaunching();
    EXPECT_EQ(ecrans.historique, std::vector<Ecran>{Ecran::connexion});
    // The update check (nothing to copy into the view) and the question about the user.
    ASSERT_EQ(http.requetes.size(), 2u);
    EXPECT_EQ(http.requetes[0].url, CANAL_MAJ());
    EXPECT_EQ(http.requetes[1].url, URL_MOI());
    // Silent: no channel answered, the user is not signed in.
    http.repondre(HttpFaux::echec("g-io-error-quark", 39));
    http.repondre(HttpFaux::reponse(401, std::nullopt));
    minuteries.vider();
    EXPECT_TRUE(dialogues.montres.empty());
    EXPECT_EQ(ecrans.ecran, Ecran::connexion);
}

TEST_F(DelegueEcrans, LancementAttendQueLaSessionSoitDansLaVueWeb) {
    http.jar = {cookieEssai("session", "s1", HOTE_STUDIO()),
                cookieEssai("pref", "p", "." + std::string(DOMAINE_CLOUD))};
    vue.retenirCookies = true;
    delegue->applicationDidFinishLaunching();
    EXPECT_EQ(vue.magasin, http.jar);
    // Only the question about the user goes before the copy ends.
    ASSERT_EQ(http.requetes.size(), 1u);
    EXPECT_EQ(http.requetes[0].url, URL_MOI());
    ASSERT_TRUE(vue.libererCookies());
    minuteries.vider();
    EXPECT_EQ(http.requetes.size(), 1u);
    ASSERT_TRUE(vue.libererCookies());
    ASSERT_EQ(http.requetes.size(), 2u);
    EXPECT_EQ(http.requetes[1].url, CANAL_MAJ());
}

TEST_F(DelegueEcrans, UnRefusDuGardienNeChangeRien) {
    surFicheNonGardee();
    dialogues.choisir("Rester sur la fiche");

    delegue->montrerConnexion();

    EXPECT_EQ(dialogues.montres.size(), 1u);
    EXPECT_EQ(ecrans.ecran, Ecran::web);
    EXPECT_TRUE(ecrans.historique.empty());
    EXPECT_TRUE(vue.chargements.empty());
    EXPECT_TRUE(delegue->ficheAGarder());
}

TEST_F(DelegueEcrans, ConnexionAccepteeOublieLaFiche) {
    surFicheNonGardee();
    dialogues.choisir("Partir sans l'étiquette");

    delegue->montrerConnexion();

    EXPECT_FALSE(delegue->ficheAGarder());
    ASSERT_EQ(vue.chargements.size(), 1u);
    EXPECT_EQ(vue.chargements[0], (ChargementWeb{"about:blank", 60s}));
    EXPECT_EQ(ecrans.historique, std::vector<Ecran>{Ecran::connexion});
}

TEST_F(DelegueEcrans, ConnexionSansFicheNeDemandeRien) {
    surPageWeb();
    delegue->montrerConnexion();
    EXPECT_TRUE(dialogues.montres.empty());
    EXPECT_TRUE(vue.chargements.empty());
    EXPECT_EQ(ecrans.ecran, Ecran::connexion);
}

TEST_F(DelegueEcrans, MontrerWebNeDemandeRienAuGardien) {
    surFicheNonGardee();
    ecrans.ecran = Ecran::parc;
    delegue->montrerWeb();
    EXPECT_TRUE(dialogues.montres.empty());
    EXPECT_TRUE(delegue->ficheAGarder());
    EXPECT_EQ(ecrans.historique, std::vector<Ecran>{Ecran::web});
}

TEST_F(DelegueEcrans, RetourSansCrochetDansLaPageAgitDesQueLeScriptRepond) {
    surPageWeb();
    delegue->definirRetourAction([this] { ++retours; });
    delegue->actionRetour();

    ASSERT_EQ(vue.scripts.size(), 1u);
    EXPECT_EQ(vue.scripts[0].script, SCRIPT_HOOK);
    EXPECT_EQ(retours, 0);
    minuteries.avancer(100ms);
    vue.repondreScript(0, "0");
    EXPECT_EQ(retours, 1);
    minuteries.avancer(2s);
    EXPECT_EQ(retours, 1);
}

TEST_F(DelegueEcrans, RetourAvecUnCrochetQuiEchoueAgitAussi) {
    surPageWeb();
    delegue->definirRetourAction([this] { ++retours; });
    delegue->actionRetour();
    vue.repondreScript(0, std::nullopt, ErreurTransport{"WebKitJavascriptError", 699, "TypeError"});
    EXPECT_EQ(retours, 1);
    minuteries.avancer(1s);
    EXPECT_EQ(retours, 1);
}

TEST_F(DelegueEcrans, RetourAvecUnCrochetMuetAgitApresSeptDixiemes) {
    surPageWeb();
    delegue->definirRetourAction([this] { ++retours; });
    delegue->actionRetour();
    minuteries.avancer(699ms);
    EXPECT_EQ(retours, 0);
    minuteries.avancer(1ms);
    EXPECT_EQ(retours, 1);
    // The hook answering at last changes nothing.
    vue.repondreScript(0, "1");
    minuteries.avancer(5s);
    EXPECT_EQ(retours, 1);
}

TEST_F(DelegueEcrans, RetourSansActionMeneALaConnexion) {
    surPageWeb();
    delegue->actionRetour();
    EXPECT_EQ(ecrans.ecran, Ecran::web);
    vue.repondreScript(0, "0");
    EXPECT_EQ(ecrans.ecran, Ecran::connexion);
}

TEST_F(DelegueEcrans, UnDoubleClicSurRetourNeFaitQuUnRetour) {
    surPageWeb();
    delegue->definirRetourAction([this] { ++retours; });
    delegue->actionRetour();
    delegue->actionRetour();
    EXPECT_EQ(vue.scripts.size(), 1u);
    minuteries.avancer(700ms);
    EXPECT_EQ(retours, 1);
    // Once that back is done, the next press is a new one.
    delegue->actionRetour();
    vue.repondreScript(1, "0");
    EXPECT_EQ(retours, 2);
}

TEST_F(DelegueEcrans, RetourHorsDuConteneurWebAgitAussitot) {
    ecrans.ecran = Ecran::box;
    vue.url = URL_STUDIO();
    delegue->definirRetourAction([this] { ++retours; });
    delegue->actionRetour();
    EXPECT_EQ(retours, 1);
    EXPECT_TRUE(vue.scripts.empty());
    EXPECT_EQ(minuteries.actives(), 0u);
}

TEST_F(DelegueEcrans, RetourRefuseParLeGardien) {
    surFicheNonGardee();
    delegue->definirRetourAction([this] { ++retours; });
    dialogues.choisir("Rester sur la fiche");
    delegue->actionRetour();
    EXPECT_TRUE(vue.scripts.empty());
    minuteries.avancer(1s);
    EXPECT_EQ(retours, 0);
}

TEST_F(DelegueEcrans, RetourQuiRemplaceSaPropreActionNeLaRelancePas) {
    surPageWeb();
    delegue->definirRetourAction([this] {
        ++retours;
        delegue->definirRetourAction([this] { retours += 100; });
    });
    delegue->actionRetour();
    vue.repondreScript(0, "0");
    minuteries.avancer(1s);
    EXPECT_EQ(retours, 1);
}

TEST_F(DelegueEcrans, RetourEnAttenteSansEffetUneFoisLObjetDetruit) {
    surPageWeb();
    delegue->definirRetourAction([this] { ++retours; });
    delegue->actionRetour();
    delegue.reset();
    minuteries.avancer(1s);
    vue.repondreScript(0, "0");
    EXPECT_EQ(retours, 0);
}

TEST_F(DelegueEcrans, ImprimerActifSeulementSurUnePageDuConteneurWeb) {
    EXPECT_FALSE(delegue->validerElementMenu("imprimerPage"));  // sign-in screen

    ecrans.ecran = Ecran::web;
    EXPECT_FALSE(delegue->validerElementMenu("imprimerPage"));  // never loaded a page

    vue.url = URL_STUDIO();
    EXPECT_TRUE(delegue->validerElementMenu("imprimerPage"));

    for (Ecran autre : {Ecran::connexion, Ecran::parc, Ecran::box, Ecran::atelier}) {
        ecrans.ecran = autre;
        EXPECT_FALSE(delegue->validerElementMenu("imprimerPage"));
    }

    ecrans.ecran = Ecran::web;
    ecrans.fenetre = false;
    EXPECT_FALSE(delegue->validerElementMenu("imprimerPage"));

    ecrans.fenetre = true;
    delegue->attacherVueWeb(nullptr);
    EXPECT_FALSE(delegue->validerElementMenu("imprimerPage"));
}

TEST_F(DelegueEcrans, LesAutresActionsDeLObjetSontActivesCellesQuIlNAPasNon) {
    ecrans.fenetre = false;
    delegue->attacherVueWeb(nullptr);
    for (const char* action : {"verifierMiseAJourManuelle", "deconnexion", "actionRetour", "actionConnexionOvrel",
                               "actionParc", "recharger", "actionParcHorsLigne", "ouvrirStudioWeb", "actionActualiserParc",
                               "montrerBoxLocales", "ouvrirConsole", "actionActualiser", "montrerAtelier",
                               "fabriquerBoxAction", "refaireEtiquetteAction", "rattacherAncienAction"})
        EXPECT_TRUE(delegue->validerElementMenu(action)) << action;
    EXPECT_FALSE(delegue->validerElementMenu("inconnue"));
}

TEST_F(DelegueEcrans, FermerLaFenetreDemandeAuGardien) {
    surFicheNonGardee();
    dialogues.choisir("Rester sur la fiche");
    EXPECT_FALSE(delegue->windowShouldClose());
    EXPECT_TRUE(delegue->ficheAGarder());
    EXPECT_EQ(ecrans.ecran, Ecran::web);

    dialogues.choisir("Partir sans l'étiquette");
    EXPECT_TRUE(delegue->windowShouldClose());
    EXPECT_FALSE(delegue->ficheAGarder());
    EXPECT_TRUE(delegue->applicationShouldTerminateAfterLastWindowClosed());
}

}  // namespace
