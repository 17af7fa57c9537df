// Timers and main-queue dispatch on a real GLib main loop.
#include "plateforme/glib/minuteries_glib.h"

#include "boucle_glib.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

using namespace ovrel;
using namespace std::chrono_literals;
using Montre = std::chrono::steady_clock;

namespace {

TEST(MinuteriesGlib, LaFilePrincipaleGardeLOrdreEtNeTourneJamaisPendantLAppel) {
    MinuteriesGlib minuteries;
    std::vector<int> ordre;
    minuteries.surLaFilePrincipale([&] {
        ordre.push_back(1);
        // Queued from inside an action: after everything already queued.
        minuteries.surLaFilePrincipale([&] { ordre.push_back(4); });
        EXPECT_EQ(ordre, (std::vector<int>{1})) << "pas pendant l'appel, même depuis une action";
    });
    minuteries.surLaFilePrincipale([&] { ordre.push_back(2); });
    minuteries.surLaFilePrincipale([&] { ordre.push_back(3); });
    EXPECT_TRUE(ordre.empty());
    EXPECT_TRUE(essai::tournerJusqua([&] { return ordre.size() == 4; }, 2s));
    EXPECT_EQ(ordre, (std::vector<int>{1, 2, 3, 4}));
}

TEST(MinuteriesGlib, ApresDeclencheDansLOrdreDesDelaisAuPlusTotALEcheance) {
    MinuteriesGlib minuteries;
    const auto debut = Montre::now();
    std::vector<std::pair<std::string, Montre::duration>> vus;
    auto noter = [&](std::string nom) { return [&vus, &debut, nom] { vus.emplace_back(nom, Montre::now() - debut); }; };
    auto lent = minuteries.apres(120ms, noter("lent"));
    auto rapide = minuteries.apres(40ms, noter("rapide"));
    auto moyen = minuteries.apres(80ms, noter("moyen"));
    auto immediat = minuteries.apres(0ms, noter("immédiat"));
    EXPECT_TRUE(vus.empty()) << "un délai nul ne court-circuite pas la boucle";
    EXPECT_TRUE(lent->active());
    ASSERT_TRUE(essai::tournerJusqua([&] { return vus.size() == 4; }, 2s));
    EXPECT_EQ(vus[0].first, "immédiat");
    EXPECT_EQ(vus[1].first, "rapide");
    EXPECT_EQ(vus[2].first, "moyen");
    EXPECT_EQ(vus[3].first, "lent");
    EXPECT_GE(vus[1].second, 40ms);
    EXPECT_GE(vus[2].second, 80ms);
    EXPECT_GE(vus[3].second, 120ms);
    EXPECT_LT(vus[3].second, 600ms) << "précision à la milliseconde, pas à la seconde";
    EXPECT_FALSE(lent->active());
    EXPECT_FALSE(immediat->active());
    essai::tournerPendant(50ms);
    EXPECT_EQ(vus.size(), 4u) << "une seule fois";
}

TEST(MinuteriesGlib, RepeterSuitLaPeriodeJusquALAnnulation) {
    MinuteriesGlib minuteries;
    std::vector<Montre::time_point> tours;
    auto minuterie = minuteries.repeter(30ms, [&] { tours.push_back(Montre::now()); });
    const auto debut = Montre::now();
    essai::tournerPendant(200ms);
    ASSERT_GE(tours.size(), 4u);
    EXPECT_LE(tours.size(), 7u);
    EXPECT_GE(tours.front() - debut, 29ms);
    for (std::size_t i = 1; i < tours.size(); ++i) EXPECT_GE(tours[i] - tours[i - 1], 29ms);
    EXPECT_TRUE(minuterie->active());
    minuterie->annuler();
    EXPECT_FALSE(minuterie->active());
    const auto vus = tours.size();
    essai::tournerPendant(100ms);
    EXPECT_EQ(tours.size(), vus);
}

TEST(MinuteriesGlib, UneMinuterieQuiSAnnuleDansSonActionSArreteLa) {
    MinuteriesGlib minuteries;
    int tours = 0;
    std::unique_ptr<Minuterie> minuterie;
    auto garde = std::make_shared<int>(0);
    minuterie = minuteries.repeter(5ms, [&, garde] {
        if (++tours == 3) minuterie->annuler();
    });
    std::weak_ptr<int> temoin = garde;
    garde.reset();
    essai::tournerPendant(100ms);
    EXPECT_EQ(tours, 3);
    EXPECT_FALSE(minuterie->active());
    EXPECT_TRUE(temoin.expired()) << "l'action annulée est libérée, même si la poignée reste";
}

TEST(MinuteriesGlib, AnnulerEmpecheLActionEtPeutSeRepeterAvantOuApres) {
    MinuteriesGlib minuteries;
    int appels = 0;
    auto annulee = minuteries.apres(20ms, [&] { ++appels; });
    annulee->annuler();
    annulee->annuler();
    EXPECT_FALSE(annulee->active());
    auto tiree = minuteries.apres(10ms, [&] { appels += 10; });
    essai::tournerPendant(80ms);
    EXPECT_EQ(appels, 10);
    tiree->annuler();
    tiree->annuler();
    EXPECT_FALSE(tiree->active());
    essai::tournerPendant(20ms);
    EXPECT_EQ(appels, 10);
}

TEST(MinuteriesGlib, LacherLaPoigneeAnnuleMemeDepuisSonAction) {
    MinuteriesGlib minuteries;
    int appels = 0;
    (void)minuteries.apres(10ms, [&] { appels += 100; });
    { auto repetee = minuteries.repeter(10ms, [&] { appels += 100; }); }
    auto gardee = minuteries.apres(10ms, [&] { ++appels; });
    // A repeating timer whose action drops its own handle runs once, and its action is
    // released safely after that run.
    std::unique_ptr<Minuterie> elleMeme;
    elleMeme = minuteries.repeter(5ms, [&] {
        ++appels;
        elleMeme.reset();
    });
    EXPECT_TRUE(essai::tournerJusqua([&] { return appels == 2; }, 5s));
    essai::tournerPendant(60ms);
    EXPECT_EQ(appels, 2);
    EXPECT_FALSE(gardee->active());
}

TEST(MinuteriesGlib, UnDelaiDePlusDe49JoursNeReboucleSurQuelquesMillisecondes) {
    MinuteriesGlib minuteries;
    bool tiree = false;
    // 2^32 + 5 ms: held in 32 bits this would be 5 ms.
    auto minuterie = minuteries.apres(std::chrono::milliseconds(4'294'967'301LL), [&] { tiree = true; });
    essai::tournerPendant(50ms);
    EXPECT_FALSE(tiree);
    EXPECT_TRUE(minuterie->active());
    minuterie->annuler();
}

TEST(MinuteriesGlib, RienNeTourneApresLaDestructionDeLAdaptateur) {
    int appels = 0;
    std::unique_ptr<Minuterie> restante;
    std::unique_ptr<Minuterie> repetee;
    {
        MinuteriesGlib minuteries;
        restante = minuteries.apres(10ms, [&] { ++appels; });
        repetee = minuteries.repeter(10ms, [&] { ++appels; });
        minuteries.surLaFilePrincipale([&] { ++appels; });
    }
    essai::tournerPendant(60ms);
    EXPECT_EQ(appels, 0);
    EXPECT_FALSE(restante->active());
    restante->annuler();  // still safe
}

}  // namespace
