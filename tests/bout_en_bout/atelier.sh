#!/usr/bin/env bash
# The designer's path in the workshop: a blank box of this network is built (the cloud creates its
# identity, the box receives it, its label sheet opens), the sheet is printed to a PDF file and then
# left without a question; a legacy box that does not announce itself is attached with the sample
# project's tool, its output in the log window, and is then built the same way.
set -euo pipefail
# shellcheck source=commun.sh
source "$(dirname "$0")/commun.sh"

attendre_ecran connexion 20 || echec "l'écran de connexion n'est pas venu au lancement (écran : $(ecran_affiche))"
se_connecter concepteur || echec "connexion du concepteur impossible"
attendre_ecran atelier 30 || echec "le concepteur n'arrive pas à l'atelier (écran : $(ecran_affiche))"
attendre_requete "^[0-9]+ cloud GET [^ ]+ /admin/api/parc 200$" 20 >/dev/null ||
  echec "le registre de l'atelier n'est pas lu : $(journal | tail -n5)"
attendre_requete "^[0-9]+ box:vierge-1 GET [^ ]+ /api/decouverte 200$" 30 >/dev/null ||
  echec "vierge-1 n'est pas trouvée sur ce réseau : $(journal | grep 'box:' | tail -n5)"
ok "l'atelier lit le registre et trouve vierge-1 : $(capturer 05-atelier)"

# "Fabriquer" on vierge-1's row: its button activates the build with the box's table key.
depuis=$(($(dernier_numero) + 1))
action_application_texte fabriquerBoxAction "box-vierge-1.local:8000" || echec "action de fabrication refusée"
attendre_requete "^[0-9]+ cloud POST [^ ]+ /admin/api/fabriquer 200$" 20 "$depuis" >/dev/null ||
  echec "le cloud n'a pas créé l'identité : $(journal "$depuis" | tail -n5)"
attendre_requete "^[0-9]+ box:vierge-1 POST box-vierge-1\\.local:8000 /api/atelier/enregistrer 200$" 20 "$depuis" >/dev/null ||
  echec "vierge-1 n'a pas reçu son identité : $(journal "$depuis" | tail -n5)"
fiche=$(attendre_requete "^[0-9]+ cloud GET [^ ]+ /admin/etiquette/[^ ?]+\\?code=[^ ]+ 200$" 30 "$depuis") ||
  echec "la fiche d'étiquette ne s'ouvre pas : $(journal "$depuis" | tail -n5)"
attendre_ecran web 10 || echec "la fiche n'est pas à l'écran (écran : $(ecran_affiche))"
ok "vierge-1 fabriquée, sa fiche d'étiquette ouverte : $(cut -d' ' -f5 <<<"$fiche")"

# Printed, the sheet lets the user go without a question: Retour leads back to the workshop.
imprimer_en_pdf "$OVREL_TRAVAIL/etiquette-vierge-1.pdf" || echec "la fiche ne s'imprime pas en PDF"
fin=$((SECONDS + 20))
until grep -a -q 'OVREL IMPRESSION: faite' "$OVREL_TRAVAIL/application.log"; do
  ((SECONDS < fin)) || echec "l'application ne dit pas l'impression faite"
  sleep 0.2
done
action_application actionRetour || echec "action Retour refusée"
attendre_ecran atelier 15 || echec "Retour après l'impression ne ramène pas à l'atelier (écran : $(ecran_affiche))"
ok "fiche imprimée en PDF ($(stat -c %s "$OVREL_TRAVAIL/etiquette-vierge-1.pdf") octets), puis quittée sans question"

# The legacy box: its address is the one the field shows at start (the last one attached).
adresse=$(adresse_box ancienne)
adresse=${adresse%:8000}
[ -n "$adresse" ] || echec "le simulateur ne dit pas où est l'ancienne box"
arreter_application 30 >/dev/null || echec "l'application ne s'arrête pas"
sqlite3 "$XDG_CONFIG_HOME/ovrel-studio/preferences.sqlite" \
  "INSERT INTO preferences (cle, genre, valeur) VALUES ('adresse_ancien', 'texte', '$adresse')
   ON CONFLICT (cle) DO UPDATE SET genre = excluded.genre, valeur = excluded.valeur;" ||
  echec "préférences impossibles à écrire"
