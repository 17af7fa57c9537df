#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing Ovrel Studio need, and makes sure
# the C library resolves ".local" host names through Avahi (nss-mdns), as the boxes' names are.
# Runs apt-get only when something is missing, so a second run costs nothing.
set -euo pipefail

paquets=(
  cmake ninja-build g++ pkg-config
  libglib2.0-dev libboost-json1.81-dev libsqlite3-dev
  libsoup-3.0-dev glib-networking ca-certificates dbus dbus-daemon
  libgtkmm-4.0-dev libwebkitgtk-6.0-dev
  xvfb xauth xdotool x11-utils imagemagick fonts-dejavu-core fonts-noto-color-emoji sqlite3 python3-pyatspi gettext-base
  desktop-file-utils appstream
  libavahi-client-dev libavahi-glib-dev libgnutls28-dev avahi-daemon avahi-utils libnss-mdns iproute2 procps
  libgtest-dev googletest libbenchmark-dev
  clang libclang-rt-14-dev
)

manquants=()
for p in "${paquets[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || manquants+=("$p")
done

if ((${#manquants[@]})); then
  echo "Installation de: ${manquants[*]}"
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${manquants[@]}" >/dev/null
fi

# The boxes' host names (box-durand.local) resolve through getaddrinfo, GLib and libsoup only when
# the hosts line of nsswitch.conf asks nss-mdns before DNS. The package's set-up adds it; a file
# edited by hand may lack it: it is then added once, before "dns" (at the end without "dns").
nsswitch=/etc/nsswitch.conf
if [ -f "$nsswitch" ] && ! grep -Eq '^hosts:.*[[:space:]]mdns4?_minimal([[:space:]]|$)' "$nsswitch"; then
  if [ "$(id -u)" -eq 0 ]; then
    # Written over in place: the file may be a bind mount (containers), which a rename would fail.
    corrige=$(sed -E '/^hosts:/{s/[[:space:]]dns([[:space:]]|$)/ mdns4_minimal [NOTFOUND=return] dns\1/;t;s/$/ mdns4_minimal [NOTFOUND=return]/}' "$nsswitch")
    printf '%s\n' "$corrige" >"$nsswitch"
    echo "$nsswitch : mdns4_minimal ajouté à la ligne hosts (noms en .local des boxes)"
  else
    echo "Attention : la ligne hosts de $nsswitch n'a pas mdns4_minimal ; les noms en .local des boxes" \
      "ne se résoudront pas. En root : relancez ce script, ou ajoutez « mdns4_minimal [NOTFOUND=return] »" \
      "avant « dns »." >&2
  fi
fi
