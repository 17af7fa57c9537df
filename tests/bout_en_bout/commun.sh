# Helpers of the end-to-end tests, sourced by each test script that harnais.sh runs. They read
# what the harness exports:
#   OVREL_STUDIO_EXE, OVREL_TRAVAIL, OVREL_CAPTURES, OVREL_DOMAINE
#   OVREL_PORT_CLOUD, OVREL_PORT_TLS, OVREL_PORT_HTTPS, OVREL_PORT_CONTROLE, OVREL_CONTROLE,
#   OVREL_BOXES (the announced boxes' ports, all 8000),
#   OVREL_HOTES_BOXES (every bench box: "box-durand.local=192.168.77.11:8000,…"; after a move,
#   adresse_box tells where a box is), OVREL_RESEAU_BOXES (192.168.77.0/24),
#   OVREL_ADRESSES_LIBRES (addresses of that network a box can move to, space-separated)
#   OVREL_STUDIO_URL, OVREL_BASE_CLOUD (the cloud as the application reaches it: HTTPS on 443),
#   OVREL_BASE_CLAIRE (the same studio on the simulator's plain port)
#   OVREL_FENETRE (the window, once it appeared)
#   OVREL_NAVIGATEUR_JOURNAL (the addresses the stand-in browser was given, one a line)
#   DISPLAY, DBUS_SESSION_BUS_ADDRESS, XDG_CONFIG_HOME, XDG_DATA_HOME, XDG_CACHE_HOME
# No curl: HTTP goes through bash's /dev/tcp, to 127.0.0.1 with the address's Host header (the
# cloud's names under a ".localhost" domain do not resolve through the C library), or to the
# address itself when it is an IPv4 address (a box on its private network).
# Bash speaks no TLS: the cloud's https:// addresses are asked of its plain port, which serves
# the same hosts and pages.
# shellcheck shell=bash

REUSSIS=0

# Stops the test with its reason and what the application and the simulator said.
echec() {
  echo "ÉCHEC : $*"
  # What the screen showed then, for the person reading the failure.
  local image
  image=$(OVREL_PAUSE_CAPTURE=0 capturer "echec-$(basename "$0" .sh)" 2>/dev/null) && echo "écran : $image"
  echo "--- journal du simulateur ---"
  journal 2>/dev/null | tail -n 40 || true
  echo "--- sortie de l'application ---"
  tail -n 40 "$OVREL_TRAVAIL/application.log" 2>/dev/null || true
  echo "$REUSSIS passed, 1 failed"
  exit 1
}

# ok DESCRIPTION: a check passed.
ok() {
  REUSSIS=$((REUSSIS + 1))
  echo "ok — $*"
}

# The closing line of a test that reached its end.
fin_du_test() {
  echo "$REUSSIS passed, 0 failed"
  exit 0
}

# --- Windows and pictures ---

# xdotool, bounded in time: a display gone wrong must not stall the test.
xdo() { timeout 10 xdotool "$@"; }

# The visible windows titled exactly "Ovrel Studio", one id a line.
fenetres_ovrel() {
  xdo search --onlyvisible --name '^Ovrel Studio$' 2>/dev/null || true
}

# attendre_fenetre [SECONDS]: prints the first window titled "Ovrel Studio"; fails when none
# appears in time.
attendre_fenetre() {
  local fin=$((SECONDS + ${1:-40})) fenetre
  while ((SECONDS < fin)); do
    fenetre=$(fenetres_ovrel | head -n1)
    [ -n "$fenetre" ] && { echo "$fenetre"; return 0; }
    sleep 0.2
  done
  return 1
}

# capturer NAME: the whole screen, once the drawing has settled, in OVREL_CAPTURES/NAME.png;
# prints the file's path.
capturer() {
  local fichier="$OVREL_CAPTURES/$1.png"
  sleep "${OVREL_PAUSE_CAPTURE:-1.5}"
  mkdir -p "$OVREL_CAPTURES"
  rm -f "$fichier"
  timeout 20 import -window root "$fichier" || return 1
  [ -s "$fichier" ] || return 1
  echo "$fichier"
}

