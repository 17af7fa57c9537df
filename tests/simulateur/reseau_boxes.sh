#!/usr/bin/env bash
# The simulator's boxes on their private network (--reseau-boxes), as the application meets them:
# in a network namespace of its own holding that network (tests/bout_en_bout/reseau_prive.sh),
# with its own D-Bus and Avahi daemons,
#   - every box announced resolves to box-<role>.local on port 8000 at its private address, and
#     the C library resolves those names (nss-mdns); the legacy box has a host record but no
#     service; the PRET line and the control endpoint give the same addresses;
#   - each box answers at its address and nothing answers on loopback's 8000 (the studio opened
#     there with a local token, and the journal keeping it, are checked end to end by
#     tests/bout_en_bout/reseau.sh with the token the application stored);
#   - a box that leaves the network is no longer announced nor reachable, comes back at another
#     address and then under another host name; a box announced over IPv6 too is found twice.
#
#   reseau_boxes.sh <ovrel-simulateur>
#
# Exit status 77 (skipped) only when a private namespace cannot be made here.
set -euo pipefail
ici=$(cd "$(dirname "$0")" && pwd)
simulateur=$1

if [ -z "${OVREL_ESPACE_PRIVE:-}" ]; then
  if ! unshare --net --mount --propagation private true 2>/dev/null; then
    echo "SKIP : unshare n'est pas permis ici (il faut être root, ou des espaces de noms utilisateur)"
    exit 77
  fi
  for outil in dbus-daemon avahi-daemon avahi-browse ip getent; do
    command -v "$outil" >/dev/null || { echo "ÉCHEC : outil manquant : $outil"; exit 1; }
  done
  exec unshare --net --mount --propagation private env OVREL_ESPACE_PRIVE=1 bash "$0" "$@"
fi

# --- Inside the private namespace ---
# shellcheck source=../bout_en_bout/reseau_prive.sh
source "$ici/../bout_en_bout/reseau_prive.sh"
travail=$(mktemp -d)
pid_simulateur=""
pid_dbus=""
reussis=0
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
  tail -n 40 "$travail/simulateur.log" 2>/dev/null || true
  echo "--- avahi-browse ---"
  cat "$travail/services" 2>/dev/null || true
  echo "$reussis passed, 1 failed"
  exit 1
}
ok() {
  reussis=$((reussis + 1))
  echo "ok — $*"
}

monter_reseau_boxes || echec "réseau des boxes impossible à monter"
mkdir -p /run/dbus /run/avahi-daemon
# Fresh runtime folders: a stale pid file of the host's daemons would stop ours.
mount -t tmpfs tmpfs /run/dbus
mount -t tmpfs tmpfs /run/avahi-daemon
dbus-daemon --system --fork --print-pid >"$travail/dbus.pid"
pid_dbus=$(cat "$travail/dbus.pid")
avahi-daemon -f "$CONFIGURATION_AVAHI_RESEAU" --no-drop-root --no-chroot --daemonize
for _ in $(seq 50); do avahi-daemon -c 2>/dev/null && break; sleep 0.1; done
avahi-daemon -c 2>/dev/null || echec "avahi-daemon ne démarre pas"

"$simulateur" --port-cloud 0 --port-tls 0 --port-controle 0 --reseau-boxes "$RESEAU_BOXES" >"$travail/simulateur.log" 2>&1 &
pid_simulateur=$!
for _ in $(seq 100); do grep -q '^PRET ' "$travail/simulateur.log" && break; sleep 0.1; done
pret=$(grep '^PRET ' "$travail/simulateur.log") || echec "pas de ligne PRET"
champ() { sed -n "s/.* $1=\([^ ]*\).*/\1/p" <<<"$pret"; }
controle=$(champ controle)

