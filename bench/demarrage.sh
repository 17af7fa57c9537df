#!/usr/bin/env bash
# Start-up time and memory of Ovrel Studio, side by side with Chromium in application mode on the
# same page of the simulated cloud, under a virtual display of the script's own.
#
# Each run starts the program afresh, with empty state folders (a first launch), and times it
# from just before its start ("t0") with bench/guetteur-fenetre, which reads the screen:
#   - Ovrel Studio: its window "Ovrel Studio" shown, then drawn (the sign-in screen's gold title
#     on the screen); its memory 5 s later; then Return on the sign-in screen, the scripted
#     browser of the demo (scripts/navigateur-demo.sh) signs in as the demo installer and hands
#     the return to a second launch, as the desktop does; the native fleet screen chosen (read
#     from the application's journal); then, the program quit, its next launch signed in: the fleet page of
#     the studio drawn in the web view (a green health dot); its memory 5 s later;
#   - Chromium --app on the same fleet page (a session page with a token the script got from the
#     same sign-in, which sets the web login and leads to the fleet page): its window shown, the
#     page drawn (the green dot), its memory 5 s later.
# Memory is the proportional set size (Pss of /proc/PID/smaps_rollup) summed over the program's
# processes: the one started, its descendants, the processes of its session and, for Chromium,
# any process naming its profile folder; beside it, the program's own part (see memoire_arbre).
#
# The programs' files are in the page cache (one run of each, not counted, comes first): "cold"
# means a new process and new state, not a cold disk.
set -euo pipefail
racine=$(cd "$(dirname "$0")/.." && pwd)

tours=3
avec_chromium=1
autre_application=""
while [ $# -gt 0 ]; do
  case "$1" in
    --tours) tours=$2; shift 2 ;;
    --sans-chromium) avec_chromium=0; shift ;;
    --application) autre_application=$(realpath "$2"); shift 2 ;;
    -h|--help)
      cat <<AIDE
Usage : bench/demarrage.sh [--tours N] [--sans-chromium] [--application CHEMIN]

Mesure le démarrage et la mémoire d'Ovrel Studio à côté de Chromium (--app) sur la même page du
cloud simulé, sous un affichage virtuel : N tours de chaque (3 par défaut), après un tour
d'échauffement non compté. Chromium se mesure s'il est installé (apt-get install -y chromium).
L'environnement passe aux programmes (par exemple GSK_RENDERER=cairo bench/demarrage.sh).
--application mesure un autre binaire ovrel-studio (construit pour le domaine ovrel.localhost),
par exemple celui d'une version antérieure, pour comparer.

Résultats : build-bench/demarrage/resultats.txt (et le détail des processus par tour).
AIDE
      exit 0 ;;
    *) echo "option inconnue : $1" >&2; exit 2 ;;
  esac
done
cd "$racine"

jobs=${OVREL_JOBS:-2}
construction=build-bench
cmake -S . -B "$construction" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOVREL_TESTS=OFF -DOVREL_BENCH=ON \
  -DOVREL_DOMAINE_CLOUD=ovrel.localhost >/dev/null
journal_construction=$(mktemp)
ninja -C "$construction" -j"$jobs" ovrel-studio ovrel-simulateur guetteur-fenetre >"$journal_construction" ||
  { tail -n 40 "$journal_construction" >&2; rm -f "$journal_construction"; exit 1; }
rm -f "$journal_construction"

application=${autre_application:-"$racine/$construction/app/gtk/ovrel-studio"}
guetteur="$racine/$construction/bench/guetteur-fenetre"
navigateur_demo="$racine/scripts/navigateur-demo.sh"
if ((avec_chromium)) && ! command -v chromium >/dev/null; then
  echo "Chromium absent (apt-get install -y chromium) : Ovrel Studio seul." >&2
  avec_chromium=0
fi

