#!/usr/bin/env bash
# The application starts against the simulated cloud: its one window is titled "Ovrel Studio"
# and shows the sign-in screen (kept as a picture), the launch opens nothing in the browser,
# nothing it asks of the cloud breaks the cloud, and the end of the session (SIGTERM) quits it
# cleanly.
set -euo pipefail
# shellcheck source=commun.sh
source "$(dirname "$0")/commun.sh"

application_en_cours || echec "l'application ne tourne pas"
[ "$(fenetres_ovrel | wc -l)" -eq 1 ] || echec "il devrait y avoir une seule fenêtre « Ovrel Studio »"
[ "$(xdo getwindowname "$OVREL_FENETRE")" = "Ovrel Studio" ] || echec "titre de fenêtre inattendu"
ok "une fenêtre « Ovrel Studio »"

capture=$(capturer demarrage) || echec "capture d'écran impossible"
# The sign-in screen: the identity's dark background and its gold letters.
fond=$(pixels_proches "$capture" 21 18 16)
dore=$(pixels_proches "$capture" 216 171 106)
((fond > 500000)) || echec "le fond de l'écran de connexion manque ($fond pixels)"
((dore > 200)) || echec "les lettres dorées de l'écran de connexion manquent ($dore pixels)"
ok "écran de connexion capturé : $capture"

# Whatever the launch asks of the cloud (nothing yet, or who the user is), it is answered
# without a server fault; and no page opens in the browser without the user asking for it.
journal >"$OVREL_TRAVAIL/journal.txt" || echec "le journal du simulateur ne répond pas"
if awk '$NF >= 500' "$OVREL_TRAVAIL/journal.txt" | grep -q .; then
  echec "requêtes en erreur serveur : $(awk '$NF >= 500' "$OVREL_TRAVAIL/journal.txt")"
fi
ok "aucune erreur serveur au lancement ($(wc -l <"$OVREL_TRAVAIL/journal.txt") requêtes)"
[ ! -s "$OVREL_NAVIGATEUR_JOURNAL" ] || echec "une page s'est ouverte dans le navigateur : $(cat "$OVREL_NAVIGATEUR_JOURNAL")"
ok "rien d'ouvert dans le navigateur"

statut=$(arreter_application 15) || echec "l'application ne s'arrête pas à la fin de la session"
[ "$statut" -eq 0 ] || echec "l'application s'arrête avec le statut $statut"
[ -z "$(fenetres_ovrel)" ] || echec "la fenêtre reste après l'arrêt"
ok "arrêt propre à la fin de la session"
fin_du_test
