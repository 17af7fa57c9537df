// Reading speed of the fleet document on generated fleets of 100, 1,000 and 10,000 boxes.
#include "bench/generateur_parc.h"
#include "sante/lecture_parc.h"

#include <benchmark/benchmark.h>

namespace {

void lireParcFiable(benchmark::State& etat) {
    const std::string document = ovrel::bench::genererParc(static_cast<int>(etat.range(0)));
    for (auto _ : etat) {
        auto lecture = ovrel::lireParc(document, true);
        benchmark::DoNotOptimize(lecture);
    }
    etat.SetBytesProcessed(static_cast<std::int64_t>(etat.iterations()) * static_cast<std::int64_t>(document.size()));
    // items_per_second counts boxes: microseconds per box = 1e6 / items_per_second.
    etat.SetItemsProcessed(static_cast<std::int64_t>(etat.iterations()) * etat.range(0));
    etat.counters["octets"] = static_cast<double>(document.size());
}

}  // namespace

BENCHMARK(lireParcFiable)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
