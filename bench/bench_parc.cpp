// The fleet at 10,000 boxes in the application object: reading alone, against applying a fresh
// document (read, fleet state, header and row models handed to the screen, the cache written),
// and one tick of the seen labels with a screenful of rows on view.
#include "app/constantes.h"
#include "bench/generateur_parc.h"
#include "sante/lecture_parc.h"
#include "sante/memoire_parc.h"
#include "tests/faux/banc_delegue.h"

#include <benchmark/benchmark.h>

namespace {

void lireParcSeul(benchmark::State& etat) {
    const std::string document = ovrel::bench::genererParc(static_cast<int>(etat.range(0)));
    for (auto _ : etat) {
        auto lecture = ovrel::lireParc(document, true);
        benchmark::DoNotOptimize(lecture);
    }
}

void appliquerParcEtCache(benchmark::State& etat) {
    const std::string document = ovrel::bench::genererParc(static_cast<int>(etat.range(0)));
    ovrel::BancDelegue banc;
    for (auto _ : etat) {
        const bool lu = banc.delegue->appliquerParc(document, false);
        ovrel::MemoireParc::enregistrer(banc.preferences, document, banc.horloge.maintenant());
        benchmark::DoNotOptimize(lu);
    }
    if (!banc.ecranParc.liste || banc.ecranParc.liste->lignes.size() != static_cast<std::size_t>(etat.range(0)))
        etat.SkipWithError("la liste n'a pas été donnée à l'écran");
}

void tickDesVus(benchmark::State& etat) {
    const std::string document = ovrel::bench::genererParc(static_cast<int>(etat.range(0)));
    ovrel::BancDelegue banc;
    banc.ecranParc.visibles = 30;  // a screenful, and the few rows the list keeps ready
    banc.delegue->appliquerParc(document, false);
    for (auto _ : etat) {
        banc.horloge.avancer(std::chrono::seconds(1));
        banc.delegue->rafraichirVu();
        benchmark::DoNotOptimize(banc.ecranParc.vus.data());
    }
    if (banc.ecranParc.vus.size() != 30) etat.SkipWithError("les vus n'ont pas été rafraîchis");
}

}  // namespace

BENCHMARK(lireParcSeul)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(appliquerParcEtCache)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(tickDesVus)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
