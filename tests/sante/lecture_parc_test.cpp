#include "sante/lecture_parc.h"

#include "plateforme/json.h"

#include <gtest/gtest.h>

#include <limits>

using namespace ovrel;

namespace {
constexpr std::int64_t MAXI = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t MINI = std::numeric_limits<std::int64_t>::min();

LectureParc lire(const std::string& document, bool fiable = true) {
    auto lecture = lireParc(document, fiable);
    EXPECT_TRUE(lecture.has_value()) << document;
    return lecture.value_or(LectureParc{});
}

// A document with one box whose health object is given.
LectureParc uneBoite(const std::string& sante, const std::string& autresCles = "") {
    return lire(R"({"ovrels":[{"id":"b1","nom":"Chez Martin")" + autresCles + R"(,"sante":)" + sante + "}]}");
}

AnomalieSante uneAnomalie(const std::string& objet) {
    const auto lecture = uneBoite(R"({"couleur":"rouge","anomalies":[)" + objet + "]}");
    EXPECT_EQ(lecture.ovrels.size(), 1u);
    if (lecture.ovrels.empty() || lecture.ovrels[0].sante.anomalies.size() != 1) {
        ADD_FAILURE() << objet;
        return {};
    }
    return lecture.ovrels[0].sante.anomalies[0];
}

std::map<CouleurSante, std::int64_t> comptes(std::int64_t g, std::int64_t v, std::int64_t j, std::int64_t o,
                                             std::int64_t r) {
    return {{CouleurSante::gris, g}, {CouleurSante::vert, v}, {CouleurSante::jaune, j},
            {CouleurSante::orange, o}, {CouleurSante::rouge, r}};
}
}  // namespace

TEST(LireParc, SeulsUnDocumentIlisibleOuUneListeManquanteSontRejetes) {
    for (const char* document : {
             "", "pas du json", "[]", "null", "\"ovrels\"", "{}", R"({"ovrels":null})", R"({"ovrels":{}})",
             R"({"ovrels":"[]"})", R"({"ovrels":[{"id":"a","nom":"A"}, 3]})", R"({"ovrels":[{"id":"a","nom":"A"},null]})",
             R"({"ovrels":[[]]})", R"({"ovrels":[]} x)", R"({"ovrels":[],})", R"({"ovrels":[] /* */})",
         })
        EXPECT_FALSE(lireParc(document, true)) << document;
    EXPECT_FALSE(lireParc("{\"ovrels\":[],\"nom\":\"\xC3\x28\"}", true));  // invalid UTF-8
}

TEST(LireParc, ToutPrefixeStrictDUnDocumentEstRejete) {
    const std::string document =
        R"({"organisation":"Org","ovrels":[{"id":"a","nom":"A","sante":{"couleur":"jaune","anomalies":[)"
        R"({"titre":"T","action":{"libelle":"L","href":"/x"}}]}}],"sante_parc":{"jaune":1}})";
    ASSERT_TRUE(lireParc(document, true));
    for (std::size_t n = 0; n < document.size(); ++n) EXPECT_FALSE(lireParc(document.substr(0, n), true)) << n;
}

TEST(LireParc, ListeVideValideMaisSanteDuParcInconnue) {
    const auto lecture = lire(R"({"ovrels":[]})");
    EXPECT_TRUE(lecture.ovrels.empty());
    EXPECT_EQ(lecture.sante.parCouleur, comptes(0, 0, 0, 0, 0));
    EXPECT_EQ(lecture.sante.attention, 0);
    EXPECT_EQ(lecture.sante.total, 0);
    EXPECT_EQ(lecture.sante.titre, "Aucun Ovrel ne demande votre attention.");
    EXPECT_FALSE(lecture.sante.connue);
    EXPECT_EQ(enteteParc(lecture.sante), "Santé du parc indisponible — cette liste n'est pas à jour.");
}

