#!/usr/bin/env bash
# Runs one end-to-end test script: the real application against the simulated cloud and boxes,
# in a world of its own that nothing of the machine reaches and that reaches nothing of it:
#   - private network, mount and process namespaces: when the test ends, however it ends (even
#     killed), every process it started ends with it. The network is loopback and the boxes'
#     private network (reseau_prive.sh: a veth pair of this namespace, the installer's computer at
#     192.168.77.1, the boxes at .11 to .17, free addresses for a box that moves);
#   - its own system bus and Avahi daemon, on loopback and the installer's side of that network,
#     IPv4 and IPv6 (a box can be announced over both); the boxes' host names box-<role>.local
#     resolve through the C library (nss-mdns) to their private addresses;
#   - for a cloud domain outside ".localhost" (which GLib and WebKit send to loopback by
#     themselves), its own hosts file sending the cloud's names to loopback;
#   - its own X display (Xvfb) and session bus;
#   - the simulator, serving the cloud over HTTPS on port 443 besides its plain port, with a
#     certificate signed by an authority it made at start that only this mount namespace
#     trusts; the boxes behind its tunnel keep a certificate nothing trusts; its bench boxes each
#     on its private address, port 8000;
#   - the application with empty XDG folders and OVREL_STUDIO_URL set to the simulator's studio
#     over HTTPS, its window found before the test script starts;
#   - a stand-in default browser that only writes down the addresses it is given.
#
#   harnais.sh <test script> <ovrel-studio> <ovrel-simulateur> <cloud domain> <captures folder>
#
# The test script runs with the variables listed in commun.sh, which it sources. Exit status:
# the test script's; 77 (skipped) only when private namespaces cannot be made here.
set -euo pipefail
# shellcheck source=reseau_prive.sh
source "$(dirname "$0")/reseau_prive.sh"

