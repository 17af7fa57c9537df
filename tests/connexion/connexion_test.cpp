#include "connexion/connexion.h"

#include "app/constantes.h"

#include <gtest/gtest.h>

#include <set>

using namespace ovrel;

namespace {
const std::string D(DOMAINE_CLOUD);
const std::string ALPHABET = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
const std::string ETAT = "Etat-de_la_connexion-0123456789abcdefghijk";
std::string jetonDe(std::size_t longueur) {
    std::string j;
    for (std::size_t i = 0; i < longueur; ++i) j.push_back(ALPHABET[i % ALPHABET.size()]);
    return j;
}
std::optional<std::string> retour(const std::string& requete) { return "ovrelstudio://session?" + requete; }
}  // namespace

TEST(NouvelEtatConnexion, QuaranteTroisCaracteresSansRemplissage) {
    std::set<std::string> vus;
    for (int i = 0; i < 200; ++i) {
        const std::string etat = nouvelEtatConnexion();
        ASSERT_EQ(etat.size(), 43u);
        EXPECT_EQ(etat.find_first_not_of(ALPHABET), std::string::npos) << etat;
        vus.insert(etat);
        // 32 bytes leave the last Base64 character with two zero bits.
        EXPECT_NE(std::string("AEIMQUYcgkosw048").find(etat.back()), std::string::npos) << etat;
    }
    EXPECT_EQ(vus.size(), 200u);
}

TEST(AdressesDeConnexion, BatiesSurLaRacineDuNuage) {
    EXPECT_EQ(adresseConnexionSafari("abc_-"), BASE_CLOUD() + "/studio/app/connexion?etat=abc_-");
    EXPECT_EQ(adresseSessionApp("J0"), BASE_CLOUD() + "/studio/app/session?jeton=J0");
    EXPECT_EQ(adresseDeconnexionSafari(), BASE_CLOUD() + "/deconnexion?app=studio");
    EXPECT_EQ(adresseConnexionSafari("a b"), std::nullopt);
    EXPECT_EQ(adresseSessionApp("%zz"), std::nullopt);
}

TEST(NavigationDeConnexion, HoteDeConnexion) {
    const std::string auth = "https://auth." + D;
    EXPECT_EQ(navigationDeConnexion(auth + "/realms/ovrel/protocol/openid-connect/auth?client_id=x"), "connexion");
    EXPECT_EQ(navigationDeConnexion("https://AUTH." + D + "/realms/ovrel/protocol/openid-connect/auth"), "connexion");
    EXPECT_EQ(navigationDeConnexion(auth + "/realms/ovrel/login-actions/authenticate"), "connexion");
    EXPECT_EQ(navigationDeConnexion(auth + "/realms/ovrel/protocol/openid-connect/logout"), "deconnexion");
    EXPECT_EQ(navigationDeConnexion(auth + "/realms/ovrel/protocol/openid-connect/token"), std::nullopt);
    EXPECT_EQ(navigationDeConnexion(auth + "/connexion"), std::nullopt);
    EXPECT_EQ(navigationDeConnexion(auth + "/realms/ovrel/protocol/openid-connect/auth/x"), std::nullopt);
}

TEST(NavigationDeConnexion, AutresHotesDuNuageCheminExact) {
    EXPECT_EQ(navigationDeConnexion(BASE_CLOUD() + "/connexion?retour=x"), "connexion");
    EXPECT_EQ(navigationDeConnexion(BASE_CLOUD() + "/deconnexion"), "deconnexion");
    EXPECT_EQ(navigationDeConnexion("https://" + D + "/deconnexion"), "deconnexion");
    EXPECT_EQ(navigationDeConnexion(BASE_CLOUD() + "/deconnexion/"), std::nullopt);
    EXPECT_EQ(navigationDeConnexion(BASE_CLOUD() + "/studio/connexion"), std::nullopt);
    EXPECT_EQ(navigationDeConnexion(BASE_CLOUD() + "/Connexion"), std::nullopt);
}

TEST(NavigationDeConnexion, BoitesDuTunnelEtHotesEtrangers) {
    EXPECT_EQ(navigationDeConnexion("https://s-k1.box." + D + "/deconnexion"), std::nullopt);
    EXPECT_EQ(navigationDeConnexion("https://auth.box." + D + "/protocol/openid-connect/auth"), std::nullopt);
    EXPECT_EQ(navigationDeConnexion("https://box-1.local/connexion"), std::nullopt);
    EXPECT_EQ(navigationDeConnexion("https://auth.pirate" + D + "/protocol/openid-connect/auth"), std::nullopt);
    EXPECT_EQ(navigationDeConnexion("about:blank"), std::nullopt);
    EXPECT_EQ(navigationDeConnexion(""), std::nullopt);
}

