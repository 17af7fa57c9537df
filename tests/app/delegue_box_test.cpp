// The boxes of this network in the application object: their screen, every way of opening one
// with the local token, and the fleet and the fleet page that learn which boxes are here.
#include "app/constantes.h"
#include "connexion/habilitation.h"
#include "reseau/ouverture_box.h"
#include "tests/faux/banc_delegue.h"

#include <gtest/gtest.h>

#include <string>

using namespace ovrel;

namespace {

const std::string SITE = "0b5c1f3e-7a2d-4c8e-9f10-2b3c4d5e6f70";
const std::string PARC = R"({"ovrels": [
  {"id": ")" + SITE + R"(", "nom": "Bureau", "serie": "kb-0042", "en_ligne": true, "sante": {"couleur": "vert"}},
  {"id": "s2", "nom": "Gîte", "serie": "K2", "sante": {"couleur": "vert"}}]})";

class DelegueBox : public ::testing::Test, protected BancDelegue {
protected:
    DelegueBox() {
        http.retenir = true;
        Habilitation::enregistrer(preferences, "jeton+local", 4e9, "Domotique du Lac");
    }
    // A box found here and its answer: its serial written another way than in the fleet.
    void trouverBureau() {
        decouverte.resoudre("box-bureau.local.", 8000);
        http.repondre(HttpFaux::reponse(200, R"({"produit":"ovrel-box","nom":"Bureau","version":"0.7.2","serie":"KB 0042"})"));
        minuteries.vider();
    }
    std::string ouvertureAttendue(const std::string& adresse) const {
        return "http://" + adresse + "/studio/session?jeton=jeton+local";
    }
};

TEST_F(DelegueBox, LEcranSuitLaDecouverteEtOuvreLaBoxChoisieAvecLeJetonLocal) {
    preferences.ecrireTexte("box", "192.168.1.18:8000");
    delegue->montrerBoxLocales();
    EXPECT_EQ(ecrans.ecran, Ecran::box);
    EXPECT_TRUE(decouverte.enCours);
    EXPECT_EQ(ecranBox.adresse, "192.168.1.18:8000");
    ASSERT_TRUE(ecranBox.titres);
    EXPECT_TRUE(ecranBox.titres->empty());  // the waiting label

    trouverBureau();
    decouverte.resoudre("zeta.local", 8000);  // it never answers
    EXPECT_EQ(*ecranBox.titres, (std::vector<std::string>{"🏠  Bureau  —  box-bureau.local  (v0.7.2)",
                                                          "🏠  zeta.local  —  zeta.local"}));

    // A button of a list rebuilt since does nothing; a listed one opens its box.
    delegue->ouvrirBoxDetectee(2);
    EXPECT_TRUE(vue.chargements.empty());
    delegue->ouvrirBoxDetectee(0);
    ASSERT_EQ(vue.chargements.size(), 1u);
    EXPECT_EQ(vue.chargements[0].url, ouvertureAttendue("box-bureau.local:8000"));
    EXPECT_EQ(ecrans.ecran, Ecran::web);
    EXPECT_FALSE(decouverte.enCours);
    EXPECT_EQ(preferences.texte("box"), "box-bureau.local:8000");
    // Retour comes back to this network's boxes, searched for again.
    const int demarrages = decouverte.demarrages;
    ecrans.ecran = Ecran::connexion;  // no web page to ask: the back action runs at once
    delegue->actionRetour();
    EXPECT_EQ(ecrans.ecran, Ecran::box);
    EXPECT_EQ(decouverte.demarrages, demarrages + 1);
}

TEST_F(DelegueBox, UneAdresseSaisieOuvreLaBoxEnHttpSurSonPort) {
    struct Cas {
        std::string saisie;
        std::optional<std::string> adresse;  // absent: the screen shows again, nothing opens
    };
    for (const Cas& cas : {Cas{"https://192.168.1.18/studio", "192.168.1.18:8000"},
                           Cas{" box-bureau.local:443\n", "box-bureau.local:443"}, Cas{"   ", std::nullopt}}) {
        BancDelegue banc;
        Habilitation::enregistrer(banc.preferences, "j", 4e9, "Org");
        banc.ecranBox.adresse = cas.saisie;
        banc.delegue->actionOuvrirAdresse();
        if (cas.adresse) {
            ASSERT_EQ(banc.vue.chargements.size(), 1u) << cas.saisie;
            EXPECT_EQ(banc.vue.chargements[0].url, "http://" + *cas.adresse + "/studio/session?jeton=j");
            EXPECT_EQ(banc.preferences.texte("box"), cas.adresse);
        } else {
            EXPECT_TRUE(banc.vue.chargements.empty());
            EXPECT_EQ(banc.ecrans.ecran, Ecran::box);
        }
    }
}

