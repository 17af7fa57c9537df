// Who the user is and where that leads: the launch routing, the role check after a cloud page,
// the local token.
#include "app/constantes.h"
#include "connexion/habilitation.h"
#include "sante/memoire_parc.h"
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
    ecrans.etiquette = "";  // the local-box screen's status line exists
    // The web login went with the request; the foreign cookie did not.
    ASSERT_EQ(http.jar.size(), 1u);
    EXPECT_EQ(http.jar[0].nom, "ovrel_session");

    http.scripter(URL_JETON_LOCAL(), HttpFaux::reponse(200, std::string(R"({"jeton": "n", "expire": 2000000000})")));
    delegue->recupererJetonLocal();
    minuteries.vider();
    EXPECT_EQ(Habilitation::jeton(preferences), "n");
    EXPECT_EQ(Habilitation::organisation(preferences), "");
    EXPECT_TRUE(ecrans.etiquette->starts_with("Habilitation locale — accès local valable jusqu'au ")) << *ecrans.etiquette;
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

namespace {

// The console's session renewal, for a page behind the tunnel and for any other page.
class DelegueSession : public DelegueRoles {
protected:
    DelegueSession() {
        ecrans.ecran = Ecran::web;
        horloge.regler(instantDepuis1970(1.8e9));
        EXPECT_TRUE(delegue->appliquerParc(R"({"ovrels": [{"id": "s1", "nom": "A", "serie": "B9"},
                                                          {"id": "s7", "nom": "Maison", "serie": "K123"}]})",
                                           false));
    }
    std::string origineTunnel(const std::string& serie) const { return "https://x-" + serie + SUFFIXE_BOX() + ":8443"; }
    std::vector<std::string> scripts() const {
        std::vector<std::string> s;
        for (const auto& e : vue.scripts) s.push_back(e.script);
        return s;
    }
};

TEST_F(DelegueSession, UnTunnelRecoitLeJetonDeLaRedirectionAuPlusUneFoisParDixSecondes) {
    const std::string entree = BASE_CLOUD() + "/studio/site/s7/configurer";
    ReponseHttp redirection = HttpFaux::reponse(302, std::nullopt);
    redirection.entetes = {{"Location", "https://b/s?jeton=a%22b&jeton=c"}};
    http.scripter(entree, redirection);
    // The host writes the serial in lower case with a hyphen; the fleet holds it as the box does.
    delegue->renouvelerSessionStudio(origineTunnel("k-123"));
    minuteries.vider();
    ASSERT_EQ(http.requetes.size(), 1u);
    EXPECT_EQ(http.requetes[0].url, entree);
    EXPECT_TRUE(http.requetes[0].sansRedirection);
    EXPECT_TRUE(http.requetes[0].ignorerCache);
    // A double quote in the token reaches the page escaped, as valid script.
    EXPECT_EQ(scripts(), std::vector<std::string>{
                             R"(if (window.ovrelRenouvelerSession) window.ovrelRenouvelerSession("a\"b");)"});

    for (const auto& [apres, repondu] : std::vector<std::pair<int, bool>>{{3, false}, {10, false}, {11, true}}) {
        SCOPED_TRACE(apres);
        horloge.regler(instantDepuis1970(1.8e9 + apres));
        const auto avant = vue.scripts.size();
        delegue->renouvelerSessionStudio(origineTunnel("k-123"));
        minuteries.vider();
        EXPECT_EQ(vue.scripts.size() - avant, repondu ? 1u : 0u);
    }
    EXPECT_TRUE(dialogues.montres.empty());
}