TEST(LireParc, ChampsDesBoitesEtDuDocument) {
    const auto lecture = lire(R"({
        "organisation": "Intégrateurs du Sud", "compte": "jean@exemple.fr", "calcule_le": "2025-03-01T10:00:00Z",
        "ovrels": [
          {"id": "b1", "nom": "Chez Martin", "serie": "OVR-0001", "en_ligne": true, "version": "2.14.1",
           "remise": "faite", "autre": [1, 2]},
          {"id": "b2", "nom": "Sans identité", "serie": 12, "en_ligne": "true", "version": null, "remise": {}},
          {"nom": "Sans id"},
          {"id": "b3"},
          {"id": 4, "nom": "id numérique"},
          {"id": "", "nom": ""}
        ]})");
    EXPECT_EQ(lecture.organisation, "Intégrateurs du Sud");
    EXPECT_EQ(lecture.compte, "jean@exemple.fr");
    EXPECT_EQ(lecture.calculeLe, "2025-03-01T10:00:00Z");
    ASSERT_EQ(lecture.ovrels.size(), 3u);

    const OvrelParc& b1 = lecture.ovrels[0];
    EXPECT_EQ(b1.id, "b1");
    EXPECT_EQ(b1.nom, "Chez Martin");
    EXPECT_EQ(b1.serie, "OVR-0001");
    EXPECT_TRUE(b1.enLigne);
    EXPECT_EQ(b1.version, "2.14.1");
    EXPECT_EQ(b1.remise, "faite");

    // Values of the wrong type take their defaults; the box is kept.
    const OvrelParc& b2 = lecture.ovrels[1];
    EXPECT_EQ(b2.id, "b2");
    EXPECT_EQ(b2.serie, "");
    EXPECT_FALSE(b2.enLigne);
    EXPECT_EQ(b2.version, "");
    EXPECT_EQ(b2.remise, "");

    // Empty identities are accepted as they stand.
    EXPECT_EQ(lecture.ovrels[2].id, "");
    EXPECT_EQ(lecture.ovrels[2].nom, "");

    const auto vide = lire(R"({"ovrels":[], "organisation": 3, "compte": null, "calcule_le": false})");
    EXPECT_EQ(vide.organisation, "");
    EXPECT_EQ(vide.compte, "");
    EXPECT_EQ(vide.calculeLe, "");
}

TEST(LireSante, CouleurLueEtDefautsDUneSanteConnue) {
    const auto lecture = uneBoite(R"({"couleur":"ROUGE","resume":"Chaudière en panne"})");
    const SanteOvrel& s = lecture.ovrels.at(0).sante;
    EXPECT_EQ(s.couleur, CouleurSante::rouge);
    EXPECT_EQ(s.resume, "Chaudière en panne");
    EXPECT_EQ(s.verbe, "Appelez le client.");
    EXPECT_TRUE(s.anomalies.empty());
    EXPECT_TRUE(s.connue);

    const auto avecVerbe = uneBoite(R"({"couleur":"vert","verbe":"Passez quand vous voulez.","resume":7})");
    EXPECT_EQ(avecVerbe.ovrels.at(0).sante.verbe, "Passez quand vous voulez.");
    EXPECT_EQ(avecVerbe.ovrels.at(0).sante.resume, "");

    // An array holding anything but objects counts as no anomalies at all.
    const auto melange = uneBoite(R"({"couleur":"jaune","anomalies":[{"titre":"a"}, "b"]})");
    EXPECT_TRUE(melange.ovrels.at(0).sante.anomalies.empty());
    EXPECT_TRUE(melange.ovrels.at(0).sante.connue);
}

TEST(LireSante, SantesIlisiblesOuAbsentes) {
    const std::string inconnue = "Santé inconnue — l'app n'a pas pu l'obtenir du cloud.";
    for (const char* sante : {R"({"couleur":"violet","anomalies":[{"titre":"x"}]})", "{}", R"({"couleur":3})",
                              R"({"couleur":"inconnue"})", R"({"couleur":" vert"})"}) {
        const SanteOvrel s = uneBoite(sante).ovrels.at(0).sante;
        EXPECT_EQ(s.couleur, CouleurSante::inconnue) << sante;
        EXPECT_EQ(s.resume, "Santé illisible — couleur inconnue de cette version.") << sante;
        EXPECT_EQ(s.verbe, inconnue);
        EXPECT_TRUE(s.anomalies.empty());
        EXPECT_FALSE(s.connue);
    }
    for (const char* sante : {"null", "[]", "\"vert\"", "1"}) {
        const SanteOvrel s = uneBoite(sante).ovrels.at(0).sante;
        EXPECT_EQ(s.couleur, CouleurSante::inconnue) << sante;
        EXPECT_EQ(s.resume, "Santé indisponible — ce portail ne la calcule pas encore.") << sante;
        EXPECT_EQ(s.verbe, inconnue);
        EXPECT_FALSE(s.connue);
    }
    const auto sansSante = lire(R"({"ovrels":[{"id":"a","nom":"A"}]})");
    EXPECT_EQ(sansSante.ovrels.at(0).sante.resume, "Santé indisponible — ce portail ne la calcule pas encore.");

    // Direct use without any value.
    const SanteOvrel s = lireSante(nullptr, "2025-03-01T08:00:00Z", 12);
    EXPECT_EQ(s.vuLe, "2025-03-01T08:00:00Z");
    EXPECT_EQ(s.vuIlYaS, 12);
    EXPECT_FALSE(s.connue);
}

