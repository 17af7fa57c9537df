#!/usr/bin/env bash
# Builds and starts Ovrel Studio.
#
# With OVREL_STUDIO_URL set, the application talks to that cloud. Without it, it runs against the
# local simulated cloud and boxes (simulateur/), built for the ".localhost" cloud domain that
# GLib and WebKit resolve to loopback; the demo keeps its state in build-demo/etat, apart from a
# real installation's.
#
# On a desktop the window opens as usual. Without a display the application runs under a
# virtual display, the script walks through the screens, saves a screenshot of each and prints
# the folder that holds them.
set -euo pipefail
racine=$(cd "$(dirname "$0")/.." && pwd)

if [ "${1:-}" = "--help" ] || [ "${1:-}" = "-h" ]; then
  cat <<AIDE
Usage : scripts/lancer.sh [arguments de l'application]

Construit et démarre Ovrel Studio. Installe d'abord les paquets Debian manquants (apt-get, avec
sudo si besoin) ; la première fois, la construction prend plusieurs minutes.

Sans OVREL_STUDIO_URL, c'est la démonstration : le script démarre le cloud et les boxes simulés
(simulateur/) et y branche l'application. Comptes de la page de connexion simulée :
installateur, concepteur, les-deux, aucun.
  - Avec un affichage (DISPLAY ou WAYLAND_DISPLAY), la fenêtre s'ouvre ; on la quitte en la
    fermant, par Ctrl+Q, ou par Ctrl+C dans ce terminal. Le simulateur s'arrête avec elle.
  - Sans affichage, l'application tourne sous un affichage virtuel : le script se connecte
    comme installateur par un navigateur scripté, prend une capture de chaque écran (jusqu'aux
    Ovrels de ce réseau) et s'arrête.

Variables d'environnement :
  OVREL_STUDIO_URL   adresse du studio d'un vrai cloud : pas de simulateur, construction dans
                     build-app/, réglages de l'utilisateur (~/.config/ovrel-studio)
  OVREL_PROJET       dossier de projet du concepteur (avec OVREL_STUDIO_URL ; la démonstration
                     prend simulateur/projet-exemple)
  OVREL_JOBS         nombre de tâches de construction en parallèle (défaut : 2)
  DISPLAY, WAYLAND_DISPLAY   s'il y en a un, la fenêtre s'ouvre ; sinon, visite sans affichage

Résultats de la démonstration :
  build-demo/captures/              captures d'écran (sans affichage)
  build-demo/etat/config, donnees, cache   réglages, cookies et données de l'application
  build-demo/etat/simulateur.log    journal du simulateur (une ligne par requête reçue)
  build-demo/etat/application.log   sortie de l'application (sans affichage)
  build-demo/etat/navigateur.log    adresses ouvertes dans le navigateur (sans affichage)
Avec un affichage, les messages de l'application s'écrivent dans ce terminal et dans le journal
du système (journalctl -t ovrel-studio).
AIDE
  exit 0
fi
cd "$racine"

scripts/dependances.sh
jobs=${OVREL_JOBS:-2}

if [ -n "${OVREL_STUDIO_URL:-}" ]; then
  cmake -S . -B build-app -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOVREL_TESTS=OFF >/dev/null
  ninja -C build-app -j"$jobs" ovrel-studio
  statut=0
  build-app/app/gtk/ovrel-studio "$@" || statut=$?
  echo "Réglages et données : ${XDG_CONFIG_HOME:-$HOME/.config}/ovrel-studio, ${XDG_DATA_HOME:-$HOME/.local/share}/ovrel-studio"
  echo "Messages de l'application : dans ce terminal, et journalctl -t ovrel-studio"
  exit "$statut"
fi

construction=build-demo
cmake -S . -B "$construction" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOVREL_TESTS=OFF \
  -DOVREL_DOMAINE_CLOUD=ovrel.localhost >/dev/null
ninja -C "$construction" -j"$jobs" ovrel-studio ovrel-simulateur

