// The fleet screen's life: its heartbeat, the forgetting of an old health, the offline line,
// the badges and the anomaly actions, with a fake clock and a fake cloud.
#include "app/constantes.h"
#include "sante/memoire_parc.h"
#include "tests/faux/banc_delegue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using namespace ovrel;
using namespace std::chrono_literals;

namespace {

const std::string PARC = R"({"ovrels": [
  {"id": "s1", "nom": "Maison", "serie": "K1", "en_ligne": true,
   "sante": {"couleur": "rouge", "resume": "Pile faible.", "vu_il_y_a_s": 20, "anomalies": [
     {"cle": "pile", "couleur": "rouge", "titre": "Pile faible",
      "action": {"libelle": "Relancer", "href": "/studio/api/sites/s1/relancer", "methode": "post"}},
     {"cle": "page", "couleur": "jaune", "titre": "Réglage",
      "action": {"libelle": "Réparer", "href": "/studio/site/s1/reparer?cle=page"}}]}},
  {"id": "s2", "nom": "Gîte", "serie": "K2", "sante": {"couleur": "vert", "resume": "Bien."}}],
 "sante": {"rouge": 1, "vert": 1, "attention": 1, "total": 2, "titre": "1 Ovrel demande votre attention"}})";

class DelegueParc : public ::testing::Test, protected BancDelegue {
protected:
    std::size_t demandesParc() const {
        return static_cast<std::size_t>(std::count_if(http.requetes.begin(), http.requetes.end(),
                                                      [](const auto& r) { return r.url == URL_PARC(); }));
    }
    void montrer() {
        http.scripter(URL_PARC(), HttpFaux::reponse(200, PARC));
        delegue->montrerParc(false);
        minuteries.vider();
    }
};

TEST_F(DelegueParc, LeBattementChargeAussitotPuisToutesLes30SEtSArreteHorsDeVue) {
    montrer();
    // Never received: the first show fetches at once.
    EXPECT_EQ(demandesParc(), 1u);
    EXPECT_TRUE(delegue->battementParc());
    ASSERT_TRUE(ecranParc.liste);
    EXPECT_EQ(ecranParc.liste->lignes.size(), 2u);
    EXPECT_EQ(ecranParc.vus.size(), 2u);
    EXPECT_EQ(ecranParc.vus[0].texte, "vu il y a 20 s");
    minuteries.avancer(30s);
    EXPECT_EQ(demandesParc(), 2u);
    EXPECT_EQ(ecranParc.vus[0].texte, "vu il y a 20 s");  // a fresh list came with the tick

    // Minimised: both timers stop; restored 30 s later: a fetch at once.
    delegue->windowDidMiniaturize();
    EXPECT_FALSE(delegue->battementParc());
    minuteries.avancer(60s);
    EXPECT_EQ(demandesParc(), 2u);
    delegue->windowDidDeminiaturize();
    minuteries.vider();
    EXPECT_EQ(demandesParc(), 3u);
    // Restored soon after a list: no fetch before the next tick.
    delegue->windowDidChangeOcclusionState(false);
    delegue->windowDidChangeOcclusionState(true);
    minuteries.vider();
    EXPECT_EQ(demandesParc(), 3u);
    // Another screen takes the window: the heartbeat stops.
    delegue->montrerMesOvrels();
    EXPECT_FALSE(delegue->battementParc());
}

TEST_F(DelegueParc, SansCloudLaListeResteHorsLigneEtSaSanteSOublieApres90S) {
    montrer();
    http.scripter(URL_PARC(), HttpFaux::echec("g-io-error-quark", 39));
    minuteries.avancer(30s);
    EXPECT_TRUE(delegue->parcHorsLigne());
    EXPECT_TRUE(ecranParc.entete->statut.starts_with("Hors ligne — liste du ")) << ecranParc.entete->statut;
    EXPECT_EQ(ecranParc.liste->lignes.size(), 2u);
    EXPECT_EQ(ecranParc.liste->lignes[0].pastille.couleur, CouleurSante::rouge);

    minuteries.avancer(61s);  // 91 s after the last good list
    for (const auto& ligne : ecranParc.liste->lignes) {
        EXPECT_EQ(ligne.resume, "Cloud injoignable — santé non vérifiée depuis 1 min.");
        EXPECT_EQ(ligne.pastille.couleur, CouleurSante::inconnue);
    }
    EXPECT_EQ(ecranParc.entete->titre, ENTETE_PARC_INDISPONIBLE);
}

