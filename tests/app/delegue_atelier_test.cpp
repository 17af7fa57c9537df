// The workshop in the application object: the boxes of this network with their state from the
// cloud's registry, read with the view's session.
#include "app/constantes.h"
#include "tests/faux/banc_delegue.h"

#include <gtest/gtest.h>

#include <string>

using namespace ovrel;

namespace {

std::string urlRegistre() { return BASE_CLOUD() + "/admin/api/parc"; }

class DelegueAtelier : public ::testing::Test, protected BancDelegue {
protected:
    // Two boxes of this network: a registered one in service (its serial written another way in
    // the registry) and a blank one that the registry, wrongly, also lists in service.
    void deuxBoxes() {
        decouverte.resoudre("box-a.local", 8000);
        decouverte.resoudre("box-b.local", 8000);
        http.repondre(HttpFaux::reponse(200, R"({"produit":"ovrel-box","nom":"Cuisine","serie":"KB0042","enregistree":true})"));
        http.repondre(HttpFaux::reponse(200, R"({"produit":"ovrel-box","serie":"OV25X0007","empreinte":"e3b0","enregistree":false})"));
        minuteries.vider();
    }
};

TEST_F(DelegueAtelier, LesBoxesDuReseauPrennentLeurEtatDuRegistreLuAvecLaSessionDeLaVue) {
    vue.magasin.push_back(cookieEssai("session_console", "s1", "studio." + std::string(DOMAINE_CLOUD)));
    http.retenir = true;
    delegue->montrerAtelier();
    EXPECT_EQ(ecrans.ecran, Ecran::atelier);
    EXPECT_TRUE(decouverte.enCours);
    ASSERT_TRUE(ecranAtelier.lignes);
    EXPECT_TRUE(ecranAtelier.lignes->empty());  // the waiting label
    minuteries.vider();
    // The registry request carries the view's session, copied into the shared jar first.
    ASSERT_EQ(http.requetes.size(), 1u);
    EXPECT_EQ(http.requetes[0].url, urlRegistre());
    ASSERT_FALSE(http.jar.empty());
    EXPECT_EQ(http.jar[0].nom, "session_console");
    http.repondre(HttpFaux::reponse(200, R"({"ovrels":[{"id":"r1","serie":"kb-00 42","statut":"en_service"},
                                                       {"id":"r2","serie":"OV25X0007","statut":"en_service"}]})"));
    minuteries.vider();
    deuxBoxes();
    ASSERT_EQ(ecranAtelier.lignes->size(), 2u);
    EXPECT_EQ((*ecranAtelier.lignes)[0].texte, "Cuisine — box-a.local  ·  en service chez son client");
    EXPECT_EQ((*ecranAtelier.lignes)[0].geste, GesteAtelier::aucun);
    EXPECT_EQ((*ecranAtelier.lignes)[1].texte, "Ovrel e3b0 — box-b.local  ·  à fabriquer");
    EXPECT_EQ((*ecranAtelier.lignes)[1].geste, GesteAtelier::fabriquer);

    // "Actualiser la recherche" reads the registry again; refused, it is empty, without a word.
    delegue->actionActualiser();
    minuteries.vider();
    ASSERT_EQ(http.requetes.size(), 4u);
    EXPECT_EQ(http.requetes[3].url, urlRegistre());
    http.repondre(HttpFaux::reponse(401, R"({"erreur":"session"})"));
    minuteries.vider();
    deuxBoxes();
    EXPECT_EQ((*ecranAtelier.lignes)[0].texte, "Cuisine — box-a.local  ·  déjà fabriqué");
    EXPECT_TRUE(dialogues.montres.empty());
}

}  // namespace
