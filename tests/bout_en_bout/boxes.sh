#!/usr/bin/env bash
# The boxes of this network, as the installer meets them: once signed in, the studio's fleet page
# is handed the boxes the application found here; the screen "OVRELS DE CE RÉSEAU" lists them
# with their names and versions; a button opens its box's studio with the stored local token
# (the box receives it); Retour comes back to the screen; a typed private address opens that box.
# The widgets are read and pressed as assistive technologies do, so the application runs with its
# accessibility on here.
set -euo pipefail
# shellcheck source=commun.sh
source "$(dirname "$0")/commun.sh"
a11y() { timeout 30 /usr/bin/python3 "$(dirname "$0")/accessibilite.py" "$@"; }
# appuyer TEXT: presses the button whose name holds TEXT, asking again for up to a minute (a
# question may go unanswered while the machine is loaded); fails with the last answer.
appuyer() {
  local fin=$((SECONDS + 60))
  until a11y appuyer "$1" 2>"$OVREL_TRAVAIL/appuyer.err"; do
    ((SECONDS < fin)) || { cat "$OVREL_TRAVAIL/appuyer.err"; return 1; }
    sleep 0.5
  done
}
# bouton_present TITLE: a button of exactly that name is on the window (read whole, then searched).
bouton_present() {
  a11y boutons >"$OVREL_TRAVAIL/boutons" 2>"$OVREL_TRAVAIL/boutons.err" && grep -qxF -- "$1" "$OVREL_TRAVAIL/boutons"
}

attendre_ecran connexion 20 || echec "l'écran de connexion n'est pas venu au lancement (écran : $(ecran_affiche))"
se_connecter installateur || echec "connexion de l'installateur impossible"
attendre_ecran parc 30 || echec "l'installateur n'arrive pas au parc (écran : $(ecran_affiche))"
jeton=$(attendre_jeton_local) || echec "pas d'habilitation locale enregistrée"

# A signed-in launch, with the accessibility bus: the fleet page, handed this network's boxes.
[ "$(arreter_application)" = 0 ] || echec "l'application ne s'est pas arrêtée proprement"
# The accessibility bus of this session, started before the application asks for it; its socket
# must be in this session's runtime folder: anywhere shared, another session would take it over.
bus_a11y=$(timeout 30 gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus \
  --method org.a11y.Bus.GetAddress 2>&1) || echec "le bus d'accessibilité ne démarre pas : $bus_a11y"
[[ "$bus_a11y" == *"unix:path=$XDG_RUNTIME_DIR/"* ]] ||
  echec "le bus d'accessibilité n'est pas propre à cette session : $bus_a11y"
unset GTK_A11Y NO_AT_BRIDGE
relancer_application || echec "la fenêtre n'est pas revenue au second lancement"
attendre_ecran web 30 || echec "le lancement connecté ne mène pas à la page du parc (écran : $(ecran_affiche))"
rapport=$(attendre_requete "/studio/demo/rapport\\?page=parc&essai=reseau&resultat=[0-9]+%3A[^ ]*OV24A0001%2COV24A0002" 30) ||
  echec "la page du parc n'a pas reçu durand et pins : $(journal | grep 'essai=reseau' | tail -n2)"
ok "la page Mes Ovrels reçoit les boxes de ce réseau : ${rapport##*resultat=}"

# The screen of this network's boxes (Ctrl+B): their buttons, by name, host and version.
xdo mousemove --window "$OVREL_FENETRE" 600 400
xdo key --clearmodifiers ctrl+b
attendre_ecran box 20 || echec "Ctrl+B ne montre pas les Ovrels de ce réseau (écran : $(ecran_affiche))"
# The list is read again until the application is on the accessibility bus and has found every box.
fin=$((SECONDS + 60))
until a11y boutons >"$OVREL_TRAVAIL/boutons" 2>"$OVREL_TRAVAIL/boutons.err" &&
  grep -qx "🏠  Maison Durand  —  box-durand.local  (v0.82.1)" "$OVREL_TRAVAIL/boutons" &&
  grep -qx "🏠  Gîte des Pins  —  box-pins.local  (v0.82.1)" "$OVREL_TRAVAIL/boutons" &&
  grep -qx "🏠  box-vierge-1.local  —  box-vierge-1.local  (v0.80.0)" "$OVREL_TRAVAIL/boutons"; do
  ((SECONDS < fin)) ||
    echec "les boxes n'apparaissent pas à l'écran : $(tr '\n' '|' <"$OVREL_TRAVAIL/boutons") $(cat "$OVREL_TRAVAIL/boutons.err")"
  sleep 0.5
done
# A device that is no box, and one that never answers, keep their host names.
grep -qx "🏠  box-imprimante.local  —  box-imprimante.local" "$OVREL_TRAVAIL/boutons" ||
  echec "l'imprimante devrait garder son nom d'hôte : $(tr '\n' '|' <"$OVREL_TRAVAIL/boutons")"
capture=$(capturer boxes-reseau)
ok "$(grep -c '^🏠' "$OVREL_TRAVAIL/boutons") boxes à l'écran avec leurs noms et versions : $capture"

# A button opens its box's studio with the stored local token (the signed-in launch fetched a
# fresh one).
jeton=$(jeton_local_stocke)
appuyer "Maison Durand" || echec "le bouton de durand ne s'appuie pas"
attendre_ecran web 20 || echec "durand ne s'ouvre pas (écran : $(ecran_affiche))"
attendre_requete "^[0-9]+ box:durand GET [^ ]+ /studio/session\\?jeton=$jeton 200$" 20 >/dev/null ||
  echec "durand n'a pas reçu le jeton local : $(journal | grep 'box:durand' | tail -n3)"