TEST(LireSante, LeVuDeLaSanteGagneSurCeluiDeLaBoite) {
    const std::string boite = R"(,"vu_le":"2025-03-01T08:00:00Z","vu_il_y_a_s":40)";
    const SanteOvrel propre = uneBoite(R"({"couleur":"vert","vu_le":"2025-03-01T09:00:00Z","vu_il_y_a_s":5})", boite)
                                  .ovrels.at(0).sante;
    EXPECT_EQ(propre.vuLe, "2025-03-01T09:00:00Z");
    EXPECT_EQ(propre.vuIlYaS, 5);

    // The health's own values win even when its colour is unreadable.
    const SanteOvrel illisible =
        uneBoite(R"({"couleur":"bleu","vu_le":"2025-03-01T09:00:00Z","vu_il_y_a_s":5.0})", boite).ovrels.at(0).sante;
    EXPECT_EQ(illisible.vuLe, "2025-03-01T09:00:00Z");
    EXPECT_EQ(illisible.vuIlYaS, 5);

    // Own values of the wrong type fall back on the box's.
    const SanteOvrel mauvais =
        uneBoite(R"({"couleur":"vert","vu_le":12,"vu_il_y_a_s":5.5})", boite).ovrels.at(0).sante;
    EXPECT_EQ(mauvais.vuLe, "2025-03-01T08:00:00Z");
    EXPECT_EQ(mauvais.vuIlYaS, 40);

    const SanteOvrel absente = uneBoite("null", boite).ovrels.at(0).sante;
    EXPECT_EQ(absente.vuLe, "2025-03-01T08:00:00Z");
    EXPECT_EQ(absente.vuIlYaS, 40);

    const SanteOvrel rien = uneBoite(R"({"couleur":"vert"})", R"(,"vu_il_y_a_s":1e30)").ovrels.at(0).sante;
    EXPECT_EQ(rien.vuLe, "");
    EXPECT_EQ(rien.vuIlYaS, std::nullopt);
}

TEST(LireParc, ListeNonFiableHorsLigne) {
    const auto lecture = lire(R"({
        "sante_parc": {"rouge": 2, "titre": "2 Ovrels demandent votre attention"},
        "ovrels": [
          {"id":"a","nom":"A","vu_le":"2025-03-01T08:00:00Z","sante":{"couleur":"rouge","anomalies":[{"titre":"x"}],
           "vu_il_y_a_s":30}},
          {"id":"b","nom":"B","sante":{"couleur":"vert"}},
          {"id":"c","nom":"C"}
        ]})",
                              false);
    ASSERT_EQ(lecture.ovrels.size(), 3u);
    for (const OvrelParc& o : lecture.ovrels) {
        EXPECT_EQ(o.sante.couleur, CouleurSante::inconnue);
        EXPECT_EQ(o.sante.resume, "Liste hors ligne — santé non vérifiée.");
        EXPECT_EQ(o.sante.verbe, "Santé inconnue — l'app n'a pas pu l'obtenir du cloud.");
        EXPECT_TRUE(o.sante.anomalies.empty());
        EXPECT_FALSE(o.sante.connue);
    }
    EXPECT_EQ(lecture.ovrels[0].sante.vuLe, "2025-03-01T08:00:00Z");
    EXPECT_EQ(lecture.ovrels[0].sante.vuIlYaS, 30);
    EXPECT_EQ(lecture.sante.parCouleur, comptes(0, 0, 0, 0, 0));
    EXPECT_EQ(lecture.sante.total, 3);
    EXPECT_EQ(lecture.sante.attention, 0);
    EXPECT_FALSE(lecture.sante.connue);
}