# http ADDRESS:PORT METHOD PATH [HOST [HEADER [BODY]]]: the raw answer (status 000 when nothing
# answers at that address).
http() {
  local adresse=$1 methode=$2 chemin=$3 hote=${4:-$1} entete=${5:+$5$'\r\n'} corps=${6:-}
  timeout 5 bash -c '
    { exec 3<>"/dev/tcp/${1%:*}/${1##*:}"; } 2>/dev/null || { echo "HTTP/1.1 000"; exit 0; }
    printf "%s %s HTTP/1.1\r\nHost: %s\r\nConnection: close\r\n%sContent-Length: %s\r\n\r\n%s" \
      "$2" "$3" "$4" "$5" "${#6}" "$6" >&3
    cat <&3' _ "$adresse" "$methode" "$chemin" "$hote" "$entete" "$corps"
}
statut() { sed -n '1s/^HTTP\/1\.[01] \([0-9]*\).*/\1/p' <<<"$1"; }
corps() { sed '1,/^\r\{0,1\}$/d' <<<"$1"; }
scenario() { corps "$(http "127.0.0.1:$controle" POST /scenario "" "Content-Type: application/json" "$1")"; }
boxes() { corps "$(http "127.0.0.1:$controle" GET /boxes)"; }

# services: the resolved announcements, one a line: "interface;protocol;host;address;port".
services() {
  avahi-browse -rpt _ovrel-box._tcp 2>/dev/null | tee "$travail/services" |
    awk -F';' '$1 == "=" { print $2 ";" $3 ";" $7 ";" $8 ";" $9 }' | sort -u
}
# attendre_services CHECK: waits (10 s at most) until the resolved announcements pass the check
# (a command given them on its standard input).
attendre_services() {
  local fin=$((SECONDS + 10))
  until services | "$@"; do
    ((SECONDS < fin)) || return 1
    sleep 0.3
  done
}
annonce() { grep -q "^ovrel-poste;IPv4;$1;$2;8000$"; }
absente() { ! grep -q ";$1;"; }

# --- Where the boxes are ---
hotes=$(champ hotes)
attendu=""
n=11
for role in durand pins vierge-1 vierge-2 imprimante muette ancienne; do
  attendu+="${attendu:+,}box-$role.local=192.168.77.$n:8000"
  n=$((n + 1))
done
[ "$hotes" = "$attendu" ] || echec "hotes= de la ligne PRET : $hotes"
[ "$(champ ancien)" = 192.168.77.17:8000 ] || echec "ancien= de la ligne PRET : $(champ ancien)"
grep -q '"role":"durand","genre":"ovrel","service":"Ovrel Maison Durand","annoncee":true,"hote":"192.168.77.11","port":8000,"adresse":"192.168.77.11:8000","nom_hote":"box-durand.local"' <<<"$(boxes)" ||
  echec "GET /boxes ne dit pas où est durand : $(boxes)"
ok "ligne PRET et GET /boxes : chaque box à son adresse, port 8000, sous box-<rôle>.local"

toutes_annoncees() {
  local liste
  liste=$(cat)
  for n in 11 12 13 14 15 16; do
    grep -q "^ovrel-poste;IPv4;box-[a-z0-9-]*\.local;192\.168\.77\.$n;8000$" <<<"$liste" || return 1
  done
  annonce box-durand.local 192.168.77.11 <<<"$liste" && absente box-ancienne.local <<<"$liste"
}
attendre_services toutes_annoncees || echec "les six boxes annoncées ne se résolvent pas à leurs adresses"
grep -q '^=;ovrel-poste;IPv4;Ovrel\\032Maison\\032Durand;' "$travail/services" || echec "le service de Maison Durand manque"
if grep -q '^=;[^;]*;IPv6;' "$travail/services"; then echec "une box est annoncée en IPv6 sans qu'on l'ait demandé"; fi
ok "avahi-browse : box-<rôle>.local:8000 à l'adresse privée de chaque box, pas la box ancienne"

[ "$(getent hosts box-durand.local | awk '{print $1}')" = 192.168.77.11 ] ||
  echec "getent hosts box-durand.local : « $(getent hosts box-durand.local) » (nss-mdns installé, mdns4_minimal dans /etc/nsswitch.conf ?)"