TEST_F(DelegueBox, SansHabilitationValideOnRetourneALaConnexion) {
    // The box screen asks for a sign-in first; opening a box says the authorization ran out.
    Habilitation::enregistrer(preferences, "ancien", 1e9, "Org");
    delegue->montrerBoxLocales();
    ASSERT_EQ(dialogues.montres.size(), 1u);
    EXPECT_EQ(dialogues.montres[0].titre, TITRE_CONNEXION_REQUISE);
    EXPECT_EQ(ecrans.ecran, Ecran::connexion);
    EXPECT_FALSE(decouverte.enCours);

    ecranBox.adresse = "192.168.1.18";
    delegue->actionOuvrirAdresse();
    ASSERT_EQ(dialogues.montres.size(), 2u);
    EXPECT_EQ(dialogues.montres[1].titre, TITRE_HABILITATION_EXPIREE);
    EXPECT_TRUE(vue.chargements.empty());
}

TEST_F(DelegueBox, LeParcOuvreSurCeReseauLaBoxQuiYEstEtLeDitSurSaLigne) {
    http.scripter(URL_PARC(), HttpFaux::reponse(200, PARC));
    http.retenir = false;
    delegue->montrerParc(true);
    minuteries.vider();
    ASSERT_EQ(delegue->parc().size(), 2u);
    EXPECT_EQ(ecranParc.liste->lignes[0].ouvrir.infobulle, "Par le tunnel sécurisé");

    http.retenir = true;
    trouverBureau();
    EXPECT_EQ(ecranParc.liste->lignes[0].ouvrir.infobulle, "Par le réseau local (box-bureau.local)");
    EXPECT_NE(ecranParc.liste->lignes[0].details.find("sur ce réseau"), std::string::npos);

    delegue->configurerOvrel(0);
    ASSERT_EQ(vue.chargements.size(), 1u);
    EXPECT_EQ(vue.chargements[0].url, ouvertureAttendue("box-bureau.local:8000"));
    // Retour leads to the fleet page.
    ecrans.ecran = Ecran::connexion;
    delegue->actionRetour();
    ASSERT_EQ(vue.chargements.size(), 2u);
    EXPECT_EQ(vue.chargements[1].url, URL_STUDIO());
}

TEST_F(DelegueBox, UneBoxDeCeReseauSOuvreDirectementDepuisUnLienOuLaPageDeConfiguration) {
    http.scripter(URL_PARC(), HttpFaux::reponse(200, PARC));
    http.retenir = false;
    delegue->montrerParc(false);
    minuteries.vider();
    http.retenir = true;
    trouverBureau();

    // The configuration page of the box's site, named by its id only: the box opens here.
    ActionNavigation navigation;
    navigation.url = BASE_CLOUD() + "/studio/site/" + SITE + "/configurer";
    navigation.cadrePrincipal = true;
    EXPECT_EQ(vue.ecouteur->deciderNavigation(navigation), DecisionNavigation::annuler);
    minuteries.vider();
    ASSERT_EQ(vue.chargements.size(), 1u);
    EXPECT_EQ(vue.chargements[0].url, ouvertureAttendue("box-bureau.local:8000"));

    // An application link names the box by its serial.
    delegue->lienDeLApp("ovrelstudio://ouvrir?serie=KB-0042", OrigineLien::page);
    ASSERT_EQ(vue.chargements.size(), 2u);
    EXPECT_EQ(vue.chargements[1].url, ouvertureAttendue("box-bureau.local:8000"));
    // One this network does not have is explained.
    delegue->lienDeLApp("ovrelstudio://ouvrir?serie=K2", OrigineLien::page);
    ASSERT_EQ(dialogues.montres.size(), 1u);
    EXPECT_EQ(dialogues.montres[0].titre, "Ovrel introuvable sur ce réseau");
}

TEST_F(DelegueBox, LaPageDuParcRecoitLesBoxesDeCeReseau) {
    delegue->montrerMesOvrels();
    minuteries.vider();
    EXPECT_TRUE(decouverte.enCours);
    vue.url = URL_STUDIO();
    const auto avant = vue.scripts.size();
    trouverBureau();
    ASSERT_GT(vue.scripts.size(), avant);
    const std::string& script = vue.scripts.back().script;
    EXPECT_NE(script.find(R"("adresse":"box-bureau.local:8000")"), std::string::npos) << script;
    EXPECT_TRUE(script.starts_with("window.OvrelStudio && window.OvrelStudio.reseau")) << script;

    // Another page hears nothing; the sign-in screen stops the search.
    vue.url = BASE_CLOUD() + "/admin";
    const auto apres = vue.scripts.size();
    decouverte.resoudre("autre.local", 8000);
    EXPECT_EQ(vue.scripts.size(), apres);
    delegue->montrerConnexion();
    EXPECT_FALSE(decouverte.enCours);
}

}  // namespace