# capturer_quand NAME SECONDS CHECK...: captures the screen again and again until the command
# CHECK, given the picture's path as last argument, succeeds; prints the path of the last
# picture, and fails when the check never succeeded in time.
capturer_quand() {
  local nom=$1 fin=$((SECONDS + $2)) fichier
  shift 2
  while true; do
    fichier=$(OVREL_PAUSE_CAPTURE=0.5 capturer "$nom") || return 1
    "$@" "$fichier" && { echo "$fichier"; return 0; }
    ((SECONDS < fin)) || { echo "$fichier"; return 1; }
  done
}

# pixels_proches IMAGE R G B [FUZZ]: how many pixels of the image are within a few levels of that
# colour (FUZZ, as ImageMagick reads it: 2% unless told).
pixels_proches() {
  convert "$1" -alpha off -fuzz "${5:-2%}" -fill white -opaque "rgb($2,$3,$4)" -fill black +opaque white \
    -format '%[fx:mean] %w %h' info: | awk '{ printf "%d\n", $1 * $2 * $3 + 0.5 }'
}

# --- HTTP over /dev/tcp ---

# http_brut METHOD URL [BODY]: the raw answer (status line, headers, body) of one request to an
# http:// address, sent to 127.0.0.1 (or to the host itself, an IPv4 address) on the address's
# port, with its host as Host header. An
# https:// address on the default port goes to the cloud's plain port (Host: its host and that
# port, so that the addresses the answer names lead back there).
http_brut() {
  local methode=$1 url=$2 corps=${3-}
  local reste=${url#http://} port
  if [ "$reste" = "$url" ]; then
    reste=${url#https://}
    [ "$reste" != "$url" ] || { echo "http_brut : adresse non http : $url" >&2; return 1; }
    local hote=${reste%%/*}
    hote=${hote%:443}
    [[ "$hote" != *:* ]] || { echo "http_brut : pas de TLS vers $url" >&2; return 1; }
    reste="$hote:$OVREL_PORT_CLOUD${reste#"${reste%%/*}"}"
  fi
  local autorite=${reste%%/*} chemin=/${reste#*/}
  [ "$autorite" != "$reste" ] || chemin=/
  port=${autorite##*:}
  [ "$port" != "$autorite" ] || port=80
  local cible=127.0.0.1
  [[ "${autorite%:*}" =~ ^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$ ]] && cible=${autorite%:*}
  timeout 10 bash -c '
    exec 3<>"/dev/tcp/$6/$1" || exit 1
    printf "%s %s HTTP/1.1\r\nHost: %s\r\nConnection: close\r\nContent-Type: application/json\r\nContent-Length: %s\r\n\r\n%s" \
      "$2" "$3" "$4" "${#5}" "$5" >&3
    cat <&3' _ "$port" "$methode" "$chemin" "$autorite" "$corps" "$cible"
}

# statut_http ANSWER: the status code of a raw answer.
statut_http() { sed -n '1s/^HTTP\/1\.[01] \([0-9]*\).*/\1/p' <<<"$1"; }

# entete_http ANSWER NAME: the value of a header (the first one of that name).
entete_http() {
  local nom
  nom=$(tr '[:upper:]' '[:lower:]' <<<"$2")
  sed -n '1,/^\r\{0,1\}$/p' <<<"$1" | tr -d '\r' |
    awk -v nom="$nom" 'BEGIN{FS=": "} tolower($1)==nom {sub(/^[^:]*: /, ""); print; exit}'
}

# corps_http ANSWER: the body of a raw answer.
corps_http() { sed '1,/^\r\{0,1\}$/d' <<<"$1"; }

# controle METHOD PATH [BODY]: the body of the simulator's control endpoint's answer; fails
# on a status other than 2xx.
controle() {
  local reponse statut
  reponse=$(http_brut "$1" "$OVREL_CONTROLE$2" "${3-}") || return 1
  statut=$(statut_http "$reponse")
  [[ "$statut" == 2?? ]] || { echo "contrôle $1 $2 : HTTP $statut" >&2; return 1; }
  corps_http "$reponse"
}

# --- The simulator's journal ---

# journal [FROM]: the requests the simulated cloud and boxes received (numbered from FROM), one
# a line, as "n service method host path[?query] status". Status 0: no answer was sent.
# shellcheck disable=SC2120
journal() {
  local corps
  corps=$(controle GET "/journal?depuis=${1:-1}") || return 1
  # The control endpoint writes compact JSON; one entry per line, then its fields in order, up
  # to the status (the fields after it are read by the helpers below).
  sed -e 's/^{"entrees":\[//' -e 's/\],"suivant":[0-9]*}$//' -e 's/},{/}\n{/g' <<<"$corps" |
    sed -e 's/\("statut":[0-9]*\),.*}$/\1}/' |
    sed -e 's/"service":"\([^"]*\)","box":"\([^"]*\)"/"service":"\1:\2"/' \
        -ne 's/^{"n":\([0-9]*\),"service":"\([^"]*\)","methode":"\([^"]*\)","hote":"\([^"]*\)","chemin":"\([^"]*\)","requete":"\([^"]*\)","statut":\([0-9]*\)}$/\1 \2 \3 \4 \5?\6 \7/p' |
    sed 's/? \([0-9]*\)$/ \1/'
}

# agent_requete N: the User-Agent header of the journal's request number N (empty when none).
agent_requete() {
  controle GET "/journal?depuis=$1" |
    sed -n 's/^{"entrees":\[{"n":'"$1"',"[^{}]*,"agent":"\([^"]*\)"}.*/\1/p'
}

# https_requete N: "true" when the journal's request number N came over TLS, "false" otherwise.
https_requete() {
  controle GET "/journal?depuis=$1" | sed -n 's/^{"entrees":\[{"n":'"$1"',[^{}]*,"https":\([a-z]*\),.*/\1/p'
}

# cookies_requete N: the names of the cookies the journal's request number N carried, one a line
# (the journal never keeps their values).
cookies_requete() {
  controle GET "/journal?depuis=$1" |
    sed -n 's/^{"entrees":\[{"n":'"$1"',[^{}]*,"cookies":\[\([^]]*\)\].*/\1/p' | tr ',' '\n' | tr -d '"' | grep . || true
}

# attendre_requete REGEX [SECONDS [FROM]]: waits until a line of the journal (from request number
# FROM on) matches the extended regular expression; prints the first one that does.
attendre_requete() {
  local fin=$((SECONDS + ${2:-20})) ligne
  while true; do
    ligne=$(journal "${3:-1}" | grep -E -m1 -- "$1" || true)
    [ -n "$ligne" ] && { echo "$ligne"; return 0; }
    ((SECONDS < fin)) || return 1
    sleep 0.2
  done
}

# --- The application ---

application_en_cours() {
  local pid
  pid=$(cat "$OVREL_TRAVAIL/application.pid" 2>/dev/null) || return 1
  [ ! -e "$OVREL_TRAVAIL/application.statut" ] && kill -0 "$pid" 2>/dev/null
}

# arreter_application [SECONDS]: the session ending (SIGTERM), as the desktop does at log-out;
# prints the application's exit status once it has ended, fails when it does not end in time.
arreter_application() {
  local fin=$((SECONDS + ${1:-15}))
  kill -TERM "$(cat "$OVREL_TRAVAIL/application.pid")" 2>/dev/null || true
  while ((SECONDS < fin)); do
    [ -s "$OVREL_TRAVAIL/application.statut" ] && { cat "$OVREL_TRAVAIL/application.statut"; return 0; }
    sleep 0.1
  done
  return 1
}

# lancer_application ARGUMENTS...: another launch of the program with the test's environment,
# as the desktop does for an address of the application's scheme; its exit status.
lancer_application() {
  timeout 30 "$OVREL_STUDIO_EXE" "$@" >>"$OVREL_TRAVAIL/lancements.log" 2>&1
}

# relancer_application: the program started again (as the user does after quitting), with the
# test's environment; waits for its window and exports it as OVREL_FENETRE.
relancer_application() {
  rm -f "$OVREL_TRAVAIL/application.statut"
  bash -c '"$1" >>"$2/application.log" 2>&1 & echo $! >"$2/application.pid"; wait $!; echo $? >"$2/application.statut"' \
    _ "$OVREL_STUDIO_EXE" "$OVREL_TRAVAIL" &
  OVREL_FENETRE=$(attendre_fenetre 60) || return 1
  export OVREL_FENETRE
}

# --- Screens and sign-in ---

# ecran_affiche: the screen the window shows now, as the application's journal names it
# ("connexion", "parc", "box", "atelier", "web").
ecran_affiche() {
  grep -a -o 'OVREL ÉCRAN → [a-z]*' "$OVREL_TRAVAIL/application.log" 2>/dev/null | tail -n1 | sed 's/.*→ //'
}

# attendre_ecran NAME [SECONDS]: waits until the window shows that screen.
attendre_ecran() {
  local fin=$((SECONDS + ${2:-30}))
  until [ "$(ecran_affiche)" = "$1" ]; do
    ((SECONDS < fin)) || return 1
    sleep 0.2
  done
}

# dernier_numero: the number of the journal's last request (0 when empty).
dernier_numero() {
  local n
  n=$(journal | tail -n1 | cut -d' ' -f1)
  echo "${n:-0}"
}

# appuyer_sur_entree: Return on the window (without a window manager the keyboard goes to the
# window under the pointer).
appuyer_sur_entree() {
  xdo mousemove --window "$OVREL_FENETRE" 200 200
  xdo key --clearmodifiers Return
}

# demander_connexion: Return on the sign-in screen until the browser is given a new page; a key
# pressed before the window took the keyboard is lost, so it is pressed again only when no probe
# reached the cloud (a second sign-in would replace the first one). Prints that page.
demander_connexion() {
  local avant depuis fin encore
  avant=$(wc -l <"$OVREL_NAVIGATEUR_JOURNAL")
  depuis=$(($(dernier_numero) + 1))
  appuyer_sur_entree
  fin=$((SECONDS + 25))
  encore=$((SECONDS + 5))
  until (($(wc -l <"$OVREL_NAVIGATEUR_JOURNAL") > avant)) || ((SECONDS >= fin)); do
    sleep 0.2
    if ((SECONDS >= encore)); then
      encore=$((SECONDS + 5))
      journal "$depuis" | grep -q ' /sante ' || appuyer_sur_entree
    fi
  done
  (($(wc -l <"$OVREL_NAVIGATEUR_JOURNAL") == avant + 1)) || return 1
  tail -n1 "$OVREL_NAVIGATEUR_JOURNAL"
}

# se_connecter ACCOUNT: the whole browser sign-in with that demo account, from the sign-in
# screen: the browser's page answers at once for the account (the simulator's scenario), and the
# desktop hands the return address to the running instance.
se_connecter() {
  local page reponse retour
  controle POST /scenario "{\"connexion_auto\": \"$1\"}" >/dev/null || return 1
  page=$(demander_connexion) || { echo "le navigateur n'a pas reçu la page de connexion" >&2; return 1; }
  reponse=$(http_brut GET "$page") || return 1
  [ "$(statut_http "$reponse")" = 302 ] || { echo "page de connexion : HTTP $(statut_http "$reponse")" >&2; return 1; }
  retour=$(entete_http "$reponse" Location)
  [[ "$retour" == ovrelstudio://session\?* ]] || { echo "retour inattendu : $retour" >&2; return 1; }
  lancer_application "$retour"
}

# action_application NAME: activates one of the application's actions as the desktop does,
# over the session bus (menu items without a shortcut).
action_application() {
  timeout 10 gdbus call --session --dest fr.ovrel.Studio --object-path /fr/ovrel/Studio \
    --method org.gtk.Actions.Activate "$1" '[]' '{}' >/dev/null
}

# --- Printing ---

# texte_gtk TEXT: TEXT as the toolkit shows it in the test's language (the same environment as
# the application's); TEXT itself when it has no translation.
texte_gtk() { gettext -d gtk40 "$1" 2>/dev/null || printf '%s' "$1"; }

# fenetre_titree TITLE: the first visible window whose title is exactly TITLE (empty when none).
fenetre_titree() {
  local motif
  # shellcheck disable=SC2016
  motif=$(sed 's/[][\.*^$(){}?+|/]/\\&/g' <<<"$1")
  xdo search --onlyvisible --name "^$motif\$" 2>/dev/null | head -n1 || true
}

# attendre_fenetre_titree TITLE SECONDS: waits for a visible window of exactly that title; prints
# its id, fails when none comes in time.
attendre_fenetre_titree() {
  local fin=$((SECONDS + $2)) fenetre=""
  until [ -n "$fenetre" ]; do
    ((SECONDS < fin)) || return 1
    sleep 0.2
    fenetre=$(fenetre_titree "$1")
  done
  echo "$fenetre"
}

# attendre_fin_fenetre TITLE SECONDS: waits until no visible window has exactly that title.
attendre_fin_fenetre() {
  local fin=$((SECONDS + $2))
  while [ -n "$(fenetre_titree "$1")" ]; do
    ((SECONDS < fin)) || return 1
    sleep 0.2
  done
}

# imprimer_en_pdf FILE [SECONDS]: prints the page the web view shows to the PDF file FILE (an
# absolute path, its folder existing) through the application's own print path, driven as a
# user would with the keyboard: the menu's "imprimerPage" action, then in the toolkit's print
# dialog the file printer, FILE typed in the file dialog its "File" button opens, and Print.
# Waits until FILE holds a whole PDF ("%PDF" at its start, "%%EOF" at its end); fails, saying
# which step did not come, when the whole does not end within SECONDS (60 by default).
# What the application does once the print is done (a label sheet's guard, its journal's
# "OVREL IMPRESSION: faite") is the calling test's to check.
# The harness has no print server: the dialog lists the file printer alone, selected only when
# the session printed before (the application gives each dialog the last print's settings, the
# page's title as file name, in the last print's folder, else the working directory). Without a
# window manager no window takes the keyboard by itself, and the dialog's list moves its
# selection only in a window that has it: each dialog is given it explicitly. The dialog's first
# focus is its "General" tab; Tab leads to the printer list, Home selects its first row, Tab to
# the "File" button; Print is pressed by its mnemonic (Alt+P, Alt+I in French), wherever the
# dialog's focus came back to after the file dialog.
imprimer_en_pdf() {
  local fichier=$1 fin=$((SECONDS + ${2:-60}))
  local titre_dialogue titre_fichier imprimer touche dialogue choix
  [[ "$fichier" == /* ]] || { echo "imprimer_en_pdf : chemin non absolu : $fichier" >&2; return 1; }
  # A file left there would make the file dialog ask before replacing it, and pass for the print.
  rm -f "$fichier"
  # The dialogs' titles and the Print button's mnemonic in the language the toolkit speaks.
  titre_dialogue=$(texte_gtk "Print")
  titre_fichier=$(texte_gtk "Select a filename")
  imprimer=$(texte_gtk "_Print")
  touche=$(sed -n 's/^[^_]*_\(.\).*/\1/p' <<<"$imprimer" | tr '[:upper:]' '[:lower:]')
  [ -n "$touche" ] || { echo "imprimer_en_pdf : pas de raccourci dans « $imprimer »" >&2; return 1; }

  action_application imprimerPage || { echo "imprimer_en_pdf : l'action « imprimerPage » ne répond pas" >&2; return 1; }
  dialogue=$(attendre_fenetre_titree "$titre_dialogue" $((fin - SECONDS))) ||
    { echo "imprimer_en_pdf : pas de dialogue « $titre_dialogue »" >&2; return 1; }
  xdo windowfocus --sync "$dialogue" || return 1
  xdo key --clearmodifiers Tab Home Tab space || return 1
  choix=$(attendre_fenetre_titree "$titre_fichier" $((fin - SECONDS))) ||
    { echo "imprimer_en_pdf : le bouton « Fichier » n'a pas ouvert « $titre_fichier »" >&2; return 1; }
  # The name field has the focus: the whole path, typed there, names the folder too.
  xdo windowfocus --sync "$choix" || return 1
  xdo key --clearmodifiers ctrl+a || return 1
  xdo type --clearmodifiers --delay 20 -- "$fichier" || return 1
  xdo key --clearmodifiers Return || return 1
  attendre_fin_fenetre "$titre_fichier" $((fin - SECONDS)) ||
    { echo "imprimer_en_pdf : « $titre_fichier » ne se ferme pas" >&2; return 1; }
  xdo windowfocus --sync "$dialogue" || return 1
  xdo key --clearmodifiers "alt+$touche" || return 1
  until [ -s "$fichier" ] && [ "$(head -c 4 "$fichier")" = "%PDF" ] && tail -c 32 "$fichier" | grep -a -q '%%EOF'; do
    ((SECONDS < fin)) || { echo "imprimer_en_pdf : pas de PDF complet dans $fichier" >&2; return 1; }
    sleep 0.2
  done
}

# action_application_texte NAME TEXT: the same for an action that takes a text, as a workshop row's
# button activates its gesture with its box's table key.
action_application_texte() {
  local texte=${2//\\/\\\\}
  texte=${texte//\"/\\\"}
  timeout 10 gdbus call --session --dest fr.ovrel.Studio --object-path /fr/ovrel/Studio \
    --method org.gtk.Actions.Activate "$1" "[<\"$texte\">]" '{}' >/dev/null
}

# adresse_box ROLE: where that bench box listens now ("192.168.77.11:8000"), as the simulator's
# control endpoint says.
adresse_box() {
  controle GET /boxes | sed 's/},{/}\n{/g' | grep "\"role\":\"$1\"" | sed -n 's/.*"adresse":"\([^"]*\)".*/\1/p'
}

# jeton_local_stocke: the local token the application keeps in its user defaults (empty when none).
jeton_local_stocke() {
  sqlite3 "$XDG_CONFIG_HOME/ovrel-studio/preferences.sqlite" "SELECT valeur FROM preferences WHERE cle = 'jeton_local';"
}

# attendre_jeton_local [SECONDS]: waits until the application has stored a local token; prints it.
attendre_jeton_local() {
  local fin=$((SECONDS + ${1:-20})) jeton=""
  until [ -n "$jeton" ]; do
    ((SECONDS < fin)) || return 1
    sleep 0.2
    jeton=$(jeton_local_stocke 2>/dev/null) || true
  done
  echo "$jeton"
}

# preferences_ovrel: the keys of the user defaults, one a line.
preferences_ovrel() {
  sqlite3 "$XDG_CONFIG_HOME/ovrel-studio/preferences.sqlite" 'SELECT cle FROM preferences ORDER BY cle;'
}

# cookies_ovrel: how many cookies the shared HTTP jar and the web view's store hold together.
cookies_ovrel() {
  local total=0 n f
  for f in "$XDG_DATA_HOME/ovrel-studio/cookies.sqlite" "$XDG_DATA_HOME/ovrel-studio/cookies-vue-web.sqlite"; do
    [ -e "$f" ] || continue
    n=$(sqlite3 "$f" 'SELECT count(*) FROM moz_cookies;') || return 1
    total=$((total + n))
  done
  echo "$total"
}
