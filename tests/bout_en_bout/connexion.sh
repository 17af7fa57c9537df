#!/usr/bin/env bash
# The browser sign-in, end to end: Return on the sign-in screen probes the cloud and opens the
# cloud's sign-in page in the default browser; the script then plays the browser (it loads that
# page from the simulator, chooses the demo installer account and follows the cloud back to the
# application's scheme), and the desktop's second launch of the program with that address hands
# it to the running instance, whose web view turns the one-time token into a web login; the
# installer then lands on the native fleet screen. The cloud is reached over HTTPS, as the real
# one: the login cookie is Secure and comes back, and the update check reached the manifest at
# its fixed HTTPS address.
set -euo pipefail
# shellcheck source=commun.sh
source "$(dirname "$0")/commun.sh"

# The studio's host as the application addresses it (no port: HTTPS on 443).
hote=${OVREL_BASE_CLOUD#https://}
hote_re=${hote//./\\.}

attendre_ecran connexion 20 || echec "l'écran de connexion n'est pas venu au lancement"
demander_connexion >/dev/null || echec "le navigateur n'a reçu aucune page (ou plusieurs : $(cat "$OVREL_NAVIGATEUR_JOURNAL"))"
[ "$(wc -l <"$OVREL_NAVIGATEUR_JOURNAL")" -eq 1 ] || echec "le navigateur a reçu plusieurs pages : $(cat "$OVREL_NAVIGATEUR_JOURNAL")"
page=$(head -n1 "$OVREL_NAVIGATEUR_JOURNAL")
debut="$OVREL_BASE_CLOUD/studio/app/connexion?etat="
[[ "$page" == "$debut"* ]] || echec "page de connexion inattendue : $page"
etat=${page#"$debut"}
[[ "$etat" =~ ^[A-Za-z0-9_-]{43}$ ]] || echec "état de connexion mal formé : $etat"
ok "page de connexion ouverte dans le navigateur, état de 43 caractères"

# The cloud was probed before the browser was asked.
sonde=$(attendre_requete "^[0-9]+ cloud GET $hote_re /sante 200$" 0) || echec "pas de sonde GET /sante"
ok "sonde : $sonde"

# The browser: the sign-in page lists the demo accounts; the installer's link leads back to the
# application's scheme.
reponse=$(http_brut GET "$page") || echec "la page de connexion ne répond pas"
[ "$(statut_http "$reponse")" = 200 ] || echec "page de connexion : HTTP $(statut_http "$reponse")"
lien=$(corps_http "$reponse" | grep -o 'data-compte="installateur" href="[^"]*"' | sed 's/.*href="\([^"]*\)"/\1/; s/&amp;/\&/g')
[ -n "$lien" ] || echec "pas de compte « installateur » sur la page de connexion"
reponse=$(http_brut GET "$OVREL_BASE_CLOUD$lien") || echec "le choix du compte ne répond pas"
[ "$(statut_http "$reponse")" = 302 ] || echec "choix du compte : HTTP $(statut_http "$reponse")"
retour=$(entete_http "$reponse" Location)
[[ "$retour" == "ovrelstudio://session?etat=$etat&jeton="* ]] || echec "retour inattendu : $retour"
jeton=${retour##*&jeton=}
[[ "$jeton" =~ ^[A-Za-z0-9_-]{40,128}$ ]] || echec "jeton mal formé : $jeton"
ok "compte installateur choisi, retour vers l'application"

# The desktop hands the address to a second launch of the program, which passes it on to the
# running instance and ends.
lancer_application "$retour" || echec "le second lancement finit avec le statut $?"
application_en_cours || echec "la première instance s'est arrêtée"
[ "$(fenetres_ovrel | wc -l)" -eq 1 ] || echec "il devrait rester une seule fenêtre"
ok "second lancement passé à l'instance en cours"

# The web view asks for the session page with the token (only the application knows it: the
# browser never loads it) and the cloud sets the web login; the studio's fleet page follows.
session=$(attendre_requete "^[0-9]+ cloud GET $hote_re /studio/app/session\\?jeton=$jeton 302$" 30) ||
  echec "la vue web n'a pas demandé la page de session"
n_session=${session%% *}
ok "page de session : $session"
# Only the web view knows the token: the request came from it, with the application's exact
# user agent (the cloud may rely on it).
agent_attendu='Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 (KHTML, like Gecko) Version/17.0 Safari/605.1.15 OvrelStudio/0.6.2'
agent=$(agent_requete "$n_session")
[ "$agent" = "$agent_attendu" ] || echec "agent de la page de session : « $agent »"
ok "agent de la vue web : exact"
studio=$(attendre_requete "^[0-9]+ cloud GET $hote_re /studio 200$" 30) || echec "la page du studio n'a pas été servie"
n_studio=${studio%% *}
((n_studio > n_session)) || echec "la page du studio devait suivre la page de session"
ok "studio connecté : $studio"

# Over HTTPS, on the certificate the namespace trusts: the session page set the login cookie
# (Secure, over TLS) and the studio page came back with it. These requests came from the web
# view (its user agent, above), whose only certificate exception is for the boxes behind the
# tunnel: its network process took the studio's certificate by the system's trust.
[ "$(https_requete "$n_session")" = true ] || echec "la page de session n'est pas venue en HTTPS"
[ "$(https_requete "$n_studio")" = true ] || echec "la page du studio n'est pas venue en HTTPS"
cookies_studio=$(cookies_requete "$n_studio")
grep -qx ovrel_session <<<"$cookies_studio" ||
  echec "le cookie de session n'est pas revenu avec la page du studio (cookies : ${cookies_studio:-aucun})"
ok "en HTTPS, le cookie de session Secure revient avec la page du studio"

# The update check at start reached the manifest at its fixed address, over HTTPS.
domaine_re=${OVREL_DOMAINE//./\\.}
maj=$(attendre_requete "^[0-9]+ cloud GET www\\.$domaine_re /studio/maj/linux-natif\\.json 200$" 20) ||
  echec "la vérification de mise à jour n'a pas atteint le manifeste"
[ "$(https_requete "${maj%% *}")" = true ] || echec "le manifeste n'a pas été demandé en HTTPS"
ok "manifeste de mise à jour demandé en HTTPS : $maj"

# The cloud page finished loading with the role still unknown: the application asked the cloud
# who the user is, and took the installer to the native fleet screen with a fresh local token.
attendre_requete "^[0-9]+ cloud GET $hote_re /api/moi 200$" 20 >/dev/null || echec "pas de question sur l'utilisateur"
attendre_ecran parc 30 || echec "l'installateur n'arrive pas au parc natif (écran : $(ecran_affiche))"
attendre_requete "^[0-9]+ cloud GET $hote_re /studio/jeton-local 200$" 20 >/dev/null || echec "pas de jeton local demandé"
# The sign-in screen's blue button is gone from the window.
sans_bouton() { (($(pixels_proches "$1" 21 81 155) < 50)); }
capture=$(capturer_quand connexion-parc 20 sans_bouton) ||
  echec "le bouton de connexion reste à l'écran ($capture : $(pixels_proches "$capture" 21 81 155) pixels)"
[ "$(xdo getwindowname "$OVREL_FENETRE")" = "Ovrel Studio" ] || echec "titre de fenêtre inattendu"
ok "installateur au parc natif : $capture"

# Nothing on the way failed on the cloud's side.
if journal | awk '$NF >= 500' | grep -q .; then echec "requêtes en erreur serveur"; fi
ok "aucune erreur serveur"
fin_du_test