TEST(AnalyserRetourConnexion, RetourValide) {
    const std::string j40 = jetonDe(40);
    EXPECT_EQ(analyserRetourConnexion(retour("etat=" + ETAT + "&jeton=" + j40), ETAT), j40);
    EXPECT_EQ(analyserRetourConnexion(retour("jeton=" + j40 + "&x=1&etat=" + ETAT), ETAT), j40);
    const std::string j128 = jetonDe(128);
    EXPECT_EQ(analyserRetourConnexion(retour("etat=" + ETAT + "&jeton=" + j128), ETAT), j128);
    EXPECT_EQ(analyserRetourConnexion("OVRELSTUDIO://SESSION?etat=" + ETAT + "&jeton=" + j40, ETAT), j40);
}

TEST(AnalyserRetourConnexion, LongueurEtAlphabetDuJeton) {
    const auto avec = [](const std::string& jeton) {
        return analyserRetourConnexion(retour("etat=" + ETAT + "&jeton=" + jeton), ETAT);
    };
    EXPECT_EQ(avec(jetonDe(39)), std::nullopt);
    EXPECT_EQ(avec(jetonDe(129)), std::nullopt);
    EXPECT_EQ(avec(jetonDe(39) + "."), std::nullopt);
    EXPECT_EQ(avec(jetonDe(39) + "+"), std::nullopt);
    EXPECT_EQ(avec(jetonDe(39) + "%3D"), std::nullopt);
    EXPECT_EQ(avec(jetonDe(38) + "%C3%A9"), std::nullopt);
    EXPECT_EQ(avec(""), std::nullopt);
    EXPECT_EQ(analyserRetourConnexion(retour("etat=" + ETAT + "&jeton"), ETAT), std::nullopt);
    EXPECT_EQ(analyserRetourConnexion(retour("etat=" + ETAT), ETAT), std::nullopt);
}

TEST(AnalyserRetourConnexion, EtatExactEtUnique) {
    const std::string j = jetonDe(64);
    EXPECT_EQ(analyserRetourConnexion(retour("etat=" + ETAT + "&etat=" + ETAT + "&jeton=" + j), ETAT), std::nullopt);
    EXPECT_EQ(analyserRetourConnexion(retour("etat=" + ETAT + "&jeton=" + j + "&jeton=" + j), ETAT), std::nullopt);
    std::string autreCasse = ETAT;
    autreCasse[0] = 'e';
    EXPECT_EQ(analyserRetourConnexion(retour("etat=" + autreCasse + "&jeton=" + j), ETAT), std::nullopt);
    EXPECT_EQ(analyserRetourConnexion(retour("Etat=" + ETAT + "&jeton=" + j), ETAT), std::nullopt);
    EXPECT_EQ(analyserRetourConnexion(retour("etat&jeton=" + j), ETAT), std::nullopt);
    EXPECT_EQ(analyserRetourConnexion(retour("etat=&jeton=" + j), ""), std::nullopt);
    EXPECT_EQ(analyserRetourConnexion(retour("etat=" + ETAT + "x&jeton=" + j), ETAT), std::nullopt);
}

TEST(AnalyserRetourConnexion, SchemaHoteEtAdresse) {
    const std::string q = "?etat=" + ETAT + "&jeton=" + jetonDe(40);
    EXPECT_EQ(analyserRetourConnexion("https://session" + q, ETAT), std::nullopt);
    EXPECT_EQ(analyserRetourConnexion("ovrelstudio://ouvrir" + q, ETAT), std::nullopt);
    EXPECT_EQ(analyserRetourConnexion("ovrelstudio:session" + q, ETAT), std::nullopt);
    EXPECT_EQ(analyserRetourConnexion("ovrelstudio://session/" + q + "#x", ETAT).has_value(), true);
    EXPECT_EQ(analyserRetourConnexion("ovrelstudio://session" + q + " ", ETAT), std::nullopt);
    EXPECT_EQ(analyserRetourConnexion(std::nullopt, ETAT), std::nullopt);
    EXPECT_EQ(analyserRetourConnexion("ovrelstudio://session" + q, ""), std::nullopt);
}

TEST(GenreDeLien, HoteEnMinusculesChoisitLeSens) {
    EXPECT_EQ(genreDeLien("ovrelstudio://ouvrir?serie=K1"), LienApp::Ouvrir);
    EXPECT_EQ(genreDeLien("ovrelstudio://OUVRIR"), LienApp::Ouvrir);
    EXPECT_EQ(genreDeLien("ovrelstudio://Connexion"), LienApp::Connexion);
    EXPECT_EQ(genreDeLien("ovrelstudio://Session?etat=x"), LienApp::RetourConnexion);
    EXPECT_EQ(genreDeLien("ovrelstudio:ouvrir"), LienApp::Aucun);
    EXPECT_EQ(genreDeLien("n'importe quoi"), LienApp::Aucun);
}
