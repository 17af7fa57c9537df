// What the fleet screen shows, from the fleet state: header, rows, badges, actions and filter.
#include "app/constantes.h"
#include "parc/modele_parc.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace ovrel;

namespace {

OvrelParc box(std::string id, std::string serie, bool enLigne, std::string version = "", std::string remise = "") {
    OvrelParc o;
    o.id = std::move(id);
    o.nom = "Maison " + o.id;
    o.serie = std::move(serie);
    o.enLigne = enLigne;
    o.version = std::move(version);
    o.remise = std::move(remise);
    return o;
}

AnomalieSante anomalie(std::string titre, std::optional<ActionSante> action) {
    AnomalieSante a;
    a.couleur = CouleurSante::rouge;
    a.titre = std::move(titre);
    a.detail = "Faites ceci.";
    a.action = std::move(action);
    return a;
}

TEST(ModeleParc, BoutonEtDetailsSelonLeCheminVersLaBox) {
    const auto local = [](const std::string& serie) -> std::optional<std::string> {
        if (serie == "L1") return std::string("ovrel-l1.local");
        return std::nullopt;
    };
    const auto liste = modeleListe({box("a", "K-123", true, "2.1", "faite"), box("b", "", false, "", "autre"),
                                    box("c", "L1", true, "", "a_faire")},
                                   {}, local);
    ASSERT_EQ(liste.lignes.size(), 3u);
    EXPECT_EQ(liste.lignes[0].details, "K-123   ·   relié au tunnel (v2.1)   ·   remis au client");
    EXPECT_EQ(liste.lignes[0].ouvrir, (BoutonOuvrir{"Configurer", true, "Par le tunnel sécurisé"}));
    EXPECT_EQ(liste.lignes[0].alphaDetails, 0.62);
    // Neither local nor on the tunnel: nothing to open, dimmer details; no separator is left.
    EXPECT_EQ(liste.lignes[1].details, "hors ligne");
    EXPECT_EQ(liste.lignes[1].ouvrir, (BoutonOuvrir{"Injoignable", false, ""}));
    EXPECT_EQ(liste.lignes[1].alphaDetails, 0.38);
    // On this network and on the tunnel: the network wins.
    EXPECT_EQ(liste.lignes[2].details, "L1   ·   sur ce réseau   ·   à remettre");
    EXPECT_EQ(liste.lignes[2].ouvrir.infobulle, "Par le réseau local (ovrel-l1.local)");
    EXPECT_EQ(liste.lignes[2].suivi.etiquette, 2u);
}

TEST(ModeleParc, PastilleAnomaliesEtActionsNumeroteesDansLOrdreDesLignes) {
    auto a = box("a", "A1", true);
    a.sante.couleur = CouleurSante::rouge;
    a.sante.anomalies = {anomalie("Pile faible", ActionSante{"Relancer", "/studio/api/sites/a/relancer", "post"}),
                         anomalie("Capteur muet", std::nullopt)};
    auto b = box("b", "B1", true);
    b.sante.couleur = CouleurSante::vert;
    b.sante.resume = "Tout va bien.";
    b.sante.verbe = "Rien à faire.";
    auto c = box("c", "C1", true);
    c.sante.anomalies = {anomalie("Mise à jour", ActionSante{"Voir", "https://ailleurs.example/x", "get"})};

    const auto liste = modeleListe({a, b, c}, {"a", "b"}, nullptr);
    const auto& pa = liste.lignes[0].pastille;
    EXPECT_EQ(pa.compte, "· 2");
    EXPECT_EQ(pa.marque, "▾");
    // Empty summary and advice: only the click hint, after its two line breaks.
    EXPECT_EQ(pa.infobulle, "\n\nCliquez pour voir le détail et agir.");
    EXPECT_EQ(pa.libelleAccessible, "Santé : rouge. ");
    EXPECT_TRUE(liste.lignes[0].deplie);
    // Open but without anomalies: nothing to show, no mark, no hint.
    const auto& pb = liste.lignes[1].pastille;
    EXPECT_EQ(pb.compte, "");
    EXPECT_EQ(pb.marque, "");
    EXPECT_EQ(pb.infobulle, "Tout va bien.\nRien à faire.");
    EXPECT_FALSE(liste.lignes[1].deplie);
    EXPECT_EQ(liste.lignes[2].pastille.marque, "▸");

    ASSERT_EQ(liste.actions.size(), 2u);
    EXPECT_EQ(liste.lignes[0].anomalies[0].action, 0u);
    EXPECT_EQ(liste.lignes[0].anomalies[0].infobulleBouton, INFOBULLE_ACTION_POST);
    EXPECT_FALSE(liste.lignes[0].anomalies[1].bouton);
    EXPECT_EQ(liste.lignes[2].anomalies[0].action, 1u);
    EXPECT_EQ(liste.lignes[2].anomalies[0].infobulleBouton, INFOBULLE_ACTION_PAGE);
    EXPECT_EQ(liste.lignes[0].anomalies[0].consigne, "Faites ceci.");

    EXPECT_EQ(adresseActionAnomalie(liste.actions[0].href), BASE_CLOUD() + "/studio/api/sites/a/relancer");
    EXPECT_EQ(adresseActionAnomalie(liste.actions[1].href), "https://ailleurs.example/x");
    EXPECT_EQ(bordurePastille(CouleurSante::rouge, true).alpha, 0.75);
    EXPECT_EQ(bordurePastille(CouleurSante::rouge, false).alpha, 0.38);
}

TEST(ModeleParc, EnteteSelonLaSanteLeCompteEtLaFraicheur) {
    DonneesEntete d;
    d.sante.connue = true;
    d.sante.attention = 0;
    d.sante.titre = "Aucun Ovrel ne demande votre attention.";
    d.sante.parCouleur = {{CouleurSante::vert, 3}};
    d.habilitationJusquA = 1'765'000'000;  // 2025-12-06 05:46:40 UTC
    auto e = modeleEntete(d, "UTC");
    EXPECT_EQ(e.sousTitre, "Installateur agréé");
    EXPECT_EQ(e.titre, "Aucun Ovrel ne demande votre attention.");
    EXPECT_EQ(e.couleurTitre, Couleur::blanc(0.94, 0.62));
    ASSERT_EQ(e.compteurs.size(), 1u);
    EXPECT_EQ(e.compteurs[0].texte, "3 vert");
    EXPECT_EQ(e.statut, "Accès local valable jusqu'au 06/12 à 05:46");

    d.organisationHabilitation = "Org H";
    d.compte = "i@o";
    d.sante.attention = 2;
    d.sante.parCouleur = {{CouleurSante::vert, 3}, {CouleurSante::rouge, 2}};
    e = modeleEntete(d, "UTC");
    EXPECT_EQ(e.sousTitre, "Org H · installateur agréé  —  i@o");
    EXPECT_EQ(e.couleurTitre, teinteSante(CouleurSante::rouge));
    ASSERT_EQ(e.compteurs.size(), 2u);
    EXPECT_EQ(e.compteurs[0].texte, "2 rouge");  // worst first

    // Offline from the cache: the health is unknown, no counters, the cache's date.
    d.organisation = "Org P";
    d.horsLigne = true;
    d.cacheLe = instantDepuis1970(1'765'000'000);
    d.sante = SanteParc{};
    e = modeleEntete(d, "UTC");
    EXPECT_EQ(e.sousTitre, "Org P · installateur agréé  —  i@o");
    EXPECT_EQ(e.titre, ENTETE_PARC_INDISPONIBLE);
    EXPECT_EQ(e.couleurTitre, Couleur::blanc(0.94, 0.5));
    EXPECT_TRUE(e.compteurs.empty());
    EXPECT_EQ(e.statut, "Hors ligne — liste du 06/12 à 05:46. Les Ovrels de ce réseau restent configurables.");
    d.cacheLe.reset();
    EXPECT_EQ(modeleEntete(d, "UTC").statut, "Hors ligne — liste du —. Les Ovrels de ce réseau restent configurables.");
}

TEST(ModeleParc, LeFiltreIgnoreCasseAccentsEtTiretsDuNumero) {
    auto a = box("a", "OV-24A1", true);
    a.nom = "Gîte des Pins";
    a.sante.couleur = CouleurSante::rouge;
    const auto ligne = modeleListe({a}, {}, nullptr).lignes[0];
    const std::string cle = cleRecherche(ligne);
    for (const auto& [texte, couleur, passe] : std::vector<std::tuple<std::string, std::optional<CouleurSante>, bool>>{
             {"", std::nullopt, true},
             {"GITE", std::nullopt, true},
             {"pîns", std::nullopt, true},
             {"ov24a", std::nullopt, true},
             {"ov-24", std::nullopt, true},
             {"chalet", std::nullopt, false},
             {"", CouleurSante::rouge, true},
             {"gite", CouleurSante::vert, false},
         }) {
        SCOPED_TRACE(texte);
        EXPECT_EQ(passeLeFiltre(ligne, cle, preparerFiltre({texte, couleur})), passe);
    }
}

}  // namespace
