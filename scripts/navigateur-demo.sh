#!/usr/bin/env bash
# The browser of the demo tour on a machine without a display (scripts/lancer.sh registers it as
# the default browser of the demo's folders only). It writes down every address it is asked to
# open; on the simulated cloud's sign-in page it chooses the demo installer account, as a person
# would, and hands the cloud's answer (an "ovrelstudio:" link) back to the application.
#
#   navigateur-demo.sh <application> <journal> <address>
set -euo pipefail
application=$1
journal=$2
adresse=$3
echo "$adresse" >>"$journal"

case "$adresse" in
  http://*/studio/app/connexion\?etat=*) ;;
  *) exit 0 ;;
esac

# A plain HTTP/1.1 exchange with the simulator on the loopback (names under ".localhost").
http() {
  local reste=${1#http://}
  local autorite=${reste%%/*} chemin=/${reste#*/}
  timeout 10 bash -c 'exec 3<>"/dev/tcp/127.0.0.1/$1" || exit 1
    printf "GET %s HTTP/1.1\r\nHost: %s\r\nConnection: close\r\n\r\n" "$2" "$3" >&3
    cat <&3' _ "${autorite##*:}" "$chemin" "$autorite"
}

base=${adresse%%/studio/app/connexion*}
page=$(http "$adresse")
lien=$(sed '1,/^\r\{0,1\}$/d' <<<"$page" | grep -o 'data-compte="installateur" href="[^"]*"' |
  sed 's/.*href="\([^"]*\)"/\1/; s/&amp;/\&/g')
[ -n "$lien" ] || exit 1
choix=$(http "$base$lien")
retour=$(tr -d '\r' <<<"$choix" | sed -n 's/^[Ll]ocation: //p' | head -n1)
echo "$retour" | sed 's/jeton=.*/jeton=…/' >>"$journal"
case "$retour" in
  ovrelstudio://*) exec "$application" "$retour" ;;
esac
