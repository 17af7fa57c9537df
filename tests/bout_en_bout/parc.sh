#!/usr/bin/env bash
# An installer with 10,000 boxes: after the browser sign-in the native fleet screen shows the
# fleet, its header counting the colours of the generated fleet and its rows drawn (the green
# dots of healthy boxes), and a serial typed in the search field leaves that box's row alone.
set -euo pipefail
# shellcheck source=commun.sh
source "$(dirname "$0")/commun.sh"

attendre_ecran connexion 20 || echec "l'écran de connexion n'est pas venu au lancement"
controle POST /scenario '{"parc_genere": 10000}' >/dev/null || echec "scénario du parc généré refusé"
debut=$SECONDS
se_connecter installateur || echec "connexion de l'installateur impossible"
attendre_ecran parc 60 || echec "l'installateur n'arrive pas au parc (écran : $(ecran_affiche))"
attendre_requete "^[0-9]+ [a-z:0-9-]+ GET [^ ]+ /studio/api/parc 200$" 60 >/dev/null || echec "le parc n'a pas été chargé"
# Green dots of the rows (the header's counters hold a few of them too), and no sign-in button.
lignes_dessinees() { (($(pixels_proches "$1" 105 198 144) > 150 && $(pixels_proches "$1" 21 81 155) < 50)); }
capture=$(capturer_quand parc-10000 30 lignes_dessinees) ||
  echec "les lignes du parc ne sont pas dessinées ($capture : $(pixels_proches "$capture" 105 198 144) pixels verts)"
ok "10 000 Ovrels à l'écran $((SECONDS - debut)) s après l'appui sur Entrée : $capture"

# Ctrl+F, then a serial typed in the search field: one row is left.
avant=$(pixels_proches "$capture" 105 198 144)
xdo mousemove --window "$OVREL_FENETRE" 600 400
xdo key --clearmodifiers ctrl+f
xdo type --delay 40 "ov26g00042"
filtree() { (($(pixels_proches "$1" 105 198 144) < avant / 2)); }
capture=$(capturer_quand parc-10000-recherche 20 filtree) ||
  echec "la recherche n'a pas filtré la liste ($(pixels_proches "$capture" 105 198 144) pixels verts, $avant avant)"
ok "recherche d'un numéro de série : $capture"
fin_du_test
