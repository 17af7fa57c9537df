#!/usr/bin/env bash
# Runs a program in a world of its own for DNS-SD, that nothing of the machine reaches and that
# reaches nothing of it:
#   - private network, mount and process namespaces: when the program ends, however it ends,
#     every process it started ends with it;
#   - loopback, and a veth pair whose end ovrel0 has 10.77.0.1/24 and fd77::1/64 (its peer ovrel1
#     only gives it a carrier), so that every service is announced on several interfaces and
#     over both protocols;
#   - its own system bus, and an Avahi daemon configuration for lo and ovrel0 over IPv4 and IPv6
#     whose path is in OVREL_AVAHI_CONF.
# The program starts and stops the daemon itself, unless --demon is given: then the daemon runs
# before the program starts, its host name is in OVREL_AVAHI_HOTE, and when the machine's name
# service cannot resolve that name (no nss-mdns), a hosts file of the namespace sends it to
# 127.0.0.1.
#
#   espace-avahi.sh [--demon] <program> [arguments…]
#
# Exit status: the program's; 77 (skipped) only when private namespaces cannot be made here.
set -euo pipefail

demon=0
if [ "${1:-}" = "--demon" ]; then
  demon=1
  shift
fi
if [ $# -lt 1 ]; then
  echo "usage : $0 [--demon] <programme> [arguments…]" >&2
  exit 2
fi

if [ -z "${OVREL_ESPACE_AVAHI:-}" ]; then
  if ! unshare --net --mount --pid --fork --propagation private true 2>/dev/null; then
    echo "SKIP : unshare n'est pas permis ici (il faut être root, ou des espaces de noms utilisateur)"
    exit 77
  fi
  for outil in dbus-daemon avahi-daemon avahi-publish avahi-browse ip mount; do
    command -v "$outil" >/dev/null || { echo "ÉCHEC : outil manquant : $outil"; exit 1; }
  done
  # The program is the child of the namespace's first process: the kernel ends everything
  # inside when that one ends, and unshare ends it when killed itself (a CTest time-out).
  option=()
  ((demon)) && option=(--demon)
  exec unshare --net --mount --pid --fork --kill-child --mount-proc --propagation private \
    env OVREL_ESPACE_AVAHI=1 bash "$0" "${option[@]}" "$@"
fi

# --- Inside the private namespaces ---
travail=$(mktemp -d /tmp/ovrel-espace-avahi.XXXXXX)
pid_dbus=""
pid_avahi=""
nettoyer() {
  [ -n "$pid_avahi" ] && kill "$pid_avahi" 2>/dev/null
  [ -n "$pid_dbus" ] && kill "$pid_dbus" 2>/dev/null
  rm -rf "$travail"
}
trap nettoyer EXIT

ip link set lo up
ip link add ovrel0 type veth peer name ovrel1
ip addr add 10.77.0.1/24 dev ovrel0
# No duplicate address detection: the address is usable at once, and nobody else is on the link.
ip addr add fd77::1/64 dev ovrel0 nodad
ip link set ovrel0 up
ip link set ovrel1 up

# Fresh runtime folders: a pid file of the machine's daemons would stop ours.
mkdir -p /run/dbus /run/avahi-daemon
mount -t tmpfs tmpfs /run/dbus
mount -t tmpfs tmpfs /run/avahi-daemon
dbus-daemon --system --fork --print-pid >"$travail/dbus.pid"
pid_dbus=$(cat "$travail/dbus.pid")

export OVREL_AVAHI_CONF="$travail/avahi.conf"
cat >"$OVREL_AVAHI_CONF" <<'CONF'
[server]
use-ipv4=yes
use-ipv6=yes
allow-interfaces=lo,ovrel0
[wide-area]
enable-wide-area=no
[publish]
publish-hinfo=no
publish-workstation=no
CONF

if ((demon)); then
  avahi-daemon -f "$OVREL_AVAHI_CONF" --no-drop-root --no-chroot >"$travail/avahi.log" 2>&1 &
  pid_avahi=$!
  for _ in $(seq 200); do
    grep -q 'Server startup complete' "$travail/avahi.log" && break
    kill -0 "$pid_avahi" 2>/dev/null || break
    sleep 0.05
  done
  hote=$(sed -n 's/.*Host name is \(.*\)\. Local service cookie.*/\1/p' "$travail/avahi.log")
  [ -n "$hote" ] || { echo "ÉCHEC : avahi-daemon ne démarre pas"; cat "$travail/avahi.log"; exit 1; }
  export OVREL_AVAHI_HOTE="$hote"
  if ! getent hosts "$hote" >/dev/null; then
    { cat /etc/hosts; echo "127.0.0.1 $hote"; } >"$travail/hosts"
    mount --bind "$travail/hosts" /etc/hosts
    echo "(le service de noms ne résout pas $hote : fichier hosts de l'espace, $hote → 127.0.0.1)"
  fi
fi

set +e
"$@"
statut=$?
set -e
exit "$statut"