ok "le bouton de durand ouvre son studio avec le jeton local"
# The box's page says its session ran out: the application hands it the local token, which the
# page has the box check.
# Its first control is that button: a click on the page's blank part, Tab, then Return, again
# until the page has shown (keys sent while it loads are lost).
fin=$((SECONDS + 30))
until journal | grep -Eq "^[0-9]+ box:durand GET [^ ]+ /studio/session/verifier\\?jeton=$jeton 200$"; do
  ((SECONDS < fin)) || echec "la page de durand n'a pas reçu le jeton local : $(journal | grep 'box:durand' | tail -n3)"
  xdo mousemove --window "$OVREL_FENETRE" 900 700
  xdo click 1
  xdo key --clearmodifiers Tab
  xdo key --clearmodifiers Return
  attendre_requete "^[0-9]+ box:durand GET [^ ]+ /studio/session/verifier" 3 >/dev/null || true
done
ok "la page de durand demande une session neuve et reçoit le jeton local de l'application"
# Retour: back to the screen, searching again.
appuyer "Retour" || echec "pas de bouton Retour"
attendre_ecran box 20 || echec "Retour ne ramène pas aux Ovrels de ce réseau (écran : $(ecran_affiche))"
ok "Retour ramène aux Ovrels de ce réseau"

# A private address typed in the field, then Return: that box, on its port 8000.
adresse=$(adresse_box pins)
fin=$((SECONDS + 60))
until champ=$(a11y centre "Adresse de la box" 2>"$OVREL_TRAVAIL/champ.err"); do
  ((SECONDS < fin)) || echec "pas de champ d'adresse : $(cat "$OVREL_TRAVAIL/champ.err")"
  sleep 0.5
done
xdo mousemove --sync ${champ% *} ${champ#* }
xdo click 1
xdo key --clearmodifiers ctrl+a
xdo type --delay 30 "${adresse%:8000}"
xdo key --clearmodifiers Return
attendre_requete "^[0-9]+ box:pins GET ${adresse//./\\.} /studio/session\\?jeton=$jeton 200$" 20 >/dev/null ||
  echec "l'adresse tapée n'ouvre pas pins : $(journal | grep 'box:pins' | tail -n3)"
attendre_ecran web 10 || echec "l'adresse tapée ne montre pas la page de la box (écran : $(ecran_affiche))"
retenue=$(sqlite3 "$XDG_CONFIG_HOME/ovrel-studio/preferences.sqlite" "SELECT valeur FROM preferences WHERE cle = 'box';")
[ "$retenue" = "$adresse" ] || echec "l'adresse ouverte n'est pas retenue : « $retenue »"
ok "l'adresse ${adresse%:8000} tapée ouvre pins sur son port 8000, et reste retenue"

# pins leaves this network while the screen is searching, and comes back at another address: it
# stays listed under its name, and its button reaches it there. (Whether the application hears
# it leave depends on how soon it comes back: the daemon merges a short absence into nothing.)
appuyer "Retour" || echec "pas de bouton Retour"
attendre_ecran box 20 || echec "Retour ne ramène pas aux Ovrels de ce réseau (écran : $(ecran_affiche))"
fin=$((SECONDS + 60))
until bouton_present "🏠  Gîte des Pins  —  box-pins.local  (v0.82.1)"; do
  ((SECONDS < fin)) || echec "pins n'est pas retrouvé au retour sur l'écran : $(tr '\n' '|' <"$OVREL_TRAVAIL/boutons") $(cat "$OVREL_TRAVAIL/boutons.err")"
  sleep 0.5
done
libre=${OVREL_ADRESSES_LIBRES%% *}
controle POST /scenario '{"boxes": {"pins": {"absente": true}}}' >/dev/null || echec "pins ne peut pas s'absenter"
fin=$((SECONDS + 20))
while avahi-browse -pt _ovrel-box._tcp 2>/dev/null | grep -q 'des\\032Pins'; do
  ((SECONDS < fin)) || echec "Avahi voit encore pins après son départ"
  sleep 0.3
done
depuis=$(($(dernier_numero) + 1))
controle POST /scenario "{\"boxes\": {\"pins\": {\"absente\": false, \"adresse\": \"$libre\"}}}" >/dev/null ||
  echec "pins ne revient pas à $libre"
[ "$(adresse_box pins)" = "$libre:8000" ] || echec "pins n'est pas à $libre : $(adresse_box pins)"
# For about a second after a box announces its new address, the network's caches may still give
# the old one; the user comes back to it later than that.
fin=$((SECONDS + 20))
until [ "$(getent hosts box-pins.local | awk '{print $1}')" = "$libre" ]; do
  ((SECONDS < fin)) || echec "box-pins.local ne se résout pas en $libre"
  sleep 0.2
done
fin=$((SECONDS + 60))
until bouton_present "🏠  Gîte des Pins  —  box-pins.local  (v0.82.1)"; do
  ((SECONDS < fin)) || echec "pins n'est plus à l'écran après son changement d'adresse : $(tr '\n' '|' <"$OVREL_TRAVAIL/boutons") $(cat "$OVREL_TRAVAIL/boutons.err")"
  sleep 0.5
done
appuyer "Gîte des Pins" || echec "le bouton de pins ne s'appuie pas"
attendre_requete "^[0-9]+ box:pins GET box-pins\.local:8000 /studio/session\?jeton=$jeton 200$" 30 "$depuis" >/dev/null ||
  echec "le bouton de pins ne l'atteint pas à sa nouvelle adresse : $(journal "$depuis" | grep 'box:pins' | tail -n3)"
ok "pins, parti puis revenu à $libre pendant la recherche, reste à l'écran et s'ouvre là"
fin_du_test