TEST(LireParc, ResumeDuParcCompteQuandLeCloudNeLeDonnePas) {
    const std::string boites = R"([
        {"id":"1","nom":"1","sante":{"couleur":"ROUGE"}},
        {"id":"2","nom":"2","sante":{"couleur":"violet"}},
        {"id":"3","nom":"3","sante":{"couleur":"jaune"}},
        {"id":"4","nom":"4","sante":{"couleur":"rouge"}},
        {"id":"5","nom":"5","sante":{"couleur":"vert"}},
        {"id":"6","nom":"6"}])";
    for (const std::string& resume : {std::string(), std::string(R"(,"sante_parc":[1])"),
                                      std::string(R"(,"sante_parc":null)"), std::string(R"(,"sante_parc":"rouge")")}) {
        const auto lecture = lire(R"({"ovrels":)" + boites + resume + "}");
        EXPECT_EQ(lecture.sante.parCouleur, comptes(0, 1, 1, 0, 2)) << resume;
        EXPECT_EQ(lecture.sante.attention, 3);
        EXPECT_EQ(lecture.sante.total, 6);
        EXPECT_EQ(lecture.sante.titre, "3 Ovrels demandent votre attention");
        EXPECT_TRUE(lecture.sante.connue);
    }
}

TEST(LireSanteParc, ResumeDuCloud) {
    const auto rouge = lire(R"({"ovrels":[{"id":"a","nom":"A","sante":{"couleur":"vert"}}],"sante_parc":{"rouge":2}})");
    EXPECT_EQ(rouge.sante.parCouleur, comptes(0, 0, 0, 0, 2));
    EXPECT_EQ(rouge.sante.attention, 2);
    EXPECT_EQ(rouge.sante.total, 2);
    EXPECT_EQ(rouge.sante.titre, "2 Ovrels demandent votre attention");
    EXPECT_TRUE(rouge.sante.connue);
    EXPECT_EQ(enteteParc(rouge.sante), "2 Ovrels demandent votre attention");

    // Even an empty summary object is a known summary.
    const auto vide = lire(R"({"ovrels":[{"id":"a","nom":"A","sante":{"couleur":"rouge"}}],"sante_parc":{}})");
    EXPECT_EQ(vide.sante.parCouleur, comptes(0, 0, 0, 0, 0));
    EXPECT_EQ(vide.sante.total, 0);
    EXPECT_EQ(vide.sante.titre, "Aucun Ovrel ne demande votre attention.");
    EXPECT_TRUE(vide.sante.connue);

    auto doc = json::Document::analyser(
        R"({"gris":3,"vert":"4","jaune":1.0,"orange":2.5,"rouge":1e1,"inconnue":9,"attention":7,"total":100,"titre":"Bonjour"})");
    const SanteParc explicite = lireSanteParc(&doc->racine());
    EXPECT_EQ(explicite.parCouleur, comptes(3, 0, 1, 0, 10));
    EXPECT_EQ(explicite.attention, 7);
    EXPECT_EQ(explicite.total, 100);
    EXPECT_EQ(explicite.titre, "Bonjour");

    auto mauvais = json::Document::analyser(R"({"jaune":1,"orange":1,"attention":"7","total":1.5,"titre":null})");
    const SanteParc defauts = lireSanteParc(&mauvais->racine());
    EXPECT_EQ(defauts.attention, 2);
    EXPECT_EQ(defauts.total, 2);
    EXPECT_EQ(defauts.titre, "2 Ovrels demandent votre attention");

    EXPECT_EQ(lireSanteParc(nullptr), SanteParc{});
    auto tableau = json::Document::analyser("[1]");
    EXPECT_EQ(lireSanteParc(&tableau->racine()), SanteParc{});
}

TEST(LireSanteParc, LesSommesSaturentSansDependreDeLOrdre) {
    auto lireResume = [](const std::string& texte) {
        auto doc = json::Document::analyser(texte);
        return lireSanteParc(&doc->racine());
    };
    const SanteParc haut = lireResume(R"({"jaune":9223372036854775807,"orange":9223372036854775807,"gris":1})");
    EXPECT_EQ(haut.attention, MAXI);
    EXPECT_EQ(haut.total, MAXI);
    EXPECT_EQ(haut.titre, "9223372036854775807 Ovrels demandent votre attention");

    const SanteParc bas = lireResume(R"({"jaune":-9223372036854775808,"rouge":-1})");
    EXPECT_EQ(bas.attention, MINI);
    EXPECT_EQ(bas.total, MINI);
    EXPECT_EQ(bas.titre, "Aucun Ovrel ne demande votre attention.");

    // An intermediate overflow that the next count brings back is not a saturation.
    const SanteParc mixte = lireResume(R"({"jaune":9223372036854775807,"orange":1,"rouge":-5,"vert":3})");
    EXPECT_EQ(mixte.attention, MAXI - 4);
    EXPECT_EQ(mixte.total, MAXI - 1);
}