TEST_F(DelegueParc, UneListeDuCacheNOublieJamaisSaSante) {
    MemoireParc::enregistrer(preferences, PARC, horloge.maintenant() - 1h);
    http.scripter(URL_PARC(), HttpFaux::echec("g-io-error-quark", 39));
    delegue->montrerParc(false);
    minuteries.avancer(5min);
    ASSERT_TRUE(ecranParc.liste);
    EXPECT_EQ(ecranParc.liste->lignes[0].resume, RESUME_HORS_LIGNE);
    EXPECT_TRUE(delegue->parcHorsLigne());
}

TEST_F(DelegueParc, UnBadgeOuvreSesAnomaliesEtLeChoixResteAuRafraichissement) {
    montrer();
    EXPECT_FALSE(ecranParc.liste->lignes[0].deplie);
    delegue->basculerAnomalies("s1");
    EXPECT_TRUE(ecranParc.liste->lignes[0].deplie);
    EXPECT_EQ(ecranParc.liste->lignes[0].pastille.marque, "▾");
    minuteries.avancer(30s);
    EXPECT_TRUE(ecranParc.liste->lignes[0].deplie);
    delegue->basculerAnomalies("s1");
    EXPECT_FALSE(ecranParc.liste->lignes[0].deplie);
}

TEST_F(DelegueParc, UneActionPostRechargeLeParcOuDitQueLeCloudLaRefuse) {
    const std::string adresse = BASE_CLOUD() + "/studio/api/sites/s1/relancer";
    for (const auto& [reponse, refusee] : std::vector<std::pair<ReponseHttp, bool>>{
             {HttpFaux::reponse(204, std::nullopt), false},
             {HttpFaux::reponse(400, std::nullopt), true},
             {HttpFaux::reponse(500, std::nullopt), true},
             {HttpFaux::echec("g-io-error-quark", 39), true},
         }) {
        SCOPED_TRACE(reponse.statut);
        BancDelegue banc;
        banc.http.scripter(URL_PARC(), HttpFaux::reponse(200, PARC));
        banc.delegue->montrerParc(false);
        banc.minuteries.vider();
        banc.http.scripter(adresse, reponse);
        banc.http.retenir = true;
        banc.delegue->agirAnomalie(0);
        EXPECT_EQ(banc.ecranParc.actionsEnCours, std::set<std::size_t>{0});
        ASSERT_EQ(banc.http.requetes.back().methode, "POST");
        EXPECT_EQ(banc.http.requetes.back().url, adresse);
        const auto avant = banc.http.requetes.size();
        banc.http.retenir = false;
        banc.http.liberer();
        banc.minuteries.vider();
        EXPECT_TRUE(banc.ecranParc.actionsEnCours.empty());
        EXPECT_EQ(banc.dialogues.montres.size(), refusee ? 1u : 0u);
        if (refusee) {
            EXPECT_EQ(banc.dialogues.montres[0].titre, "Demande impossible");
            EXPECT_EQ(banc.dialogues.montres[0].message,
                      "Le cloud n'a pas accepté « Relancer ».\nVérifiez votre connexion, puis réessayez.");
        }
        // Success reloads the fleet.
        EXPECT_EQ(banc.http.requetes.size() > avant, !refusee);
    }
}

TEST_F(DelegueParc, UneActionPageOuvreLaConsoleEtRetourRameneAuParc) {
    montrer();
    delegue->agirAnomalie(1);
    minuteries.vider();
    EXPECT_EQ(ecrans.ecran, Ecran::web);
    EXPECT_FALSE(delegue->battementParc());
    ASSERT_FALSE(vue.chargements.empty());
    EXPECT_EQ(vue.chargements.back().url, BASE_CLOUD() + "/studio/site/s1/reparer?cle=page");
    delegue->agirAnomalie(7);  // a stale button does nothing
    delegue->actionRetour();
    minuteries.avancer(1s);
    EXPECT_EQ(ecrans.ecran, Ecran::parc);
}

}  // namespace
