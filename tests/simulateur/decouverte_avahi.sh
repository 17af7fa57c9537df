#!/usr/bin/env bash
# The simulator's boxes are found by DNS-SD as the application would find them: in a private
# network namespace (loopback only) with its own D-Bus and Avahi daemons, avahi-browse resolves
# every announced box to its port on 127.0.0.1, never the legacy box, until the sample project's
# attach tool has upgraded it.
#
#   decouverte_avahi.sh <ovrel-simulateur> <sample project folder>
#
# Exit status 77 (skipped) only when a private namespace cannot be made here.
set -euo pipefail
configuration_avahi=$(cd "$(dirname "$0")/../../scripts" && pwd)/avahi-boucle.conf

simulateur=$1
projet=$2

if [ -z "${OVREL_ESPACE_PRIVE:-}" ]; then
  if ! unshare --net --mount --propagation private true 2>/dev/null; then
    echo "SKIP : unshare n'est pas permis ici (il faut être root, ou des espaces de noms utilisateur)"
    exit 77
  fi
  for outil in dbus-daemon avahi-daemon avahi-browse ip; do
    command -v "$outil" >/dev/null || { echo "ÉCHEC : outil manquant : $outil"; exit 1; }
  done
  exec unshare --net --mount --propagation private env OVREL_ESPACE_PRIVE=1 bash "$0" "$@"
fi

# --- Inside the private namespace ---
travail=$(mktemp -d)
pid_simulateur=""
pid_dbus=""
nettoyer() {
  [ -n "$pid_simulateur" ] && kill "$pid_simulateur" 2>/dev/null && wait "$pid_simulateur" 2>/dev/null
  avahi-daemon -k 2>/dev/null || true
  [ -n "$pid_dbus" ] && kill "$pid_dbus" 2>/dev/null
  rm -rf "$travail"
}
trap nettoyer EXIT
echec() {
  echo "ÉCHEC : $1"
  echo "--- sortie du simulateur ---"
  cat "$travail/simulateur.log" 2>/dev/null || true
  echo "--- avahi-browse ---"
  cat "$travail/services" 2>/dev/null || true
  exit 1
}

ip link set lo up
mkdir -p /run/dbus /run/avahi-daemon
# Fresh runtime folders: a stale pid file of the host's daemons would stop ours.
mount -t tmpfs tmpfs /run/dbus
mount -t tmpfs tmpfs /run/avahi-daemon
dbus-daemon --system --fork --print-pid > "$travail/dbus.pid"
pid_dbus=$(cat "$travail/dbus.pid")

avahi-daemon -f "$configuration_avahi" --no-drop-root --no-chroot --daemonize
for _ in $(seq 50); do avahi-daemon -c 2>/dev/null && break; sleep 0.1; done
avahi-daemon -c 2>/dev/null || echec "avahi-daemon ne démarre pas"

"$simulateur" --port-cloud 0 --port-tls 0 --port-controle 0 > "$travail/simulateur.log" 2>&1 &
pid_simulateur=$!
for _ in $(seq 100); do grep -q '^PRET ' "$travail/simulateur.log" && break; sleep 0.1; done
pret=$(grep '^PRET ' "$travail/simulateur.log") || echec "pas de ligne PRET"
ports=$(sed -n 's/.* boxes=\([0-9,]*\).*/\1/p' <<< "$pret" | tr ',' ' ')
ancien=$(sed -n 's/.* ancien=\([^ ]*\).*/\1/p' <<< "$pret")
port_ancien=${ancien##*:}
[ -n "$ports" ] || echec "aucune box dans la ligne PRET"

# parcourir PORTS...: waits until every port is resolved; the resolved services are in $travail/services.
parcourir() {
  local manquants
  for _ in $(seq 40); do
    avahi-browse -rpt _ovrel-box._tcp > "$travail/services" 2>/dev/null || true
    manquants=0
    for p in "$@"; do
      grep -q "^=;[^;]*;IPv4;[^;]*;_ovrel-box._tcp;local;[^;]*;127\.0\.0\.1;$p;" "$travail/services" || manquants=1
    done
    [ "$manquants" = 0 ] && return 0
    sleep 0.25
  done
  return 1
}

# shellcheck disable=SC2086
parcourir $ports || echec "toutes les boxes annoncées ne sont pas trouvées ($ports)"
grep -q 'Ovrel\\032Maison\\032Durand' "$travail/services" || echec "le nom de service de la box Maison Durand manque"
if grep -q ";$port_ancien;" "$travail/services"; then echec "la box ancienne ne devrait pas s'annoncer"; fi
trouvees=$(grep -c '^=;' "$travail/services")
echo "boxes annoncées trouvées : $trouvees (ports $ports)"

# Once upgraded by the attach tool, the legacy box announces itself like the others.
bash "$projet/outils/rattacher-ovrel.sh" "$ancien" --source "$projet" > "$travail/outil.log" 2>&1
grep -q '^RESULTAT: {"ok":true' "$travail/outil.log" || { cat "$travail/outil.log"; echec "l'outil de rattachement échoue"; }
# shellcheck disable=SC2086
parcourir $ports "$port_ancien" || echec "la box ancienne mise à jour n'est pas annoncée"
# The announced address leads to the box itself.
reponse=$(timeout 5 bash -c 'exec 3<>/dev/tcp/127.0.0.1/$1; printf "GET /api/decouverte HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n" >&3; cat <&3' _ "$port_ancien") || true
grep -q '"produit":"ovrel-box"' <<< "$reponse" || echec "la box ancienne ne répond pas à l'adresse annoncée"
echo "box ancienne annoncée après rattachement (port $port_ancien)"
echo "2 passed, 0 failed"