TEST(AnomalieSante, DefautsConsigneEtQuand) {
    const AnomalieSante nue = uneAnomalie("{}");
    EXPECT_EQ(nue.cle, "");
    EXPECT_EQ(nue.titre, "Anomalie");
    EXPECT_EQ(nue.couleur, CouleurSante::inconnue);
    EXPECT_EQ(nue.consigne(), "Santé inconnue — l'app n'a pas pu l'obtenir du cloud.");
    EXPECT_EQ(nue.quand("UTC"), "");
    EXPECT_FALSE(nue.action);

    const AnomalieSante complete = uneAnomalie(R"({"cle":"piles","couleur":"Orange","titre":"Piles faibles",
        "detail":"Changez les piles du détecteur.","depuis":"2025-03-01T09:15:00Z","depuis_lisible":"2 h","age_s":60})");
    EXPECT_EQ(complete.cle, "piles");
    EXPECT_EQ(complete.couleur, CouleurSante::orange);
    EXPECT_EQ(complete.titre, "Piles faibles");
    EXPECT_EQ(complete.consigne(), "Changez les piles du détecteur.");
    EXPECT_EQ(complete.depuisLisible, "2 h");  // the cloud's text wins over "age_s"
    EXPECT_EQ(complete.quand("UTC"), "depuis le 01/03/2025 à 09:15 (2 h)");
    EXPECT_EQ(complete.quand("Europe/Paris"), "depuis le 01/03/2025 à 10:15 (2 h)");

    const AnomalieSante sansDetail = uneAnomalie(R"({"couleur":"jaune","detail":""})");
    EXPECT_EQ(sansDetail.consigne(), "À traiter cette semaine.");

    const AnomalieSante ageSeul = uneAnomalie(R"({"depuis":"2025-03-01T09:15:00.250Z","age_s":7200})");
    EXPECT_EQ(ageSeul.depuisLisible, "2 h");
    EXPECT_EQ(ageSeul.quand("UTC"), "depuis 2 h");
    EXPECT_EQ(ageSeul.quand(), "depuis 2 h");

    const AnomalieSante dateSeule = uneAnomalie(R"({"depuis":"2025-03-01T09:15:00Z","age_s":-5})");
    EXPECT_EQ(dateSeule.depuisLisible, "");
    EXPECT_EQ(dateSeule.quand("UTC"), "depuis le 01/03/2025 à 09:15");

    // An empty readable age from the cloud is kept, not replaced by "age_s".
    const AnomalieSante lisibleVide = uneAnomalie(R"({"depuis_lisible":"","age_s":7200})");
    EXPECT_EQ(lisibleVide.depuisLisible, "");
    const AnomalieSante lisibleMauvais = uneAnomalie(R"({"depuis_lisible":5,"age_s":90,"titre":false})");
    EXPECT_EQ(lisibleMauvais.depuisLisible, "1 min");
    EXPECT_EQ(lisibleMauvais.titre, "Anomalie");
}

TEST(ActionSante, ActionsValidesEtActionsEcartees) {
    const AnomalieSante post = uneAnomalie(R"({"action":{"libelle":"Relancer","href":"/api/relancer","methode":"POST"}})");
    ASSERT_TRUE(post.action);
    EXPECT_EQ(*post.action, (ActionSante{"Relancer", "/api/relancer", "post"}));

    EXPECT_EQ(uneAnomalie(R"({"action":{"libelle":"Voir","href":"/p"}})").action, (ActionSante{"Voir", "/p", "get"}));
    EXPECT_EQ(uneAnomalie(R"({"action":{"libelle":"Voir","href":"/p","methode":""}})").action->methode, "get");
    EXPECT_EQ(uneAnomalie(R"({"action":{"libelle":"Voir","href":"/p","methode":1}})").action->methode, "get");
    EXPECT_EQ(uneAnomalie(R"({"action":{"libelle":"Voir","href":"/p","methode":"Delete"}})").action->methode, "delete");
    EXPECT_EQ(uneAnomalie(R"({"action":{"libelle":"Voir","href":"/p","methode":"PÖST"}})").action->methode, "pöst");
    EXPECT_EQ(uneAnomalie(R"({"action":{"libelle":"Voir","href":"/p","methode":"A\u0000É"}})").action->methode,
              std::string("a\0é", 4));

    for (const char* action : {R"({"libelle":"Voir","href":""})", R"({"libelle":"","href":"/p"})",
                               R"({"href":"/p"})", R"({"libelle":"Voir"})", R"({"libelle":"Voir","href":3})", "null",
                               R"("/p")", "[]"}) {
        const AnomalieSante a = uneAnomalie(R"({"titre":"Gardée","action":)" + std::string(action) + "}");
        EXPECT_EQ(a.titre, "Gardée") << action;
        EXPECT_FALSE(a.action) << action;
    }
    EXPECT_FALSE(ActionSante::lire(nullptr));
}

