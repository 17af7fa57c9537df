#!/usr/bin/env bash
# Builds Ovrel Studio and runs every test: unit and adapter tests, the window and web view under
# a virtual display, and a short run of each fuzz target (built with clang and the sanitizers).
# Exits non-zero on any failure.
set -euo pipefail
racine=$(cd "$(dirname "$0")/.." && pwd)

if [ "${1:-}" = "--help" ] || [ "${1:-}" = "-h" ]; then
  cat <<AIDE
Usage : scripts/tester.sh

Construit Ovrel Studio et lance tous ses tests : tests unitaires et des adaptateurs, la fenêtre
et la vue web sous un affichage virtuel que le script démarre lui-même, les tests de contrat du
simulateur, les tests de bout en bout et une courte passe de chaque cible de fuzzing (construite
avec clang et les sanitizers). Installe d'abord les paquets Debian manquants (apt-get, avec sudo
si besoin). Tout avertissement du compilateur dans notre code fait échouer la construction.
Le code de sortie est non nul au moindre échec.

Variables d'environnement :
  OVREL_JOBS   nombre de tâches de construction et de tests en parallèle (défaut : 2)

Résultats :
  build/ctest-resultats.log   sortie complète des tests
  build/captures/             captures d'écran des tests de fenêtre et de bout en bout
  build/fuzz-corpus/          entrées trouvées par le fuzzing (et plantages éventuels)
  build-fuzz/                 construction clang des cibles de fuzzing
AIDE
  exit 0
fi
cd "$racine"

scripts/dependances.sh

jobs=${OVREL_JOBS:-2}

# Fuzz targets: clang, libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer.
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DOVREL_TESTS=OFF -DOVREL_FUZZ=ON -DOVREL_WERROR=ON >/dev/null
ninja -C build-fuzz -j"$jobs"

# Everything else with the system compiler; the fuzz binaries are run by CTest from there.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOVREL_BENCH=ON -DOVREL_WERROR=ON \
  -DOVREL_FUZZ_BINAIRES="$racine/build-fuzz/fuzz" >/dev/null
ninja -C build -j"$jobs"

# A virtual display of our own for the tests that open windows, whatever DISPLAY says.
fd_affichage=$(mktemp)
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$fd_affichage" >/dev/null 2>&1 &
pid_xvfb=$!
trap 'kill "$pid_xvfb" 2>/dev/null || true; rm -f "$fd_affichage"' EXIT
for _ in $(seq 100); do [ -s "$fd_affichage" ] && break; sleep 0.1; done
[ -s "$fd_affichage" ] || { echo "Xvfb n'a pas démarré" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$fd_affichage")"
export GDK_BACKEND=x11
unset WAYLAND_DISPLAY

# A private session bus: the application registers its single instance there.
resultats=build/ctest-resultats.log
set +e
dbus-run-session -- ctest --test-dir build --output-on-failure -j"$jobs" 2>&1 | tee "$resultats"
statut=${PIPESTATUS[0]}
set -e

# Stop the display now, so that what its last clients print on the way out comes before the
# summary, which stays the last line of the run.
kill "$pid_xvfb" 2>/dev/null || true
wait "$pid_xvfb" 2>/dev/null || true
sleep 1
echo "Sortie complète des tests : $racine/$resultats"
echo "Captures d'écran : $racine/build/captures"
echo "Trouvailles du fuzzing : $racine/build/fuzz-corpus"
grep -E '^[0-9]+% tests passed' "$resultats" | tail -n1 || true
exit "$statut"