[ "$(getent hosts box-ancienne.local | awk '{print $1}')" = 192.168.77.17 ] || echec "la box ancienne n'a pas de nom d'hôte"
ok "getent hosts résout box-durand.local et box-ancienne.local"

# --- What answers there ---
reponse=$(http 192.168.77.11:8000 GET /api/decouverte)
grep -q '"produit":"ovrel-box","nom":"Maison Durand"' <<<"$reponse" || echec "durand ne répond pas à son adresse : $reponse"
[ "$(statut "$(http 192.168.77.17:8000 GET /ancien/etat)")" = 200 ] || echec "la box ancienne ne répond pas à son adresse"
[ "$(statut "$(http 127.0.0.1:8000 GET /api/decouverte)")" = 000 ] || echec "une box répond sur la boucle locale"
ok "chaque box répond à son adresse, aucune sur 127.0.0.1:8000"

# --- Faults ---
scenario '{"boxes": {"durand": {"absente": true}}}' >/dev/null
partie() { absente box-durand.local; }
attendre_services partie || echec "durand partie reste annoncée"
[ "$(statut "$(http 192.168.77.11:8000 GET /api/decouverte)")" = 000 ] || echec "durand partie répond encore"
# An unknown ".local" name takes the resolver 5 s.
if getent hosts box-durand.local >/dev/null; then echec "le nom de durand partie se résout encore"; fi
ok "une box partie n'est plus annoncée, ni résolue, ni joignable"

libre=${ADRESSES_LIBRES%% *}
scenario "{\"boxes\": {\"durand\": {\"absente\": false, \"adresse\": \"$libre\"}}}" | grep -q "\"scenario\"" ||
  echec "retour de durand à $libre refusé"
revenue() { annonce box-durand.local "$libre"; }
attendre_services revenue || echec "durand n'est pas annoncée à sa nouvelle adresse $libre"
[ "$(getent hosts box-durand.local | awk '{print $1}')" = "$libre" ] || echec "box-durand.local ne mène pas à $libre"
grep -q '"produit":"ovrel-box"' <<<"$(http "$libre:8000" GET /api/decouverte)" || echec "durand ne répond pas à $libre"
scenario '{"boxes": {"durand": {"nom_hote": "box-durand-2.local"}}}' >/dev/null
renommee() { annonce box-durand-2.local "$libre" && absente box-durand.local; }
attendre_services renommee || echec "durand n'est pas annoncée sous box-durand-2.local"
[ "$(getent hosts box-durand-2.local | awk '{print $1}')" = "$libre" ] || echec "box-durand-2.local ne se résout pas"
ok "durand revient à $libre sous le même nom, puis sous un nouveau nom d'hôte"

refus=$(scenario '{"boxes": {"pins": {"adresse": "192.168.77.13"}}}')
grep -q "même adresse" <<<"$refus" || echec "deux boxes à la même adresse : $refus"
refus=$(scenario '{"boxes": {"pins": {"adresse": "192.168.77.200"}}}')
grep -q "n'est pas une adresse de cette machine" <<<"$refus" || echec "une adresse que la machine n'a pas : $refus"
ok "refus d'une adresse prise ou absente de la machine"

scenario '{"boxes": {"pins": {"annonce_ipv6": true}}}' >/dev/null
deux_fois() { grep -q "^ovrel-poste;IPv6;box-pins.local;192.168.77.12;8000$"; }
attendre_services deux_fois || echec "pins n'est pas annoncée en IPv6"
[ "$(grep -c '^=;ovrel-poste;IPv[46];Ovrel\\032G' "$travail/services")" = 2 ] || echec "pins devrait être trouvée deux fois sur ovrel-poste"
ok "pins annoncée en IPv4 et en IPv6, donc trouvée deux fois"

http "127.0.0.1:$controle" POST /reinitialiser >/dev/null
retour() { annonce box-durand.local 192.168.77.11 && absente box-durand-2.local && ! grep -q ';IPv6;'; }
attendre_services retour || echec "la réinitialisation ne remet pas durand à sa place"
ok "la réinitialisation remet chaque box à sa place"
echo "$reussis passed, 0 failed"
