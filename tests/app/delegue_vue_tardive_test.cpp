// The web view made after the launch: the window draws the sign-in screen first and makes the
// view a moment later. Until it is there with the saved session, the launch's cookie copy, a
// sign-out's clear of its store and every page to load wait for it, in order.
#include "app/constantes.h"
#include "connexion/connexion.h"
#include "plateforme/adresse.h"
#include "tests/faux/banc_delegue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

using namespace ovrel;
using namespace std::chrono_literals;

namespace {

const std::string JETON_40 = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJ-_01";

class DelegueVueTardive : public ::testing::Test, protected BancDelegue {
protected:
    // The launch as the window runs it: no view yet.
    DelegueVueTardive() { delegue->attacherVueWeb(nullptr); }

    // A press of the sign-in button answered by the cloud: the state of the sign-in page, the
    // browser's last session.
    std::string connexionEnAttente() {
        http.enFile(HttpFaux::reponse(200, "ok"));
        delegue->actionConnexionOvrel();
        minuteries.vider();
        EXPECT_FALSE(navigateur.sessions.empty());
        if (navigateur.sessions.empty()) return {};
        const auto page = analyserAdresse(navigateur.sessions.back()->url);
        const auto etat = page ? page->premierElement("etat") : std::nullopt;
        return etat ? etat->valeur.value_or("") : "";
    }
    std::size_t requetesMiseAJour() const {
        std::size_t n = 0;
        for (const auto& requete : http.requetes) n += requete.url == CANAL_MAJ() ? 1 : 0;
        return n;
    }
};

TEST_F(DelegueVueTardive, LaConnexionSAfficheSansLaVueQuiRecoitLesCookiesEnArrivant) {
    http.jar = {cookieEssai("session", "s1", HOTE_STUDIO()), cookieEssai("pref", "p", "." + std::string(DOMAINE_CLOUD))};
    delegue->applicationDidFinishLaunching();
    EXPECT_EQ(ecrans.historique, std::vector<Ecran>{Ecran::connexion});
    minuteries.vider();
    // The update check follows the copy, which waits for the view.
    EXPECT_EQ(requetesMiseAJour(), 0u);
    EXPECT_FALSE(delegue->vueWebPrete());

    vue.retenirCookies = true;
    delegue->attacherVueWeb(&vue);
    EXPECT_EQ(vue.magasin, http.jar);
    EXPECT_FALSE(delegue->vueWebPrete());
    ASSERT_TRUE(vue.libererCookies());
    ASSERT_TRUE(vue.libererCookies());
    EXPECT_TRUE(delegue->vueWebPrete());
    EXPECT_EQ(requetesMiseAJour(), 1u);

    // Attached again (the same view), nothing is copied a second time.
    delegue->attacherVueWeb(&vue);
    EXPECT_EQ(vue.completionsCookiesEnAttente(), 0u);
    EXPECT_EQ(requetesMiseAJour(), 1u);
}

TEST_F(DelegueVueTardive, UnRetourDeConnexionAvantLaVueChargeQuandLaSessionYEst) {
    http.jar = {cookieEssai("session", "ancienne", HOTE_STUDIO())};
    delegue->applicationDidFinishLaunching();
    const std::string etat = connexionEnAttente();
    // The browser was quicker than the engine's start.
    ASSERT_FALSE(delegue->vueWebPrete());
    ASSERT_TRUE(navigateur.terminer(0, "ovrelstudio://session?etat=" + etat + "&jeton=" + JETON_40));
    EXPECT_EQ(ecrans.ecran, Ecran::web);
    EXPECT_TRUE(vue.chargements.empty());

    vue.retenirCookies = true;
    delegue->attacherVueWeb(&vue);
    // The saved session goes in first; the page waits for it.
    EXPECT_EQ(vue.magasin, http.jar);
    EXPECT_TRUE(vue.chargements.empty());
    // A launch with a saved cloud session starts the page process as the view comes.
    EXPECT_EQ(vue.preparations, 1);
    ASSERT_TRUE(vue.libererCookies());
    // The preparation asked for by the sign-in, then the page.
    EXPECT_EQ(vue.preparations, 2);
    ASSERT_EQ(vue.chargements.size(), 1u);
    EXPECT_EQ(vue.chargements[0], (ChargementWeb{*adresseSessionApp(JETON_40), 60s}));
    minuteries.vider();
    EXPECT_EQ(vue.chargements.size(), 1u);
    EXPECT_TRUE(dialogues.montres.empty());
}

TEST_F(DelegueVueTardive, UneDeconnexionAvantLaVueVideSonMagasinAvantTout) {
    // The view's own file still holds the account when the view comes.
    vue.magasin = {cookieEssai("session", "oubliee", HOTE_STUDIO())};
    http.jar = {cookieEssai("session", "oubliee", HOTE_STUDIO())};
    delegue->applicationDidFinishLaunching();
    delegue->deconnexion();
    EXPECT_TRUE(http.jar.empty());
    // The sign-out page closes; a new sign-in comes back before the view exists.
    ASSERT_TRUE(navigateur.terminer(0, std::nullopt));
    const std::string etat = connexionEnAttente();
    ASSERT_EQ(navigateur.sessions.size(), 2u);
    ASSERT_TRUE(navigateur.terminer(1, "ovrelstudio://session?etat=" + etat + "&jeton=" + JETON_40));

    vue.retenirCookies = true;
    delegue->attacherVueWeb(&vue);
    // The clear comes first; the page waits for it.
    EXPECT_EQ(vue.completionsCookiesEnAttente(), 1u);
    EXPECT_TRUE(vue.chargements.empty());
    // A page finishing meanwhile copies nothing of the forgotten account back into the jar.
    vue.ecouteur->chargementTermine();
    EXPECT_EQ(vue.completionsCookiesEnAttente(), 1u);
    ASSERT_TRUE(vue.libererCookies());
    EXPECT_TRUE(vue.magasin.empty());
    ASSERT_EQ(vue.chargements.size(), 1u);
    EXPECT_EQ(vue.chargements[0].url, *adresseSessionApp(JETON_40));
    minuteries.vider();
    EXPECT_TRUE(http.jar.empty());
    EXPECT_EQ(requetesMiseAJour(), 1u);
}

TEST_F(DelegueVueTardive, CeQuiAttendLaVuePasseDansLOrdreEtUneSeuleFois) {
    std::vector<int> faits;
    delegue->quandVueWebPrete([&] {
        faits.push_back(1);
        // Asked for from inside: it waits behind the others.
        delegue->quandVueWebPrete([&] { faits.push_back(3); });
    });
    delegue->quandVueWebPrete([&] { faits.push_back(2); });
    EXPECT_TRUE(faits.empty());

    delegue->attacherVueWeb(&vue);
    EXPECT_EQ(faits, (std::vector<int>{1, 2, 3}));
    // Ready: at once.
    delegue->quandVueWebPrete([&] { faits.push_back(4); });
    EXPECT_EQ(faits, (std::vector<int>{1, 2, 3, 4}));
    delegue->attacherVueWeb(nullptr);
    delegue->attacherVueWeb(&vue);
    EXPECT_EQ(faits.size(), 4u);
}

TEST_F(DelegueVueTardive, CeQuiAttendEncoreQuandLObjetDisparaitNeTourneJamais) {
    int faits = 0;
    delegue->quandVueWebPrete([&] { ++faits; });
    delegue.reset();
    EXPECT_EQ(faits, 0);
    EXPECT_EQ(vue.ecouteur, nullptr);
}

TEST_F(DelegueVueTardive, SansVueLesAutresFluxNAttendentPas) {
    // The quit saves nothing and answers after one turn; the back control goes straight back.
    int terminaisons = 0;
    EXPECT_EQ(delegue->applicationShouldTerminate([&] { ++terminaisons; }), ReponseTerminaison::plusTard);
    minuteries.vider();
    EXPECT_EQ(terminaisons, 1);
    ecrans.ecran = Ecran::web;
    delegue->actionRetour();
    EXPECT_EQ(ecrans.ecran, Ecran::connexion);
    EXPECT_FALSE(delegue->validerElementMenu("imprimerPage"));
    EXPECT_TRUE(delegue->validerElementMenu("deconnexion"));
}

}  // namespace
