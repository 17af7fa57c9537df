// The fakes the flow tests stand on: time order of timers, the main queue, held HTTP answers.
#include "tests/faux/dialogues_faux.h"
#include "tests/faux/http_faux.h"
#include "tests/faux/minuteries_faux.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

using namespace ovrel;
using namespace std::chrono_literals;

namespace {

RequeteHttp vers(std::string url) {
    RequeteHttp r;
    r.url = std::move(url);
    return r;
}

TEST(MinuteriesFaux, LesEcheancesPassentDansLOrdreALeurHeure) {
    HorlogeManuelle horloge;
    MinuteriesFaux m(horloge);
    const Instant t0 = horloge.maintenant();
    std::vector<std::pair<std::string, Instant::duration>> vus;
    auto noter = [&](std::string nom) { return [&, nom] { vus.emplace_back(nom, horloge.maintenant() - t0); }; };

    auto b = m.apres(700ms, noter("b"));
    auto repete = m.repeter(300ms, noter("r"));
    auto a = m.apres(300ms, noter("a"));  // same time as the first tick, created later
    auto annulee = m.apres(100ms, noter("x"));
    annulee->annuler();
    (void)m.apres(200ms, noter("lâchée"));  // its handle is gone at once: it never runs
    m.surLaFilePrincipale([&] { m.surLaFilePrincipale(noter("f2")); vus.emplace_back("f1", horloge.maintenant() - t0); });

    m.avancer(1s);
    repete->annuler();
    m.avancer(1s);
    const std::vector<std::pair<std::string, Instant::duration>> attendus = {
        {"f1", 0ms}, {"f2", 0ms}, {"r", 300ms}, {"a", 300ms}, {"r", 600ms}, {"b", 700ms}, {"r", 900ms}};
    EXPECT_EQ(vus, attendus);
    EXPECT_EQ(horloge.maintenant() - t0, 2s);
    EXPECT_EQ(m.actives(), 0u);
}

TEST(HttpFaux, JamaisDeReponseDepuisEnvoyerEtReponsesRetenues) {
    HorlogeManuelle horloge;
    MinuteriesFaux m(horloge);
    HttpFaux http(m);
    std::vector<int> statuts;
    auto noter = [&](ReponseHttp r) { statuts.push_back(r.statut); };

    http.scripter("https://a.example/", HttpFaux::reponse(200, "a"));
    http.envoyer(vers("https://a.example/"), noter);
    EXPECT_TRUE(statuts.empty());
    m.vider();
    EXPECT_EQ(statuts, std::vector<int>{200});

    http.retenir = true;
    http.enFile(HttpFaux::reponse(503, std::nullopt));
    http.envoyer(vers("https://a.example/"), noter);  // the queued answer goes first
    http.envoyer(vers("https://b.example/"), noter);  // nothing planned
    m.vider();
    EXPECT_EQ(http.enAttente(), 2u);
    EXPECT_TRUE(http.liberer());
    EXPECT_FALSE(http.liberer());
    EXPECT_TRUE(http.repondre(HttpFaux::reponse(404, std::nullopt)));
    m.vider();
    EXPECT_EQ(statuts, (std::vector<int>{200, 503, 404}));
    EXPECT_EQ(http.requetes.size(), 3u);
}

TEST(DialoguesFaux, ReponsesParIndexOuParTexte) {
    DialoguesFaux d;
    d.choisir("Non");
    d.choisir(0);
    d.choisir("Inconnu");
    EXPECT_EQ(d.question("t", "m", {"Oui", "Non"}), 1);
    EXPECT_EQ(d.question("t", "m", {"Oui", "Non"}), 0);
    EXPECT_EQ(d.question("t", "m", {"Oui", "Non"}), -1);           // unknown text: dismissed
    EXPECT_EQ(d.question("t", "m", {"Oui", "Non", "Fermer"}), -1);  // nothing scripted: dismissed
    EXPECT_EQ(d.questionsSansReponse, 2);
    EXPECT_EQ(d.montres.size(), 4u);
}

}  // namespace