if [ $# -ne 5 ]; then
  echo "usage : $0 <script de test> <ovrel-studio> <ovrel-simulateur> <domaine> <dossier des captures>" >&2
  exit 2
fi
script=$(realpath "$1")
studio=$(realpath "$2")
simulateur=$(realpath "$3")
domaine=$4
captures=$5
sources=$(cd "$(dirname "$0")/../.." && pwd)

if [ -z "${OVREL_ESPACE_PRIVE:-}" ]; then
  if ! unshare --net --mount --pid --fork --propagation private true 2>/dev/null; then
    echo "SKIP : unshare n'est pas permis ici (il faut être root, ou des espaces de noms utilisateur)"
    exit 77
  fi
  manquants=()
  for outil in setpriv pkill dbus-daemon avahi-daemon ip mount Xvfb xdotool import convert setsid timeout; do
    command -v "$outil" >/dev/null || manquants+=("$outil")
  done
  ((${#manquants[@]} == 0)) || { echo "ÉCHEC : outils manquants : ${manquants[*]}"; exit 1; }
  for programme in "$studio" "$simulateur"; do
    [ -x "$programme" ] || { echo "ÉCHEC : programme introuvable : $programme"; exit 1; }
  done
  mkdir -p "$captures"
  # The picture a failure of this test leaves is only ever the last run's.
  rm -f "$captures/echec-$(basename "$script" .sh).png"
  # Inside, the harness is the first process of a new process namespace: when it ends, the
  # kernel ends everything inside. unshare ends it when unshare itself is killed, and unshare
  # is killed when this script is (a CTest time-out kills only the process it started).
  setpriv --pdeathsig KILL unshare --net --mount --pid --fork --kill-child --mount-proc --propagation private \
    env OVREL_ESPACE_PRIVE=1 bash "$0" "$@" &
  pid_unshare=$!
  # unshare ignores SIGTERM and SIGINT: the harness inside is asked to stop, and cleans up.
  transmettre() { pkill -TERM -P "$pid_unshare" 2>/dev/null || true; }
  trap transmettre TERM INT HUP
  statut=0
  wait "$pid_unshare" || statut=$?
  while kill -0 "$pid_unshare" 2>/dev/null; do
    if wait "$pid_unshare"; then statut=0; else statut=$?; fi
  done
  exit "$statut"
fi

# --- Inside the private namespaces ---
debut=$SECONDS
travail=$(mktemp -d /tmp/ovrel-bout-en-bout.XXXXXX)
captures=$(realpath "$captures")
groupes=()  # process groups to stop, in the reverse order of their start
pid_dbus_systeme=""
avahi=""
garder="${OVREL_GARDER_TRAVAIL:-}"

arreter_groupe() {  # PGID: SIGTERM, a moment to end, then SIGKILL
  local pgid=$1
  kill -TERM -- "-$pgid" 2>/dev/null || return 0
  for _ in $(seq 30); do kill -0 -- "-$pgid" 2>/dev/null || return 0; sleep 0.1; done
  kill -KILL -- "-$pgid" 2>/dev/null || true
}

nettoyer() {
  local statut=$?
  set +e
  trap - EXIT INT TERM HUP
  # The application first, as the session would end it (its quit saves its state), while the
  # display and the buses it talks to are still there. After a test that passed, it must end
  # by itself, with status 0, whatever screen the test left it on.
  if [ -s "$travail/application.pid" ] && [ ! -e "$travail/application.statut" ]; then
    kill -TERM "$(cat "$travail/application.pid")" 2>/dev/null
    for _ in $(seq 100); do [ -s "$travail/application.statut" ] && break; sleep 0.1; done
    local fin_application
    fin_application=$(cat "$travail/application.statut" 2>/dev/null)
    if [ "$statut" -eq 0 ] && [ "$fin_application" != 0 ]; then
      echo "ÉCHEC (harnais) : l'application ne s'arrête pas proprement à la fin de la session" \
        "(statut ${fin_application:-aucun après 10 s})"
      statut=1
    fi
  fi
  for ((i = ${#groupes[@]} - 1; i >= 0; i--)); do arreter_groupe "${groupes[i]}"; done
  [ -n "$avahi" ] && avahi-daemon -k 2>/dev/null
  [ -n "$pid_dbus_systeme" ] && kill "$pid_dbus_systeme" 2>/dev/null
  if [ "$statut" -ne 0 ] || [ -n "$garder" ]; then
    echo "--- sortie du simulateur (fin) ---"
    tail -n 30 "$travail/simulateur.log" 2>/dev/null
    echo "--- sortie de l'application ---"
    tail -n 60 "$travail/application.log" 2>/dev/null
  fi
  if [ -n "$garder" ]; then echo "Dossier de travail gardé : $travail"; else rm -rf "$travail"; fi
  echo "durée : $((SECONDS - debut)) s"
  exit "$statut"
}
trap nettoyer EXIT
trap 'exit 130' INT TERM HUP

echec_harnais() {
  echo "ÉCHEC (harnais) : $*"
  exit 1
}

# demarrer NAME COMMAND...: starts COMMAND in a process group of its own, output in NAME.log.
demarrer() {
  local nom=$1
  shift
  setsid "$@" >"$travail/$nom.log" 2>&1 &
  groupes+=("$!")
}

# Network: loopback and the boxes' private network.
monter_reseau_boxes || echec_harnais "le réseau privé des boxes ne se monte pas"

# System bus and Avahi, in fresh runtime folders: a pid file left by the machine's daemons
# would stop ours.
mkdir -p /run/dbus /run/avahi-daemon
mount -t tmpfs tmpfs /run/dbus
mount -t tmpfs tmpfs /run/avahi-daemon
dbus-daemon --system --fork --print-pid >"$travail/dbus-systeme.pid" || echec_harnais "le bus système ne démarre pas"
pid_dbus_systeme=$(cat "$travail/dbus-systeme.pid")
avahi-daemon -f "$CONFIGURATION_AVAHI_RESEAU" --no-drop-root --no-chroot --daemonize 2>"$travail/avahi.log" ||
  echec_harnais "avahi-daemon ne démarre pas : $(cat "$travail/avahi.log")"
avahi=1
for _ in $(seq 50); do avahi-daemon -c 2>/dev/null && break; sleep 0.1; done

# Names of the cloud. Under ".localhost" GLib and WebKit answer loopback themselves; any other
# domain gets a hosts file of this namespace only.
case "$domaine" in
  localhost | *.localhost) ;;
  *)
    {
      echo "127.0.0.1 localhost"
      echo "::1 localhost"
      echo "127.0.0.1 $domaine studio.$domaine www.$domaine auth.$domaine portail.$domaine"
      # The demo fleet's box behind the tunnel.
      echo "127.0.0.1 b-ov24a0001.box.$domaine"
    } >"$travail/hosts"
    mount --bind "$travail/hosts" /etc/hosts
    # GLib looks names up family by family with AI_ADDRCONFIG, which finds no IPv4 answer on a
    # machine whose only IPv4 address is 127.0.0.1: a second loopback address lifts that.
    ip addr add 127.0.1.1/32 dev lo || echec_harnais "adresse de boucle supplémentaire impossible"
    ;;
esac

# The display: software rendering, no GPU here. Its socket folder is this namespace's own, and
# it takes no lock file in the machine's /tmp: another X server could not check the process
# named there (it belongs to this process namespace) and would take it for stale.
# No reset when its last client leaves: the harness's own short-lived clients (xdotool looking
# for the window) would otherwise make it reset, and a program connecting meanwhile is refused.
mkdir -p /tmp/.X11-unix
mount -t tmpfs -o mode=1777 tmpfs /tmp/.X11-unix
fd_affichage="$travail/affichage"
setsid Xvfb -displayfd 3 -nolock -noreset -screen 0 1600x1000x24 -nolisten tcp 3>"$fd_affichage" >"$travail/xvfb.log" 2>&1 &
groupes+=("$!")
for _ in $(seq 100); do [ -s "$fd_affichage" ] && break; sleep 0.1; done
[ -s "$fd_affichage" ] || echec_harnais "Xvfb ne démarre pas : $(cat "$travail/xvfb.log")"
DISPLAY=":$(head -n1 "$fd_affichage")"
export DISPLAY
export GDK_BACKEND=x11 GSK_RENDERER=cairo GTK_A11Y=none NO_AT_BRIDGE=1
unset WAYLAND_DISPLAY XAUTHORITY

# Empty XDG folders, set before the session bus: the services it starts on demand inherit its
# environment. The accessibility bus launcher puts its socket at <runtime dir>/at-spi/bus_<display>;
# without a runtime folder of ours that is ~/.cache/at-spi/bus_0 on the machine's disk, the same
# for every harness (all their displays are :0), and a second one running meanwhile replaced the
# first one's socket with its own, then removed it on ending: the first test's accessibility
# questions then reached another session's bus, or none at all.
export XDG_CONFIG_HOME="$travail/config" XDG_DATA_HOME="$travail/donnees" XDG_CACHE_HOME="$travail/cache"
export XDG_RUNTIME_DIR="$travail/execution"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME/applications" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

# The session bus: the application's single instance is registered there, and a second launch
# finds the first one through it.
dbus-daemon --session --fork --nopidfile --address="unix:path=$travail/bus-session" \
  --print-pid >"$travail/dbus-session.pid" || echec_harnais "le bus de session ne démarre pas"
groupes+=("$(cat "$travail/dbus-session.pid")")
export DBUS_SESSION_BUS_ADDRESS="unix:path=$travail/bus-session"

# The simulated cloud and boxes. The cloud also on 443, the port of the application's fixed
# update address, so that the application reaches it over HTTPS as it reaches the real cloud.
setsid "$simulateur" --port-cloud 0 --port-tls 0 --port-controle 0 --domaine "$domaine" \
  --reseau-boxes "$RESEAU_BOXES" --port-https 443 --fichier-autorite "$travail/autorite.pem" >"$travail/simulateur.log" 2>&1 &
groupes+=("$!")
for _ in $(seq 100); do grep -q '^PRET ' "$travail/simulateur.log" 2>/dev/null && break; sleep 0.1; done
pret=$(grep -m1 '^PRET ' "$travail/simulateur.log") || echec_harnais "le simulateur ne démarre pas : $(cat "$travail/simulateur.log")"
champ() { sed -n "s/.* $1=\([^ ]*\).*/\1/p" <<<"$pret"; }
export OVREL_PORT_CLOUD OVREL_PORT_TLS OVREL_PORT_HTTPS OVREL_PORT_CONTROLE OVREL_BOXES OVREL_STUDIO_URL \
  OVREL_BASE_CLOUD OVREL_BASE_CLAIRE OVREL_CONTROLE OVREL_HOTES_BOXES OVREL_RESEAU_BOXES OVREL_ADRESSES_LIBRES
OVREL_PORT_CLOUD=$(champ cloud)
OVREL_PORT_TLS=$(champ tls)
OVREL_PORT_HTTPS=$(champ https)
OVREL_PORT_CONTROLE=$(champ controle)
OVREL_BOXES=$(champ boxes)
OVREL_HOTES_BOXES=$(champ hotes)
OVREL_RESEAU_BOXES=$RESEAU_BOXES
OVREL_ADRESSES_LIBRES=$ADRESSES_LIBRES
[ -n "$OVREL_HOTES_BOXES" ] || echec_harnais "le simulateur ne dit pas où sont les boxes : $pret"
OVREL_BASE_CLAIRE=$(champ studio)
OVREL_BASE_CLAIRE=${OVREL_BASE_CLAIRE%/studio}
[ "$OVREL_PORT_HTTPS" = 443 ] || echec_harnais "le simulateur ne sert pas le cloud en HTTPS sur 443 : $pret"
OVREL_BASE_CLOUD="https://studio.$domaine"
OVREL_STUDIO_URL="$OVREL_BASE_CLOUD/studio"
OVREL_CONTROLE="http://127.0.0.1:$OVREL_PORT_CONTROLE"

# Trust in the simulator's authority, for this mount namespace only: the machine's CA bundle
# plus that authority, bound over the bundle's path. GnuTLS reads its system trust from that
# file, so GLib's TLS (the application's HTTP client) and WebKit's network process trust the
# cloud's certificate; the machine's own bundle is never touched.
bundle_ac=/etc/ssl/certs/ca-certificates.crt
[ -f "$bundle_ac" ] || echec_harnais "pas de faisceau d'autorités système : $bundle_ac"
[ -s "$travail/autorite.pem" ] || echec_harnais "le simulateur n'a pas écrit son autorité de certification"
cat "$bundle_ac" "$travail/autorite.pem" >"$travail/ca-certificates.crt"
mount --bind "$travail/ca-certificates.crt" "$bundle_ac" || echec_harnais "impossible de faire confiance à l'autorité du simulateur"

# The application's world: the sample project, the stand-in browser.
export OVREL_PROJET="$sources/simulateur/projet-exemple"
export OVREL_NAVIGATEUR_JOURNAL="$travail/navigateur.txt"
: >"$OVREL_NAVIGATEUR_JOURNAL"
cat >"$travail/navigateur.sh" <<NAVIGATEUR
#!/bin/sh
printf '%s\n' "\$1" >> '$OVREL_NAVIGATEUR_JOURNAL'
NAVIGATEUR
chmod 755 "$travail/navigateur.sh"
cat >"$XDG_DATA_HOME/applications/navigateur-essai.desktop" <<ENTREE
[Desktop Entry]
Type=Application
Name=Navigateur d'essai
Exec=$travail/navigateur.sh %u
MimeType=x-scheme-handler/http;x-scheme-handler/https;
ENTREE
cat >"$XDG_CONFIG_HOME/mimeapps.list" <<'DEFAUTS'
[Default Applications]
x-scheme-handler/http=navigateur-essai.desktop
x-scheme-handler/https=navigateur-essai.desktop
DEFAUTS

# The application; a GLib critical is a fault of ours and ends it.
export G_DEBUG=fatal-criticals
export OVREL_STUDIO_EXE="$studio" OVREL_TRAVAIL="$travail" OVREL_CAPTURES="$captures" OVREL_DOMAINE="$domaine"
demarrer application-lanceur bash -c '"$1" >"$2/application.log" 2>&1 & echo $! >"$2/application.pid"; wait $!; echo $? >"$2/application.statut"' \
  _ "$studio" "$travail"
fenetre=""
for _ in $(seq 300); do
  fenetre=$(timeout 10 xdotool search --onlyvisible --name '^Ovrel Studio$' 2>/dev/null | head -n1) || true
  [ -n "$fenetre" ] && break
  [ -e "$travail/application.statut" ] && echec_harnais "l'application s'est arrêtée (statut $(cat "$travail/application.statut"))"
  sleep 0.2
done
[ -n "$fenetre" ] || echec_harnais "aucune fenêtre « Ovrel Studio » après 60 s"
export OVREL_FENETRE="$fenetre"
echo "prêt en $((SECONDS - debut)) s : $OVREL_STUDIO_URL (contrôle $OVREL_CONTROLE), affichage $DISPLAY, fenêtre $fenetre"

# The test, in a process group of its own.
set +e
setsid bash "$script" &
pid_test=$!
groupes+=("$pid_test")
wait "$pid_test"
statut=$?
set -e
exit "$statut"
