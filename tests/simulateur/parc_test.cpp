// The fleet document as it changes between answers: seen ages that follow the fleet's clock, a
// generated fleet of any size, and a box whose serial alternates.
#include "support.h"

#include "app/constantes.h"
#include "sante/date_iso.h"
#include "sante/lecture_parc.h"

#include <gtest/gtest.h>

#include <ctime>
#include <map>
#include <set>

namespace ovrel::essais {
namespace {

namespace json = boost::json;

class Parc : public ::testing::Test {
protected:
    void SetUp() override { sim.reinitialiser(); }
    Simulateur& sim = Simulateur::instance();

    json::object document(const std::string& cookie) {
        const Reponse r = obtenir(URL_PARC(), cookie);
        EXPECT_EQ(r.statut, 200) << r.corps;
        return r.json().value_or(json::object{});
    }
    static std::int64_t secondes(const json::value& date) {
        const auto* texte = date.if_string();
        const auto s = texte ? secondesIsoUtc(std::string_view(texte->data(), texte->size())) : std::nullopt;
        EXPECT_TRUE(s) << date;
        return s.value_or(-1);
    }
};

TEST_F(Parc, LesAgesVusSuiventLHorlogeDuParcDepuisLesAgesDeDepart) {
    const std::map<std::string, std::int64_t> agesDeDepart{
        {"OV24A0001", 12}, {"OV24A0002", 25}, {"OV23C0417", 40}, {"OV23C0533", 7260}, {"OV22B0090", 4 * 86400}};
    // Well after the population was made, so that no age is cut at zero.
    const std::int64_t t0 = std::time(nullptr) + 1000;
    const std::string cookie = sim.cookie("installateur");
    std::map<std::string, std::int64_t> premiersVus;
    std::optional<std::int64_t> ecartCommun;
    for (const std::int64_t pas : {0, 5, 3605}) {
        sim.scenario("{\"horloge_parc\": " + std::to_string(t0 + pas) + "}");
        const json::object doc = document(cookie);
        EXPECT_EQ(secondes(doc.at("calcule_le")), t0 + pas);
        const auto& ovrels = doc.at("ovrels").as_array();
        ASSERT_EQ(ovrels.size(), agesDeDepart.size());
        for (const auto& v : ovrels) {
            const auto& b = v.as_object();
            const std::string serie(b.at("serie").as_string());
            const std::int64_t age = b.at("vu_il_y_a_s").as_int64();
            const std::int64_t vuLe = secondes(b.at("vu_le"));
            EXPECT_EQ(vuLe + age, t0 + pas) << serie << " : la date et l'âge vus concordent";
            // Every box aged alike since the start: the configured ages are the starting point.
            const std::int64_t ecart = age - pas - agesDeDepart.at(serie);
            if (!ecartCommun) ecartCommun = ecart;
            EXPECT_EQ(ecart, *ecartCommun) << serie;
            if (pas == 0) premiersVus[serie] = vuLe;
            EXPECT_EQ(vuLe, premiersVus[serie]) << serie << " : l'instant vu ne bouge pas";
        }
    }
    ASSERT_TRUE(ecartCommun);
    EXPECT_GE(*ecartCommun, 1000);
    EXPECT_LT(*ecartCommun, 1060);

    // A clock set before the boxes were heard from shows them seen just now, never in the future.
    sim.scenario(R"({"horloge_parc": 0})");
    const json::object figee = document(cookie);
    for (const auto& v : figee.at("ovrels").as_array()) {
        EXPECT_EQ(v.at("vu_il_y_a_s").as_int64(), 0);
        EXPECT_EQ(v.at("vu_le"), "1970-01-01T00:00:00Z");
    }
    // Back to the system's clock.
    sim.scenario(R"({"horloge_parc": null})");
    const std::int64_t avant = std::time(nullptr);
    const json::object doc = document(cookie);
    const std::int64_t apres = std::time(nullptr);
    EXPECT_GE(secondes(doc.at("calcule_le")), avant);
    EXPECT_LE(secondes(doc.at("calcule_le")), apres);
}

TEST_F(Parc, UnParcGenereEstCoherentLisibleEtStable) {
    const std::string cookie = sim.cookie("installateur");
    for (const int nombre : {1, 37, 10000}) {
        SCOPED_TRACE(nombre);
        sim.scenario("{\"parc_genere\": " + std::to_string(nombre) + "}");
        const std::string corps = obtenir(URL_PARC(), cookie).corps;
        const auto parc = lireParc(corps, true);
        ASSERT_TRUE(parc);
        ASSERT_EQ(parc->ovrels.size(), static_cast<std::size_t>(nombre));
        EXPECT_EQ(parc->organisation, "Domotique Durand");
        // The document's summary is the one the application would count from the boxes.
        std::vector<SanteOvrel> santes;
        for (const auto& o : parc->ovrels) santes.push_back(o.sante);
        const SanteParc compte = compterLeParc(santes);
        EXPECT_TRUE(parc->sante.connue);
        EXPECT_EQ(parc->sante.parCouleur, compte.parCouleur);
        EXPECT_EQ(parc->sante.attention, compte.attention);
        EXPECT_EQ(parc->sante.total, nombre);

        // The distinct values of each field, and each box's colour against its anomalies'.
        std::map<std::string, std::set<std::string>> valeurs;
        for (const auto& o : parc->ovrels) {
            ASSERT_TRUE(o.sante.connue && o.sante.vuIlYaS && !o.sante.vuLe.empty()) << o.nom;
            for (const auto& [champ, valeur] : std::map<std::string, std::string>{
                     {"id", o.id}, {"serie", o.serie}, {"version", o.version}, {"remise", o.remise},
                     {"en_ligne", o.enLigne ? "oui" : "non"}, {"couleur", std::string(valeurBrute(o.sante.couleur))},
                     {"anomalies", std::to_string(o.sante.anomalies.size())}, {"age", std::to_string(*o.sante.vuIlYaS)}})
                valeurs[champ].insert(valeur);
            CouleurSante pire = CouleurSante::vert;
            for (const auto& a : o.sante.anomalies) {
                ASSERT_TRUE(a.action) << o.nom << " " << a.cle;
                valeurs["methode"].insert(a.action->methode);
                pire = std::max(pire, a.couleur);
            }
            // A box's colour is its worst anomaly's; a box not in service has none.
            EXPECT_EQ(pire, o.sante.couleur == CouleurSante::gris ? CouleurSante::vert : o.sante.couleur) << o.nom;
        }
        EXPECT_EQ(valeurs["id"].size(), parc->ovrels.size());
        EXPECT_EQ(valeurs["serie"].size(), parc->ovrels.size());
        if (nombre < 37) continue;
        for (const auto& [champ, attendus] : std::map<std::string, std::size_t>{
                 {"couleur", 5}, {"anomalies", 4}, {"methode", 2}, {"en_ligne", 2}, {"version", 3}, {"remise", 2}, {"age", 10}})
            EXPECT_GE(valeurs[champ].size(), attendus) << champ;
    }

    // Generated again at the same size, the fleet is the same boxes.
    const auto avant = lireParc(obtenir(URL_PARC(), cookie).corps, true);
    sim.scenario(R"({"parc_genere": null})");
    EXPECT_EQ(lireParc(obtenir(URL_PARC(), cookie).corps, true)->ovrels.size(), 5u);
    sim.scenario(R"({"parc_genere": 10000})");
    const auto apres = lireParc(obtenir(URL_PARC(), cookie).corps, true);
    ASSERT_TRUE(avant && apres);
    ASSERT_EQ(apres->ovrels.size(), avant->ovrels.size());
    // (The anomalies' start dates follow the generation's instant.)
    const auto sansDates = [](std::vector<AnomalieSante> v) {
        for (auto& a : v) a.depuis.clear();
        return v;
    };
    std::size_t touchee = apres->ovrels.size();
    for (std::size_t i = 0; i < avant->ovrels.size(); ++i) {
        const OvrelParc &a = avant->ovrels[i], &b = apres->ovrels[i];
        ASSERT_TRUE(a.id == b.id && a.serie == b.serie && a.sante.couleur == b.sante.couleur &&
                    sansDates(a.sante.anomalies) == sansDates(b.sante.anomalies)) << i;
        if (touchee == apres->ovrels.size() && !b.sante.anomalies.empty() && b.sante.anomalies[0].action->methode == "post")
            touchee = i;
    }
    EXPECT_EQ(apres->ovrels[41].nom, "Maison 00042");
    EXPECT_EQ(apres->ovrels[41].serie, "OV26G00042");

    // Their actions are answered as the scenario says, but change nothing.
    ASSERT_LT(touchee, apres->ovrels.size());
    const OvrelParc& box = apres->ovrels[touchee];
    const std::string& href = box.sante.anomalies[0].action->href;
    const std::string sites = BASE_CLOUD() + "/studio/api/sites/";
    for (const auto& [adresse, statut] : std::vector<std::pair<std::string, int>>{
             {href.rfind("http", 0) == 0 ? href : BASE_CLOUD() + href, 200},
             {sites + box.id + "/anomalies/inconnue/relancer", 404},
             {sites + "9e000000-0000-4000-8000-000000010001/anomalies/hors-ligne/reveiller", 404}})
        EXPECT_EQ(poster(adresse, "", "application/x-www-form-urlencoded", cookie).statut, statut) << adresse;
    const auto ensuite = lireParc(obtenir(URL_PARC(), cookie).corps, true);
    ASSERT_TRUE(ensuite);
    EXPECT_EQ(ensuite->sante, apres->sante);
    EXPECT_EQ(ensuite->ovrels[touchee].sante.anomalies, box.sante.anomalies);
}

TEST_F(Parc, LaSerieChangeanteAlterneDUneReponseALAutre) {
    // Only a box listed in the fleet can alternate; the other fleet keys keep their bounds;
    // a refused call changes nothing, not even its valid keys.
    for (const char* refuse :
         {R"({"serie_changeante": "OV99Z0000"})", R"({"serie_changeante": "OV24A0003"})",
          R"({"serie_changeante": "OV24A0001", "parc_genere": 10})", R"({"serie_changeante": 3})",
          R"({"parc_genere": 20001})", R"({"parc_genere": -1})", R"({"parc_genere": "100"})",
          R"({"horloge_parc": -1})", R"({"horloge_parc": "2026-01-01T00:00:00Z"})"}) {
        const Reponse r = sim.controle("POST", "/scenario", refuse);
        EXPECT_EQ(r.statut, 400) << refuse;
        EXPECT_TRUE(r.json() && r.json()->contains("erreur")) << refuse;
    }
    const auto etat = sim.controle("GET", "/etat").json();
    ASSERT_TRUE(etat);
    EXPECT_EQ(etat->at("scenario").at("parc_genere").as_int64(), 0);
    EXPECT_TRUE(etat->at("scenario").at("serie_changeante").is_null());

    const std::string cookie = sim.cookie("installateur");
    struct Cas {
        std::string reglages;
        std::string serie;
    };
    const std::string idMartin = sim.idDeSerie("OV23C0417");
    for (const Cas& c : {Cas{R"({"serie_changeante": "ov24a0002"})", "OV24A0002"},
                         Cas{R"({"serie_changeante": ")" + idMartin + "\"}", "OV23C0417"},
                         Cas{R"({"serie_changeante": "OV26G00042", "parc_genere": 50})", "OV26G00042"}}) {
        SCOPED_TRACE(c.reglages);
        sim.scenario(c.reglages);
        std::vector<std::string> vues;
        std::multiset<std::string> autres;
        for (int i = 0; i < 4; ++i) {
            const auto parc = lireParc(obtenir(URL_PARC(), cookie).corps, true);
            ASSERT_TRUE(parc);
            for (const auto& o : parc->ovrels)
                if (o.serie.rfind(c.serie, 0) == 0) vues.push_back(o.serie);
                else autres.insert(o.serie);
        }
        const std::string variante = c.serie + "-B";
        EXPECT_EQ(vues, (std::vector<std::string>{c.serie, variante, c.serie, variante}));
        for (const auto& s : autres) EXPECT_EQ(autres.count(s), 4u) << s << " ne change pas";
        sim.scenario(R"({"serie_changeante": null})");
        for (int i = 0; i < 2; ++i) {
            const std::string corps = obtenir(URL_PARC(), cookie).corps;
            EXPECT_NE(corps.find("\"" + c.serie + "\""), std::string::npos);
            EXPECT_EQ(corps.find(variante), std::string::npos);
        }
    }
}

}  // namespace
}  // namespace ovrel::essais
