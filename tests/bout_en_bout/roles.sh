#!/usr/bin/env bash
# Each demo account signs in through the browser and lands where its role leads: an account
# with neither role is refused with the "Accès" alert and the sign-in screen, a designer reaches
# the workshop, an installer (here with both roles) the native fleet screen with a local
# authorization stored. The next launch of a signed-in installer goes straight to the fleet web
# page; a box console reached through the tunnel from it asks for a new token when its own runs
# out, and receives a fresh one that the application read from the studio's refused redirect.
# Signing out leaves no trace of the account in the user defaults or the cookie stores.
set -euo pipefail
# shellcheck source=commun.sh
source "$(dirname "$0")/commun.sh"

domaine_re=${OVREL_DOMAINE//./\\.}
hote_re="studio\\.$domaine_re"
tunnel_re="b-ov24a0001\\.box\\.$domaine_re(:[0-9]+)?"

attendre_ecran connexion 20 || echec "l'écran de connexion n'est pas venu au lancement (écran : $(ecran_affiche))"

# --- Neither role: the refusal ---
se_connecter aucun || echec "connexion du compte « aucun » impossible"
alerte=""
fin=$((SECONDS + 30))
until [ -n "$alerte" ] || ((SECONDS >= fin)); do
  alerte=$(xdo search --onlyvisible --name '^Accès$' 2>/dev/null | head -n1 || true)
  sleep 0.2
done
[ -n "$alerte" ] || echec "pas d'alerte « Accès » pour un compte sans rôle"
xdo mousemove --window "$alerte" 20 20
xdo key --clearmodifiers Return
attendre_ecran connexion 20 || echec "après l'alerte, l'écran de connexion manque (écran : $(ecran_affiche))"
ok "compte sans rôle : alerte « Accès » puis écran de connexion"

# --- A designer: the workshop ---
se_connecter concepteur || echec "connexion du compte « concepteur » impossible"
attendre_ecran atelier 30 || echec "le concepteur n'arrive pas à l'atelier (écran : $(ecran_affiche))"
ok "concepteur : atelier"

action_application deconnexion || echec "l'action « deconnexion » ne répond pas"
attendre_ecran connexion 20 || echec "la déconnexion ne ramène pas l'écran de connexion"
ok "déconnexion par le menu"

# --- Both roles: the native fleet screen and the local authorization ---
depuis=$(($(dernier_numero) + 1))
se_connecter les-deux || echec "connexion du compte « les-deux » impossible"
attendre_ecran parc 30 || echec "l'installateur n'arrive pas au parc (écran : $(ecran_affiche))"
attendre_requete "^[0-9]+ [a-z:0-9-]+ GET $hote_re /studio/jeton-local 200$" 20 >/dev/null ||
  echec "pas de jeton local demandé pour l'installateur"
fin=$((SECONDS + 20))
until preferences_ovrel | grep -qx jeton_local && preferences_ovrel | grep -qx parc_cache; do
  ((SECONDS < fin)) || echec "habilitation ou parc non enregistrés : $(preferences_ovrel | tr '\n' ' ')"
  sleep 0.2
done
journal "$depuis" | grep -E -q " GET $hote_re /studio/api/parc 200$" || echec "le parc n'a pas été chargé"
ok "installateur et concepteur : parc natif, habilitation locale et parc enregistrés"

# --- The next launch: the fleet web page, then a box console through the tunnel ---
statut=$(arreter_application 15) || echec "l'application ne s'arrête pas"
[ "$statut" -eq 0 ] || echec "l'application s'arrête avec le statut $statut"
controle POST /scenario '{"parc_ouvre": "OV24A0001", "duree_jeton_tunnel_s": 2}' >/dev/null ||
  echec "scénario refusé"
depuis=$(($(dernier_numero) + 1))
relancer_application || echec "le second lancement n'a pas de fenêtre"
attendre_ecran web 30 || echec "le lancement d'un installateur connecté ne montre pas le web (écran : $(ecran_affiche))"
journal "$depuis" | grep -E -m1 " GET $hote_re /api/moi 200$" >/dev/null || echec "pas de question sur l'utilisateur au lancement"
attendre_requete "^[0-9]+ [a-z:0-9-]+ GET $hote_re /studio 200$" 30 >/dev/null || echec "la page Mes Ovrels n'a pas été servie"
ok "lancement suivant : page web du parc"

# The page's own token runs out after 2 s: the page posts "expiree", the application asks the
# studio's entry of that box without following its redirect, and hands the token to the page,
# which has the box check it.
verification=$(attendre_requete "^[0-9]+ [a-z:0-9-]+ GET $tunnel_re /studio/session/verifier\\?jeton=[A-Za-z0-9_-]+ 200$" 40) ||
  echec "la console de la box n'a pas reçu de nouveau jeton"
jeton=${verification##*jeton=}
jeton=${jeton%% *}
entrees=$(journal "$depuis" | grep -E -c " GET $hote_re /studio/site/[^ ]+/configurer(\\?[^ ]*)? 302$" || true)
((entrees >= 2)) || echec "l'entrée de la box n'a été demandée que $entrees fois"
if journal "$depuis" | grep -E -q " /studio/session\\?jeton=$jeton "; then
  echec "la redirection portant le nouveau jeton a été suivie"
fi
ok "session de la box renouvelée par le studio, sans suivre la redirection"

# --- Signing out forgets everything ---
((${#jeton} > 0)) && [ "$(cookies_ovrel)" -gt 0 ] || echec "aucun cookie avant la déconnexion"
action_application deconnexion || echec "l'action « deconnexion » ne répond pas"
attendre_ecran connexion 20 || echec "la déconnexion ne ramène pas l'écran de connexion"
cles_re='^(jeton_local|jeton_local_exp|jeton_local_org|parc_cache|parc_cache_le|mode)$'
fin=$((SECONDS + 20))
until ! preferences_ovrel | grep -E -q "$cles_re" && [ "$(cookies_ovrel)" -eq 0 ]; do
  ((SECONDS < fin)) || echec "après la déconnexion : clés $(preferences_ovrel | grep -E "$cles_re" | tr '\n' ' '), $(cookies_ovrel) cookies"
  sleep 0.2
done
ok "déconnexion : ni clé du compte ni cookie"

if journal | awk '$NF >= 500' | grep -q .; then echec "requêtes en erreur serveur"; fi
ok "aucune erreur serveur"
fin_du_test