depuis=$(($(dernier_numero) + 1))
relancer_application || echec "le second lancement n'a pas de fenêtre"
# At launch a signed-in designer lands on the fleet page, as an installer does; the menu's
# "Atelier" leads to the workshop.
attendre_requete "^[0-9]+ cloud GET [^ ]+ /studio 200$" 30 "$depuis" >/dev/null ||
  echec "le second lancement n'ouvre pas la page du parc : $(journal "$depuis" | tail -n5)"
depuis=$(($(dernier_numero) + 1))
action_application montrerAtelier || echec "action Atelier refusée"
attendre_requete "^[0-9]+ cloud GET [^ ]+ /admin/api/parc 200$" 30 "$depuis" >/dev/null ||
  echec "le menu Atelier ne ramène pas à l'atelier : $(journal "$depuis" | tail -n5)"
attendre_ecran atelier 10 || echec "l'atelier n'est pas à l'écran (écran : $(ecran_affiche))"

# "Rattacher cet Ovrel", then the confirmation's default button.
depuis=$(($(dernier_numero) + 1))
# The confirmation is modal: the action's call over the bus ends only once it is answered.
action_application rattacherAncienAction &
dialogue=$(attendre_fenetre_titree "Rattacher « $adresse » ?" 20) ||
  echec "pas de demande de confirmation du rattachement"
xdo mousemove --window "$dialogue" 20 20
xdo key --clearmodifiers Return
attendre_requete "^[0-9]+ box:ancienne POST [^ ]+ /ancien/mise-a-jour 200$" 60 "$depuis" >/dev/null ||
  echec "l'outil n'a pas mis l'ancienne box à jour : $(journal "$depuis" | tail -n5)"
[ -n "$(fenetre_titree "Rattachement de $adresse")" ] || echec "la fenêtre de journal du rattachement n'est pas ouverte"
# Its dark ground (RGB 0.07, 0.065, 0.06, a shade off the main window's) covers most of its
# 780 × 460.
image=$(capturer 06-journal-rattachement) || echec "capture impossible"
fond=$(pixels_proches "$image" 18 17 15 0.5%)
((fond > 200000)) || echec "le fond sombre du journal ne couvre que $fond pixels ($image)"
# Escape hides it.
xdo windowfocus --sync "$(fenetre_titree "Rattachement de $adresse")"
xdo key --clearmodifiers Escape
attendre_fin_fenetre "Rattachement de $adresse" 10 || echec "Échap ne ferme pas la fenêtre de journal"
ok "l'outil du projet d'exemple met l'ancienne box à jour, sa sortie dans la fenêtre de journal"

attendre_requete "^[0-9]+ cloud POST [^ ]+ /admin/api/fabriquer 200$" 30 "$depuis" >/dev/null ||
  echec "pas de fabrication après le rattachement : $(journal "$depuis" | tail -n5)"
attendre_requete "^[0-9]+ box:ancienne POST ${adresse//./\\.}:8000 /api/atelier/enregistrer 200$" 20 "$depuis" >/dev/null ||
  echec "l'ancienne box n'a pas reçu son identité sur le port 8000 : $(journal "$depuis" | tail -n5)"
attendre_requete "^[0-9]+ cloud GET [^ ]+ /admin/etiquette/[^ ?]+\\?code=[^ ]+ 200$" 30 "$depuis" >/dev/null ||
  echec "la fiche d'étiquette de l'ancienne box ne s'ouvre pas : $(journal "$depuis" | tail -n5)"
attendre_ecran web 10 || echec "la fiche de l'ancienne box n'est pas à l'écran (écran : $(ecran_affiche))"
ok "l'ancienne box rattachée est fabriquée à son tour, sa fiche d'étiquette ouverte"

# Printed too, so that the session can end without the sheet's question.
imprimer_en_pdf "$OVREL_TRAVAIL/etiquette-ancienne.pdf" || echec "la fiche de l'ancienne box ne s'imprime pas en PDF"
fin=$((SECONDS + 20))
until (($(grep -a -c 'OVREL IMPRESSION: faite' "$OVREL_TRAVAIL/application.log") >= 2)); do
  ((SECONDS < fin)) || echec "l'application ne dit pas la seconde impression faite"
  sleep 0.2
done
ok "fiche de l'ancienne box imprimée en PDF"
fin_du_test
