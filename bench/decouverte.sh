#!/usr/bin/env bash
# The local boxes' discovery, timed: from the start of the box finder to its table holding every
# announced box with its identity, through the real Avahi and HTTP adapters, beside
# `avahi-browse -rpt` on the same services in the same run; then the same with mute boxes (they
# accept connections and never answer), which must not delay the others.
#
# Everything runs in private namespaces with their own system bus and Avahi daemon
# (scripts/espace-avahi.sh --demon): root, or user namespaces, needed.
set -euo pipefail
racine=$(cd "$(dirname "$0")/.." && pwd)

tours=3
boxes=50
muettes=8
construction=build-bench
while [ $# -gt 0 ]; do
  case "$1" in
    --tours) tours=$2; shift 2 ;;
    --boxes) boxes=$2; shift 2 ;;
    --muettes) muettes=$2; shift 2 ;;
    --construction) construction=$2; shift 2 ;;
    -h|--help)
      cat <<AIDE
Usage : bench/decouverte.sh [--tours N] [--boxes N] [--muettes N] [--construction DOSSIER]

Mesure la découverte des boxes du réseau local (N tours, 3 par défaut) : $boxes boxes annoncées
par défaut qui répondent à /api/decouverte, puis les mêmes avec $muettes boxes muettes en plus.
Chaque tour donne, depuis le démarrage de la recherche, le temps où la table tient toutes les
boxes, celui où toutes celles qui répondent ont leur identité, celui de l'adaptateur Avahi seul,
et, à côté, le temps où avahi-browse -rpt a tout résolu et celui où il se termine.
Construit ce qu'il faut dans --construction (build-bench par défaut).

Résultats : <construction>/decouverte/resultats.txt
AIDE
      exit 0 ;;
    *) echo "option inconnue : $1" >&2; exit 2 ;;
  esac
done
cd "$racine"

jobs=${OVREL_JOBS:-2}
if [ ! -f "$construction/CMakeCache.txt" ]; then
  cmake -S . -B "$construction" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOVREL_TESTS=OFF -DOVREL_BENCH=ON >/dev/null
fi
journal_construction=$(mktemp)
ninja -C "$construction" -j"$jobs" bench_decouverte >"$journal_construction" ||
  { tail -n 40 "$journal_construction" >&2; rm -f "$journal_construction"; exit 1; }
rm -f "$journal_construction"

sortie="$construction/decouverte"
mkdir -p "$sortie"
resultats="$sortie/resultats.txt"
{
  echo "Découverte des boxes — $(date -u +%Y-%m-%dT%H:%M:%SZ), $(nproc) cœurs, charge $(cut -d' ' -f1-3 /proc/loadavg)"
  echo
  scripts/espace-avahi.sh --demon "$construction/bench/bench_decouverte" --boxes "$boxes" --tours "$tours"
  echo
  scripts/espace-avahi.sh --demon "$construction/bench/bench_decouverte" --boxes "$boxes" --muettes "$muettes" \
    --tours "$tours"
} | tee "$resultats"
echo "Résultats : $racine/$resultats"
