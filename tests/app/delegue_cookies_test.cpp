// Copying the session cookies between the shared HTTP jar and the web view's store.
#include "app/constantes.h"
#include "tests/faux/banc_delegue.h"

#include <gtest/gtest.h>

using namespace ovrel;

namespace {

class DelegueCookies : public ::testing::Test, protected BancDelegue {
protected:
    int suites = 0;
    std::function<void()> ensuite() {
        return [this] { ++suites; };
    }
    static Cookie cookie(std::string nom, std::string valeur, std::string domaine, std::string chemin = "/") {
        return cookieEssai(std::move(nom), std::move(valeur), std::move(domaine), std::move(chemin));
    }
};

TEST_F(DelegueCookies, RestaurerUnPotVideEnchaineAussitot) {
    vue.retenirCookies = true;
    delegue->restaurerCookies(ensuite());
    EXPECT_EQ(suites, 1);
    EXPECT_TRUE(vue.magasin.empty());
    EXPECT_EQ(vue.completionsCookiesEnAttente(), 0u);
}

TEST_F(DelegueCookies, RestaurerEnchaineUneFoisApresLeDernierCookie) {
    http.jar = {cookie("a", "1", HOTE_STUDIO()), cookie("b", "2", HOTE_STUDIO(), "/admin"),
                cookie("c", "3", ".ovrel.example")};
    vue.retenirCookies = true;
    delegue->restaurerCookies(ensuite());
    EXPECT_EQ(vue.magasin, http.jar);
    EXPECT_EQ(vue.completionsCookiesEnAttente(), 3u);
    ASSERT_TRUE(vue.libererCookies());
    ASSERT_TRUE(vue.libererCookies());
    minuteries.vider();
    EXPECT_EQ(suites, 0);
    ASSERT_TRUE(vue.libererCookies());
    EXPECT_EQ(suites, 1);
    minuteries.vider();
    EXPECT_EQ(suites, 1);
}

TEST_F(DelegueCookies, RestaurerAvecDesCompletionsParLaFilePrincipale) {
    http.jar = {cookie("a", "1", HOTE_STUDIO()), cookie("b", "2", HOTE_STUDIO())};
    delegue->restaurerCookies(ensuite());
    EXPECT_EQ(suites, 0);
    minuteries.vider();
    EXPECT_EQ(suites, 1);
}

TEST_F(DelegueCookies, RestaurerSansVueWebEnchaineAussitot) {
    http.jar = {cookie("a", "1", HOTE_STUDIO())};
    delegue->attacherVueWeb(nullptr);
    delegue->restaurerCookies(ensuite());
    EXPECT_EQ(suites, 1);
    EXPECT_TRUE(vue.magasin.empty());
}

TEST_F(DelegueCookies, SauvegarderCopieToutEtRemplaceLesMemesCles) {
    http.jar = {cookie("ancien", "x", HOTE_STUDIO()), cookie("session", "vieille", HOTE_STUDIO()),
                cookie("session", "autre-chemin", HOTE_STUDIO(), "/admin")};
    vue.magasin = {cookie("session", "neuve", HOTE_STUDIO()), cookie("nouveau", "y", ".ovrel.example")};
    vue.retenirCookies = true;
    delegue->sauvegarderCookies(ensuite());
    EXPECT_EQ(suites, 0);
    ASSERT_TRUE(vue.libererCookies());
    EXPECT_EQ(suites, 1);
    // A cookie that the console dropped stays in the jar; the same name, domain and path is
    // replaced; the same name under another path is another cookie.
    EXPECT_EQ(http.jar, (std::vector<Cookie>{cookie("ancien", "x", HOTE_STUDIO()),
                                             cookie("session", "neuve", HOTE_STUDIO()),
                                             cookie("session", "autre-chemin", HOTE_STUDIO(), "/admin"),
                                             cookie("nouveau", "y", ".ovrel.example")}));
}

TEST_F(DelegueCookies, SauvegarderSansSuite) {
    vue.magasin = {cookie("session", "s", HOTE_STUDIO())};
    delegue->sauvegarderCookies();
    minuteries.vider();
    EXPECT_EQ(http.jar, vue.magasin);
}

TEST_F(DelegueCookies, SauvegardeTardiveSansEffetUneFoisLObjetDetruit) {
    vue.magasin = {cookie("session", "s", HOTE_STUDIO())};
    delegue->sauvegarderCookies(ensuite());
    delegue.reset();
    minuteries.vider();
    EXPECT_TRUE(http.jar.empty());
    EXPECT_EQ(suites, 0);
}

TEST_F(DelegueCookies, ChaquePageFinieGardeSesCookiesDansLePot) {
    vue.magasin = {cookie("session", "s1", HOTE_STUDIO())};
    ASSERT_NE(vue.ecouteur, nullptr);
    vue.ecouteur->chargementTermine();
    minuteries.vider();
    EXPECT_EQ(http.jar, vue.magasin);
}

// A save must never bring a forgotten account back into the jar: neither one read before the
// sign-out and answered after it, nor one asked while the store is being cleared.
TEST_F(DelegueCookies, UneSauvegardeNeRameneJamaisUnCompteOublie) {
    const Cookie ancien = cookie("session", "ancien", HOTE_STUDIO());
    vue.magasin = {ancien};
    http.jar = {ancien};
    vue.retenirCookies = true;

    vue.ecouteur->chargementTermine();  // its read is on its way
    delegue->deconnexion();             // the clear is on its way
    vue.ecouteur->chargementTermine();  // the blank sign-in page finishes meanwhile
    while (vue.libererCookies()) minuteries.vider();
    minuteries.vider();
    EXPECT_TRUE(vue.magasin.empty());
    EXPECT_TRUE(http.jar.empty());

    // Once the clear is over, the next login is kept again.
    const Cookie nouveau = cookie("session", "nouveau", HOTE_STUDIO());
    vue.magasin = {nouveau};
    vue.ecouteur->chargementTermine();
    while (vue.libererCookies()) minuteries.vider();
    EXPECT_EQ(http.jar, std::vector<Cookie>{nouveau});
}

}  // namespace
