#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing Ovrel Studio need.
# Runs apt-get only when something is missing, so a second run costs nothing.
set -euo pipefail

paquets=(
  cmake ninja-build g++ pkg-config
  libglib2.0-dev libboost-json1.81-dev libsqlite3-dev
  libsoup-3.0-dev glib-networking ca-certificates dbus dbus-daemon
  libgtkmm-4.0-dev libwebkitgtk-6.0-dev
  xvfb xauth xdotool x11-utils imagemagick fonts-dejavu-core sqlite3
  desktop-file-utils appstream
  libavahi-client-dev libavahi-glib-dev libgnutls28-dev avahi-daemon avahi-utils iproute2 procps
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
