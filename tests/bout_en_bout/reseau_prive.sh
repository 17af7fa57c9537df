# The boxes' private network inside a test's own network namespace, sourced by harnais.sh and by
# the simulator's contract scripts. Its addresses belong to the simulated boxes and to nothing
# else: they are only ever put on interfaces of a namespace the test has just made.
#
# Dummy interfaces are not available on every kernel; a veth pair is, even with both ends in one
# namespace: "ovrel-poste" is the installer's computer (192.168.77.1/24, the side Avahi uses) and
# "ovrel-boxes" holds the boxes' addresses, so that the daemon publishes none of them for its own
# host name. Every address is local to the namespace: traffic to a box goes through loopback.
# shellcheck shell=bash
# shellcheck disable=SC2034 # the variables are read by the scripts that source this file

RESEAU_BOXES=192.168.77.0/24
ADRESSE_POSTE=192.168.77.1
# The simulator gives the bench's boxes .11 to .17, in its order; three more are held for a bench
# that grows. A test can move a box to one of the free addresses.
ADRESSES_BOXES="$(for n in $(seq 11 20); do printf '192.168.77.%s ' "$n"; done)"
ADRESSES_LIBRES="$(for n in $(seq 101 110); do printf '192.168.77.%s ' "$n"; done)"
CONFIGURATION_AVAHI_RESEAU=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/avahi-reseau.conf

# monter_reseau_boxes: the veth pair and its addresses, up, with multicast on the installer's
# side. Refuses to run anywhere but in a fresh network namespace (loopback its only interface).
monter_reseau_boxes() {
  local liens adresse
  liens=$(ip -o link show | wc -l)
  if [ "$liens" -ne 1 ]; then
    echo "réseau des boxes : pas dans un espace de noms réseau neuf ($liens interfaces)" >&2
    return 1
  fi
  ip link set lo up &&
    ip link add ovrel-poste type veth peer name ovrel-boxes &&
    ip link set ovrel-poste multicast on up &&
    ip link set ovrel-boxes up &&
    ip addr add "$ADRESSE_POSTE/24" dev ovrel-poste || return 1
  for adresse in $ADRESSES_BOXES $ADRESSES_LIBRES; do
    ip addr add "$adresse/32" dev ovrel-boxes || return 1
  done
}
