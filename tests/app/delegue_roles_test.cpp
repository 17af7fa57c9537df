// Who the user is and where that leads: the launch routing, the role check after a cloud page,
// the local token.
#include "app/constantes.h"
#include "connexion/habilitation.h"
#include "tests/faux/banc_delegue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>

using namespace ovrel;

namespace {

class DelegueRoles : public ::testing::Test, protected BancDelegue {
protected:
    bool demande(const std::string& url) const {
        return std::any_of(http.requetes.begin(), http.requetes.end(), [&](const auto& r) { return r.url == url; });
    }
};

TEST_F(DelegueRoles, AuLancementChaqueReponseMeneAuBonEcran) {
    struct Cas {
        const char* nom;
        ReponseHttp moi;
        bool parcEtHabilitation;  // a cached fleet and a valid local authorization
        Ecran ecran;
        bool alerte;
        bool jeton;
    };
    const auto json = [](const char* corps) { return HttpFaux::reponse(200, std::string(corps)); };
    for (const Cas& c : std::vector<Cas>{
             {"installateur", json(R"({"studio": true, "email": "a@ovrel.example"})"), false, Ecran::web, false, true},
             {"concepteur", json(R"({"exploitant": true})"), false, Ecran::web, false, false},
             {"texte au lieu d'un booléen", json(R"({"studio": "true"})"), false, Ecran::connexion, true, false},
             {"201 n'est pas lu", HttpFaux::reponse(201, std::string(R"({"studio": true})")), false, Ecran::connexion,
              false, false},
             {"401 malgré le cache", HttpFaux::reponse(401, std::nullopt), true, Ecran::connexion, false, false},
             {"hors ligne avec cache", HttpFaux::echec("g-io-error-quark", 39), true, Ecran::parc, false, false},
             {"hors ligne sans habilitation", HttpFaux::echec("g-io-error-quark", 39), false, Ecran::connexion, false,
              false},
         }) {
        SCOPED_TRACE(c.nom);
        BancDelegue banc;
        if (c.parcEtHabilitation) {
            banc.preferences.ecrire({{"parc_cache", Octets{"{}"}}});
            Habilitation::enregistrer(banc.preferences, "t", 4e9, "Org");
        }
        banc.http.scripter(URL_MOI(), c.moi);
        banc.delegue->applicationDidFinishLaunching();
        banc.minuteries.vider();
        EXPECT_EQ(banc.ecrans.ecran, c.ecran);
        EXPECT_EQ(banc.dialogues.montres.size(), c.alerte ? 1u : 0u);
        if (c.alerte) {
            EXPECT_EQ(banc.dialogues.montres[0].titre, "Accès");
        }
        const bool jeton = std::any_of(banc.http.requetes.begin(), banc.http.requetes.end(),
                                       [](const auto& r) { return r.url == URL_JETON_LOCAL(); });
        EXPECT_EQ(jeton, c.jeton);
        EXPECT_EQ(banc.delegue->roleRoute(), c.ecran != Ecran::connexion);
    }
}

TEST_F(DelegueRoles, ApresUnePageDuCloudLeConcepteurVaALAtelierLInstallateurAuParc) {
    ecrans.ecran = Ecran::web;
    http.scripter(URL_MOI(), HttpFaux::reponse(200, std::string(R"({"exploitant": true})")));
    vue.url = URL_STUDIO() + "/x";
    vue.ecouteur->chargementTermine();
    minuteries.vider();
    EXPECT_EQ(ecrans.ecran, Ecran::atelier);
    EXPECT_TRUE(delegue->roleRoute());

    // Once the role is known, pages ask no more; a new sign-in asks again.
    const auto avant = http.requetes.size();
    vue.ecouteur->chargementTermine();
    minuteries.vider();
    EXPECT_EQ(std::count_if(http.requetes.begin() + static_cast<long>(avant), http.requetes.end(),
                            [](const auto& r) { return r.url == URL_MOI(); }),
              0);
    delegue->montrerConnexion();
    http.scripter(URL_MOI(), HttpFaux::reponse(200, std::string(R"({"studio": true, "email": "i@o"})")));
    vue.ecouteur->chargementTermine();
    minuteries.vider();
    EXPECT_EQ(ecrans.ecran, Ecran::parc);
    EXPECT_EQ(delegue->parcCompte(), "i@o");
    EXPECT_TRUE(demande(URL_JETON_LOCAL()));
}

TEST_F(DelegueRoles, LeJetonLocalNEstGardeQueSIlEstBienForme) {
    Habilitation::enregistrer(preferences, "ancien", 1e9, "Ancienne");
    vue.magasin = {cookieEssai("ovrel_session", "s", HOTE_STUDIO()), cookieEssai("autre", "x", "exemple.org")};
    http.scripter(URL_JETON_LOCAL(), HttpFaux::reponse(200, std::string(R"({"jeton": "n", "expire": "2000000000"})")));
    delegue->recupererJetonLocal();
    minuteries.vider();
    EXPECT_EQ(Habilitation::jeton(preferences), "ancien");
    // The web login went with the request; the foreign cookie did not.
    ASSERT_EQ(http.jar.size(), 1u);
    EXPECT_EQ(http.jar[0].nom, "ovrel_session");

    http.scripter(URL_JETON_LOCAL(), HttpFaux::reponse(200, std::string(R"({"jeton": "n", "expire": 2000000000})")));
    delegue->recupererJetonLocal();
    minuteries.vider();
    EXPECT_EQ(Habilitation::jeton(preferences), "n");
    EXPECT_EQ(Habilitation::organisation(preferences), "");
}

}  // namespace

namespace {

TEST_F(DelegueRoles, LesLiensOuvrirEtConnexionDUnePage) {
    ecrans.ecran = Ecran::web;
    delegue->lienDeLApp("ovrelstudio://ouvrir?serie=OV24A0001", OrigineLien::page);
    ASSERT_EQ(dialogues.montres.size(), 1u);
    EXPECT_EQ(dialogues.montres[0].titre, "Ovrel introuvable sur ce réseau");
    EXPECT_EQ(ecrans.ecran, Ecran::web);

    delegue->lienDeLApp("ovrelstudio://connexion", OrigineLien::page);
    EXPECT_EQ(ecrans.ecran, Ecran::connexion);
    EXPECT_TRUE(demande(BASE_CLOUD() + "/sante"));  // the sign-in probe
}

}  // namespace