TEST(SanteOvrel, OublieeGardeLeVu) {
    SanteOvrel s;
    s.couleur = CouleurSante::rouge;
    s.resume = "Panne";
    s.verbe = "Appelez le client.";
    s.anomalies.push_back(AnomalieSante{});
    s.vuLe = "2025-03-01T08:00:00Z";
    s.vuIlYaS = 12;
    s.connue = true;
    const SanteOvrel o = s.oubliee("Santé trop ancienne");
    EXPECT_EQ(o.couleur, CouleurSante::inconnue);
    EXPECT_EQ(o.resume, "Santé trop ancienne");
    EXPECT_EQ(o.verbe, "Santé inconnue — l'app n'a pas pu l'obtenir du cloud.");
    EXPECT_TRUE(o.anomalies.empty());
    EXPECT_FALSE(o.connue);
    EXPECT_EQ(o.vuLe, s.vuLe);
    EXPECT_EQ(o.vuIlYaS, 12);
    EXPECT_EQ(s.couleur, CouleurSante::rouge);  // a copy: the original is untouched
}

TEST(CompterLeParc, SeulesLesSantesConnuesComptentDansLesCouleurs) {
    auto sante = [](CouleurSante c, bool connue) {
        SanteOvrel s;
        s.couleur = c;
        s.connue = connue;
        return s;
    };
    const SanteParc parc = compterLeParc({sante(CouleurSante::gris, true), sante(CouleurSante::orange, true),
                                          sante(CouleurSante::orange, true), sante(CouleurSante::rouge, false),
                                          sante(CouleurSante::inconnue, false), sante(CouleurSante::vert, true)});
    EXPECT_EQ(parc.parCouleur, comptes(1, 1, 0, 2, 0));
    EXPECT_EQ(parc.attention, 2);
    EXPECT_EQ(parc.total, 6);
    EXPECT_EQ(parc.titre, "2 Ovrels demandent votre attention");
    EXPECT_TRUE(parc.connue);

    const SanteParc inconnus = compterLeParc({sante(CouleurSante::rouge, false)});
    EXPECT_EQ(inconnus.total, 1);
    EXPECT_EQ(inconnus.attention, 0);
    EXPECT_FALSE(inconnus.connue);
    EXPECT_FALSE(compterLeParc({}).connue);
    EXPECT_EQ(compterLeParc({}).parCouleur, comptes(0, 0, 0, 0, 0));
}

TEST(CompteursVisibles, DuPireAuMeilleurSansLesZeros) {
    SanteParc parc;
    parc.parCouleur = comptes(3, 0, 1, 0, 2);
    EXPECT_EQ(compteursVisibles(parc), (std::vector<std::pair<CouleurSante, std::int64_t>>{
                                           {CouleurSante::rouge, 2}, {CouleurSante::jaune, 1}, {CouleurSante::gris, 3}}));
    // Missing, negative and unknown-colour entries are never listed.
    parc.parCouleur = {{CouleurSante::vert, 4}, {CouleurSante::orange, -1}, {CouleurSante::inconnue, 5}};
    EXPECT_EQ(compteursVisibles(parc),
              (std::vector<std::pair<CouleurSante, std::int64_t>>{{CouleurSante::vert, 4}}));
    EXPECT_TRUE(compteursVisibles(SanteParc{}).empty());
}

TEST(EnteteParc, TitreSeulementQuandLeResumeEstConnu) {
    SanteParc parc;
    parc.titre = "1 Ovrel demande votre attention";
    EXPECT_EQ(enteteParc(parc), "Santé du parc indisponible — cette liste n'est pas à jour.");
    parc.connue = true;
    EXPECT_EQ(enteteParc(parc), "1 Ovrel demande votre attention");
}
