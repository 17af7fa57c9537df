#!/usr/bin/env bash
# Builds Ovrel Studio and runs every test: unit and adapter tests, and a short run of each
# fuzz target (built with clang and the sanitizers). Exits non-zero on any failure.
set -euo pipefail
racine=$(cd "$(dirname "$0")/.." && pwd)
cd "$racine"

scripts/dependances.sh

jobs=${OVREL_JOBS:-2}

# Fuzz targets: clang, libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer.
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DOVREL_TESTS=OFF -DOVREL_FUZZ=ON >/dev/null
ninja -C build-fuzz -j"$jobs"

# Everything else with the system compiler; the fuzz binaries are run by CTest from there.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOVREL_BENCH=ON \
  -DOVREL_FUZZ_BINAIRES="$racine/build-fuzz/fuzz" >/dev/null
ninja -C build -j"$jobs"

ctest --test-dir build --output-on-failure -j"$jobs"