etat="$racine/$construction/etat"
mkdir -p "$etat"/{config,donnees,cache}
pids=()
# Every helper process is started in a session of its own, so that stopping it also stops
# what it started (the session bus of the application, its accessibility bus…).
nettoyer() {
  for pid in "${pids[@]}"; do kill -- "-$pid" 2>/dev/null || kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap nettoyer EXIT

# Service discovery: use the machine's Avahi daemon, or start a private one (root only) that
# announces on the loopback interface alone, so that nothing of the demo reaches the network.
options_simulateur=()
if ! pgrep -x avahi-daemon >/dev/null 2>&1; then
  if [ "$(id -u)" -eq 0 ]; then
    avahi="$etat/avahi"
    mkdir -p "$avahi" /run/dbus /run/avahi-daemon
    if ! dbus-send --system --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
         org.freedesktop.DBus.GetId >/dev/null 2>&1; then
      # No system bus answers: a socket or pid file left by an earlier run would stop a new one.
      rm -f /run/dbus/system_bus_socket /run/dbus/pid
      dbus-daemon --system --fork --print-pid >"$avahi/dbus.pid"
      pids+=("$(cat "$avahi/dbus.pid")")
    fi
    setsid avahi-daemon -f "$racine/scripts/avahi-boucle.conf" --no-drop-root --no-chroot >"$avahi/journal" 2>&1 &
    pids+=("$!")
    sleep 1
  else
    echo "Pas de démon Avahi : les boxes simulées ne seront pas annoncées." >&2
    options_simulateur+=(--sans-avahi)
  fi
fi

# The simulated cloud and boxes; its first line gives the ports.
sortie_simulateur="$etat/simulateur.log"
setsid "$construction/simulateur/ovrel-simulateur" --port-cloud 0 --port-tls 0 --port-controle 0 \
  "${options_simulateur[@]}" >"$sortie_simulateur" 2>&1 &
pids+=("$!")
for _ in $(seq 100); do grep -q '^PRET ' "$sortie_simulateur" && break; sleep 0.1; done
pret=$(grep -m1 '^PRET ' "$sortie_simulateur") || { echo "Le simulateur n'a pas démarré :" >&2; cat "$sortie_simulateur" >&2; exit 1; }
studio=$(sed -n 's/.* studio=\([^ ]*\).*/\1/p' <<<"$pret")
controle=$(sed -n 's/.* controle=\([0-9]*\).*/\1/p' <<<"$pret")
echo "Simulateur : $studio (contrôle sur 127.0.0.1:$controle, journal dans $sortie_simulateur)"
echo "Comptes de démonstration : installateur, concepteur, les-deux, aucun."

export OVREL_STUDIO_URL="$studio"
export OVREL_PROJET="$racine/simulateur/projet-exemple"
export XDG_CONFIG_HOME="$etat/config" XDG_DATA_HOME="$etat/donnees" XDG_CACHE_HOME="$etat/cache"
application="$racine/$construction/app/gtk/ovrel-studio"

# The browser hands the sign-in back through an "ovrelstudio:" link: register the demo build as
# its handler in the demo's own folders (an installed application does it with its desktop file).
mkdir -p "$XDG_DATA_HOME/applications"
cat >"$XDG_DATA_HOME/applications/fr.ovrel.Studio.desktop" <<DESKTOP
[Desktop Entry]
Type=Application
Name=Ovrel Studio (démonstration)
Exec=env "OVREL_STUDIO_URL=$OVREL_STUDIO_URL" "OVREL_PROJET=$OVREL_PROJET" "XDG_CONFIG_HOME=$XDG_CONFIG_HOME" "XDG_DATA_HOME=$XDG_DATA_HOME" "XDG_CACHE_HOME=$XDG_CACHE_HOME" "$application" %u
MimeType=x-scheme-handler/ovrelstudio;
NoDisplay=true
DESKTOP
printf '[Default Applications]\nx-scheme-handler/ovrelstudio=fr.ovrel.Studio.desktop\n' >"$XDG_CONFIG_HOME/mimeapps.list"

# Where the demo left what it made; said at the end, whether the window was closed or the tour
# ended.
resultats() {
  echo "État de la démonstration : $etat (config, donnees, cache)"
  echo "Journal du simulateur : $sortie_simulateur"
  if [ -n "${captures:-}" ]; then
    echo "Sortie de l'application : $etat/application.log"
    echo "Adresses ouvertes dans le navigateur : $navigation"
    echo "Dossier des captures : $captures"
  else
    echo "Messages de l'application : dans ce terminal, et journalctl -t ovrel-studio"
  fi
}

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  statut=0
  "$application" "$@" || statut=$?
  resultats
  exit "$statut"
fi

# No display: a virtual one, and a tour of the screens with a screenshot of each.
captures="$racine/$construction/captures"
rm -rf "$captures"
mkdir -p "$captures"
fd_affichage=$(mktemp)
setsid Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp 3>"$fd_affichage" >/dev/null 2>&1 &
pids+=("$!")
for _ in $(seq 100); do [ -s "$fd_affichage" ] && break; sleep 0.1; done
# Software rendering: a virtual display has no GPU, and the cairo renderer draws it exactly.
export DISPLAY=":$(head -n1 "$fd_affichage")" GDK_BACKEND=x11 GSK_RENDERER=cairo
rm -f "$fd_affichage"

# The tour's browser: it plays the demo installer account on the simulated sign-in page.
navigation="$etat/navigateur.log"
: >"$navigation"
cat >"$XDG_DATA_HOME/applications/navigateur-demo.desktop" <<DESKTOP
[Desktop Entry]
Type=Application
Name=Navigateur de la démonstration
Exec="$racine/scripts/navigateur-demo.sh" "$application" "$navigation" %u
MimeType=x-scheme-handler/http;x-scheme-handler/https;
NoDisplay=true
DESKTOP
printf 'x-scheme-handler/http=navigateur-demo.desktop\nx-scheme-handler/https=navigateur-demo.desktop\n' \
  >>"$XDG_CONFIG_HOME/mimeapps.list"

setsid dbus-run-session -- "$application" >"$etat/application.log" 2>&1 &
pids+=("$!")
fenetre=""
for _ in $(seq 150); do
  fenetre=$(xdotool search --onlyvisible --name '^Ovrel Studio$' 2>/dev/null | head -n1) && [ -n "$fenetre" ] && break
  sleep 0.2
done
[ -n "$fenetre" ] || { echo "La fenêtre n'est pas apparue :" >&2; cat "$etat/application.log" >&2; exit 1; }

capturer() {  # name, after a short pause for the drawing to settle
  sleep 1.5
  import -window root "$captures/$1.png"
  echo "  $captures/$1.png"
}
echo "Captures :"
capturer 01-connexion
# The sign-in button is the screen's default: Return probes the cloud and opens the sign-in page
# in the browser, which signs in as the demo installer; the installer lands on the native fleet
# screen.
xdotool mousemove --window "$fenetre" 200 200 key --clearmodifiers Return 2>/dev/null || true
for _ in $(seq 50); do grep -q '^ovrelstudio:' "$navigation" && break; sleep 0.2; done
for _ in $(seq 75); do
  [ "$(grep -a -o 'OVREL ÉCRAN → [a-z]*' "$etat/application.log" | tail -n1)" = "OVREL ÉCRAN → parc" ] && break
  sleep 0.2
done
capturer 02-parc
# Mes Ovrels (Ctrl+1): the studio's fleet page.
xdotool mousemove --window "$fenetre" 200 200 key --clearmodifiers ctrl+1 2>/dev/null || true
sleep 2
capturer 03-mes-ovrels-web
# The application menu.
xdotool mousemove --window "$fenetre" 40 10 click 1 2>/dev/null || true
capturer 04-menu-application
xdotool key --clearmodifiers Escape 2>/dev/null || true
# The boxes of this network (Ctrl+B), found by the discovery and asked who they are.
xdotool mousemove --window "$fenetre" 200 200 key --clearmodifiers ctrl+b 2>/dev/null || true
for _ in $(seq 50); do
  [ "$(grep -a -o 'OVREL ÉCRAN → [a-z]*' "$etat/application.log" | tail -n1)" = "OVREL ÉCRAN → box" ] && break
  sleep 0.2
done
capturer 05-ovrels-de-ce-reseau
resultats