TEST_F(DelegueSession, SansJetonLaPageRecoitNullPuisLUtilisateurEstPrevenuSIlFautSeReconnecter) {
    const std::string nul = "if (window.ovrelRenouvelerSession) window.ovrelRenouvelerSession(null);";
    struct Cas {
        const char* nom;
        std::string origine;
        std::optional<ReponseHttp> entree;  // the studio's answer for the site s7
        const char* alerte;                 // absent: the user is not told anything
    };
    for (const Cas& c : std::vector<Cas>{
             {"box absente du parc", origineTunnel("zz9"), std::nullopt, nullptr},
             {"le studio répond 200", origineTunnel("k123"), HttpFaux::reponse(200, std::string("<p>")), nullptr},
             {"le studio est injoignable", origineTunnel("k123"), HttpFaux::echec("g-io-error-quark", 39), nullptr},
             {"session expirée", origineTunnel("k123"), HttpFaux::reponse(401, std::nullopt), "Session Ovrel expirée"},
             {"refus", origineTunnel("k123"), HttpFaux::reponse(403, std::nullopt), "Session Ovrel expirée"},
             {"box du réseau sans habilitation", "https://ovrel-k123.local:443", std::nullopt, "Habilitation expirée"},
         }) {
        SCOPED_TRACE(c.nom);
        BancDelegue banc;
        banc.ecrans.ecran = Ecran::web;
        banc.delegue->appliquerParc(R"({"ovrels": [{"id": "s7", "nom": "Maison", "serie": "K123"}]})", false);
        if (c.entree) banc.http.scripter(BASE_CLOUD() + "/studio/site/s7/configurer", *c.entree);
        banc.delegue->renouvelerSessionStudio(c.origine);
        banc.minuteries.vider();
        ASSERT_EQ(banc.vue.scripts.size(), 1u);
        EXPECT_EQ(banc.vue.scripts[0].script, nul);
        EXPECT_EQ(banc.dialogues.montres.size(), c.alerte ? 1u : 0u);
        if (c.alerte) {
            EXPECT_EQ(banc.dialogues.montres[0].titre, c.alerte);
            EXPECT_EQ(banc.ecrans.ecran, Ecran::connexion);
        } else {
            EXPECT_EQ(banc.ecrans.ecran, Ecran::web);
        }
    }
}

TEST_F(DelegueSession, UneBoxDuReseauRecoitLeJetonLocalMemeSansInternet) {
    Habilitation::enregistrer(preferences, "", 1.8e9 + 1, "Org");  // an empty token counts
    delegue->renouvelerSessionStudio("https://192.168.1.20:443");
    minuteries.vider();
    EXPECT_TRUE(http.requetes.empty());
    EXPECT_EQ(scripts(), std::vector<std::string>{
                             R"(if (window.ovrelRenouvelerSession) window.ovrelRenouvelerSession("");)"});
    EXPECT_TRUE(dialogues.montres.empty());
}

// The fleet in memory: the renewal and the native screen read it, the cache keeps the last good one.
TEST_F(DelegueRoles, LeParcEnMemoireNeCedeQuAUneBonneReponse) {
    const std::string bon = R"({"ovrels": [{"id": "s1", "nom": "A", "serie": "B9"}]})";
    http.retenir = true;
    delegue->chargerParc();
    delegue->chargerParc();  // in flight: dropped
    ASSERT_EQ(http.requetes.size(), 1u);
    EXPECT_EQ(http.requetes[0].url, URL_PARC());
    ASSERT_TRUE(http.repondre(HttpFaux::reponse(200, bon)));
    minuteries.vider();
    ASSERT_EQ(delegue->parc().size(), 1u);
    EXPECT_EQ(MemoireParc::relire(preferences), bon);

    http.retenir = false;
    http.scripter(URL_PARC(), HttpFaux::reponse(200, std::string("[]")));
    delegue->chargerParc();
    minuteries.vider();
    EXPECT_EQ(delegue->parc().size(), 1u);
    EXPECT_TRUE(delegue->parcHorsLigne());
    EXPECT_EQ(MemoireParc::relire(preferences), bon);

    // A refusal while the web page shows keeps the user there; on the native screen it leads to
    // the sign-in.
    http.scripter(URL_PARC(), HttpFaux::reponse(403, std::nullopt));
    ecrans.ecran = Ecran::web;
    delegue->chargerParc();
    minuteries.vider();
    EXPECT_EQ(ecrans.ecran, Ecran::web);
    delegue->montrerParc(true);
    minuteries.vider();
    EXPECT_EQ(ecrans.ecran, Ecran::connexion);
    EXPECT_FALSE(delegue->roleRoute());

    // The sign-out forgets it.
    delegue->deconnexion();
    EXPECT_TRUE(delegue->parc().empty());
    EXPECT_FALSE(MemoireParc::relire(preferences));
}

}  // namespace