sortie="$racine/$construction/demarrage"
rm -rf "$sortie"
mkdir -p "$sortie"
resultats="$sortie/resultats.txt"
travail=$(mktemp -d /tmp/ovrel-bench-demarrage.XXXXXX)
groupes=()  # process groups started here, stopped at the end in reverse order
pids=()     # daemons that left their group
nettoyer() {
  local i
  for ((i = ${#groupes[@]} - 1; i >= 0; i--)); do kill -TERM -- "-${groupes[i]}" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  # The programs measured, when the script is stopped during a run.
  for pid in $(cat "$travail/programmes" 2>/dev/null); do kill -KILL -- "-$pid" 2>/dev/null || true; done
  sleep 0.5
  for ((i = ${#groupes[@]} - 1; i >= 0; i--)); do kill -KILL -- "-${groupes[i]}" 2>/dev/null || true; done
  rm -rf "$travail"
}
trap nettoyer EXIT

noter() { echo "$*" | tee -a "$resultats"; }
charge() { cut -d' ' -f1-3 /proc/loadavg; }

# --- The world of the measure: display, session bus, simulated cloud ---

setsid Xvfb -displayfd 3 -nolock -screen 0 1920x1080x24 -nolisten tcp 3>"$travail/affichage" >/dev/null 2>&1 &
groupes+=("$!")
for _ in $(seq 100); do [ -s "$travail/affichage" ] && break; sleep 0.1; done
[ -s "$travail/affichage" ] || { echo "Xvfb n'a pas démarré" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$travail/affichage")" GDK_BACKEND=x11
unset WAYLAND_DISPLAY

dbus-daemon --session --fork --nopidfile --address="unix:path=$travail/bus" --print-pid >"$travail/bus.pid"
pids+=("$(cat "$travail/bus.pid")")
export DBUS_SESSION_BUS_ADDRESS="unix:path=$travail/bus"

setsid "$racine/$construction/simulateur/ovrel-simulateur" --port-cloud 0 --port-tls 0 --port-controle 0 \
  --port-ancien 0 --sans-avahi >"$travail/simulateur.log" 2>&1 &
groupes+=("$!")
for _ in $(seq 100); do grep -q '^PRET ' "$travail/simulateur.log" && break; sleep 0.1; done
pret=$(grep -m1 '^PRET ' "$travail/simulateur.log") || { echo "Le simulateur n'a pas démarré" >&2; exit 1; }
studio=$(sed -n 's/.* studio=\([^ ]*\).*/\1/p' <<<"$pret")

# --- Measures ---

# memoire_arbre PID [PATTERN]: "pss own rss processes" (kB) summed over PID, its descendants,
# the processes of the session it leads, and those whose command line holds PATTERN; each one's
# figures go to the detail file $detail. PSS divides each page among the processes that map it,
# other programs of the machine included (other WebKit or GTK programs share the libraries'
# pages): the program's own part, its anonymous and shared-memory pages (Pss_Anon + Pss_Shmem),
# does not depend on what else runs. The last field of the answer counts the processes of a web
# engine (WebKit's web processes, Chromium's renderers) running outside the program meanwhile.
memoire_arbre() {
  local tete=$1 motif=${2:-} liste p ligne pss=0 propre=0 rss=0 nombre=0 ailleurs
  liste=$(ps -e -o pid=,ppid=,sid= | awk -v r="$tete" '
    { pere[$1] = $2; session[$1] = $3 }
    END {
      garde[r] = 1
      do { n = 0; for (p in pere) if (!(p in garde) && ((pere[p] in garde) || session[p] == r)) { garde[p] = 1; n++ } } while (n)
      for (p in garde) print p
    }')
  [ -n "$motif" ] && liste="$liste $(pgrep -f -- "$motif" || true)"
  liste=$(printf '%s\n' $liste | sort -un)
  for p in $liste; do
    ligne=$(awk '/^Pss:/ { pss = $2 } /^Pss_(Anon|Shmem):/ { propre += $2 } /^Rss:/ { rss = $2 }
                 END { if (pss != "") print pss, propre, rss }' "/proc/$p/smaps_rollup" 2>/dev/null) || continue
    [ -n "$ligne" ] || continue
    set -- $ligne
    pss=$((pss + $1))
    propre=$((propre + $2))
    rss=$((rss + $3))
    nombre=$((nombre + 1))
    printf '  PSS %7d kB  propre %7d kB  RSS %7d kB  %s\n' "$1" "$2" "$3" \
      "$(tr '\0' ' ' <"/proc/$p/cmdline" 2>/dev/null | cut -c1-100)" >>"$detail"
  done
  ailleurs=$({ pgrep -x WebKitWebProces; pgrep -f -- '--type=renderer'; } | grep -vxF -f <(printf '%s\n' $liste) | wc -l)
  echo "$pss $propre $rss $nombre $ailleurs"
}

# memoire MEASURE: "PSS 153 Mo (propre 95) / 8 proc." from memoire_arbre's answer.
memoire() {
  set -- $1
  printf 'PSS %4s Mo (propre %4s) / %s proc. [%s moteurs web ailleurs]' "$(mo "$1")" "$(mo "$2")" "$4" "$5"
}

mo() { awk -v k="$1" 'BEGIN { printf "%.0f", k / 1024 }'; }
champ() { sed -n "s/.*$1=\([^ ]*\).*/\1/p" <<<"$2"; }

# arreter PID: SIGTERM to the program (Ovrel Studio saves and quits), then its whole group.
arreter() {
  kill -TERM "$1" 2>/dev/null || true
  for _ in $(seq 100); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
  kill -KILL -- "-$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}

# tour_ovrel N: one run of Ovrel Studio; prints its line of results.
tour_ovrel() {
  local n=$1
  local etat="$travail/ovrel-$n" t0 pid ligne fenetre montree dessinee pss_connexion parc retour_ns
  detail="$sortie/processus-ovrel-$n.txt"
  mkdir -p "$etat"/{config,donnees/applications,cache}
  # The scripted browser hands the return to this relay, which notes the time and starts the
  # second launch, as the desktop would.
  cat >"$etat/relais.sh" <<RELAIS
#!/bin/sh
date +%s%N >"$etat/retour.ns"
exec "$application" "\$@"
RELAIS
  chmod +x "$etat/relais.sh"
  cat >"$etat/donnees/applications/navigateur-bench.desktop" <<DESKTOP
[Desktop Entry]
Type=Application
Name=Navigateur du banc
Exec="$navigateur_demo" "$etat/relais.sh" "$etat/navigateur.log" %u
MimeType=x-scheme-handler/http;x-scheme-handler/https;
NoDisplay=true
DESKTOP
  printf '[Default Applications]\nx-scheme-handler/http=navigateur-bench.desktop\nx-scheme-handler/https=navigateur-bench.desktop\n' \
    >"$etat/config/mimeapps.list"

  local charge_avant
  charge_avant=$(charge)
  t0=$(date +%s%N)
  XDG_CONFIG_HOME="$etat/config" XDG_DATA_HOME="$etat/donnees" XDG_CACHE_HOME="$etat/cache" \
    OVREL_STUDIO_URL="$studio" OVREL_PROJET="$racine/simulateur/projet-exemple" \
    setsid "$application" >"$etat/application.log" 2>&1 &
  pid=$!
  echo "$pid" >>"$travail/programmes"
  ligne=$("$guetteur" --titre '^Ovrel Studio$' --depuis "$t0" --couleur 216,171,106,200 --delai 30) ||
    { echo "Ovrel Studio, tour $n : écran de connexion non dessiné ($ligne)" >&2; tail -n 20 "$etat/application.log" >&2; arreter "$pid"; return 1; }
  fenetre=$(champ fenetre "$ligne")
  montree=$(champ montree "$ligne")
  dessinee=$(champ dessinee "$ligne")
  sleep 5
  echo "Ovrel Studio, tour $n, écran de connexion :" >"$detail"
  pss_connexion=$(memoire_arbre "$pid")

  # Sign in: Return on the sign-in screen (the pointer over the window gives it the keyboard).
  # The installer lands on the native fleet screen, which looks like the empty web container on
  # screen: the moment it is chosen is read from the application's journal instead.
  local appui fin_attente
  appui=$(date +%s%N)
  timeout 10 xdotool mousemove --window "$fenetre" 200 200 key --clearmodifiers Return
  fin_attente=$((SECONDS + 40))
  until grep -a -q 'OVREL ÉCRAN → parc' "$etat/application.log"; do
    ((SECONDS < fin_attente)) ||
      { echo "Ovrel Studio, tour $n : parc natif non montré" >&2; tail -n 20 "$etat/application.log" >&2; arreter "$pid"; return 1; }
    sleep 0.01
  done
  parc=$((($(date +%s%N) - t0) / 1000000))
  retour_ns=$(cat "$etat/retour.ns" 2>/dev/null || echo "$appui")
  arreter "$pid"

  # The next launch of the signed-in installer goes straight to the studio's fleet page.
  local t1 parc_web
  t1=$(date +%s%N)
  XDG_CONFIG_HOME="$etat/config" XDG_DATA_HOME="$etat/donnees" XDG_CACHE_HOME="$etat/cache" \
    OVREL_STUDIO_URL="$studio" OVREL_PROJET="$racine/simulateur/projet-exemple" \
    setsid "$application" >>"$etat/application.log" 2>&1 &
  pid=$!
  echo "$pid" >>"$travail/programmes"
  ligne=$("$guetteur" --titre '^Ovrel Studio$' --depuis "$t1" --couleur 105,198,144,30 --sans 21,81,155,50 --delai 40) ||
    { echo "Ovrel Studio, tour $n : page du parc non dessinée au lancement ($ligne)" >&2; tail -n 20 "$etat/application.log" >&2; arreter "$pid"; return 1; }
  parc_web=$(champ dessinee "$ligne")
  sleep 5
  echo "Ovrel Studio, tour $n, page du parc :" >>"$detail"
  local pss_parc
  pss_parc=$(memoire_arbre "$pid")
  arreter "$pid"

  local depuis_appui depuis_retour
  depuis_appui=$((parc - (appui - t0) / 1000000))
  depuis_retour=$((parc - (retour_ns - t0) / 1000000))
  printf '%-3s %-12s fenêtre %5s ms, connexion dessinée %5s ms, %s | Entrée→parc natif %5s ms, retour→parc natif %5s ms | lancement connecté→parc web %5s ms, %s | charge %s\n' \
    "$n" "Ovrel Studio" "$montree" "$dessinee" "$(memoire "$pss_connexion")" \
    "$depuis_appui" "$depuis_retour" "$parc_web" "$(memoire "$pss_parc")" "$charge_avant"
}

# jeton: a one-time token of the demo installer, by the same sign-in as the application's (the
# demo browser plays it; the return is only written down).
jeton() {
  local etat
  etat=$(head -c 48 /dev/urandom | base64 | tr '+/' '-_' | tr -d '=\n' | head -c 43)
  cat >"$travail/noter-retour.sh" <<NOTER
#!/bin/sh
echo "\$1" >"$travail/retour.txt"
NOTER
  chmod +x "$travail/noter-retour.sh"
  rm -f "$travail/retour.txt"
  "$navigateur_demo" "$travail/noter-retour.sh" "$travail/jetons.log" "$studio/app/connexion?etat=$etat"
  sed -n 's/.*[?&]jeton=\([A-Za-z0-9_-]*\).*/\1/p' "$travail/retour.txt"
}

# tour_chromium N: one run of Chromium on the fleet page; prints its line of results.
tour_chromium() {
  local n=$1
  local profil="$travail/chromium-$n" t0 pid ligne jeton_parc
  detail="$sortie/processus-chromium-$n.txt"
  jeton_parc=$(jeton)
  [ -n "$jeton_parc" ] || { echo "pas de jeton de connexion" >&2; return 1; }
  local charge_avant
  charge_avant=$(charge)
  t0=$(date +%s%N)
  setsid chromium --app="$studio/app/session?jeton=$jeton_parc" --user-data-dir="$profil" \
    --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking \
    --disable-component-update --disable-sync --no-default-browser-check --password-store=basic \
    --window-size=1440,920 >"$travail/chromium-$n.log" 2>&1 &
  pid=$!
  echo "$pid" >>"$travail/programmes"
  ligne=$("$guetteur" --titre '' --depuis "$t0" --couleur 105,198,144,30 --delai 40) ||
    { echo "Chromium, tour $n : page du parc non dessinée ($ligne)" >&2; tail -n 20 "$travail/chromium-$n.log" >&2; arreter "$pid"; return 1; }
  sleep 5
  echo "Chromium, tour $n, page du parc :" >"$detail"
  local pss
  pss=$(memoire_arbre "$pid" "--user-data-dir=$profil")
  arreter "$pid"
  printf '%-3s %-12s fenêtre %5s ms, parc dessiné %5s ms, %s | charge %s\n' \
    "$n" "Chromium" "$(champ montree "$ligne")" "$(champ dessinee "$ligne")" "$(memoire "$pss")" "$charge_avant"
}

noter "Démarrage et mémoire — $(date '+%Y-%m-%d %H:%M'), $(nproc) cœurs, charge au début : $(charge)"
noter "Ovrel Studio : $application (GSK_RENDERER=${GSK_RENDERER:-par défaut})"
if ((avec_chromium)); then noter "Chromium : $(chromium --version 2>/dev/null | head -n1)"; fi
noter "Temps depuis le lancement du programme ; mémoire : PSS totale des processus, 5 s après l'écran dessiné,"
noter "et sa part propre (mémoire anonyme et partagée entre ses processus, indépendante des autres programmes)."
noter "Ovrel Studio : « Entrée→parc natif » de l'appui sur Entrée (connexion par le navigateur scripté compris) à"
noter "l'écran du parc montré (lu dans le journal) ; « retour→parc natif » du second lancement qui rend la connexion à cet écran ;"
noter "« lancement connecté→parc web » du lancement suivant, connecté, à la page du parc du studio dessinée"
noter "(à comparer au « parc dessiné » de Chromium)."

echo "Échauffement (non compté)…"
tour_ovrel 0 >/dev/null
if ((avec_chromium)); then tour_chromium 0 >/dev/null; fi
for n in $(seq "$tours"); do
  noter "$(tour_ovrel "$n")"
  if ((avec_chromium)); then noter "$(tour_chromium "$n")"; fi
done
noter "Charge à la fin : $(charge)"
echo "Résultats : $resultats ; processus de chaque tour : $sortie/processus-*.txt"
