#!/usr/bin/env bash
# Attaches a legacy Ovrel (older than 0.75, which does not announce itself): puts its
# configuration aside, installs the version of this project, restarts it, and reports.
#
#   rattacher-ovrel.sh ADRESSE [--source DOSSIER_DU_PROJET]
#
# ADRESSE is the box's address as typed by the designer: an IP address or a .local name,
# optionally followed by ":port" (8000 otherwise). The last line that begins with "RESULTAT:"
# carries the report as a JSON object: ok, erreur, version_apres, enregistree, serie, empreinte,
# battement. Talks to the box over plain HTTP with bash alone (/dev/tcp).
set -u

adresse=${1-}
source_projet=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
shift || true
while (($#)); do
  case $1 in
    --source) source_projet=${2-}; shift 2 || shift ;;
    *) shift ;;
  esac
done

# json_texte TEXTE: TEXTE as a JSON string. The address comes as typed and the box's values as
# it sends them: a quote, a backslash or any control character left raw would make the report
# unreadable, or let it say something else.
json_texte() {
  local s=$1 c i
  s=${s//\\/\\\\}
  s=${s//\"/\\\"}
  s=${s//$'\n'/\\n}
  s=${s//$'\r'/\\r}
  s=${s//$'\t'/\\t}
  for ((i = 1; i < 32; i++)); do
    printf -v c "\\x$(printf %02x "$i")"
    [[ $s == *"$c"* ]] && s=${s//"$c"/$(printf '\\u%04x' "$i")}
  done
  printf '"%s"' "$s"
}

echec() {
  echo "✗ $1"
  echo "RESULTAT: {\"ok\":false,\"erreur\":$(json_texte "$1")}"
  exit 1
}

[ -n "$adresse" ] || echec "Adresse de l'Ovrel manquante."

# host[:port], or [IPv6]:port
if [[ $adresse =~ ^\[([^]]+)\](:([0-9]+))?$ ]]; then
  hote=${BASH_REMATCH[1]}
  port=${BASH_REMATCH[3]:-8000}
elif [[ $adresse =~ ^([^:]+):([0-9]+)$ ]]; then
  hote=${BASH_REMATCH[1]}
  port=${BASH_REMATCH[2]}
else
  hote=$adresse
  port=8000
fi

fichier_version="$source_projet/serveur/VERSION"
[ -r "$fichier_version" ] || echec "Version à installer introuvable ($fichier_version)."
version_cible=$(tr -d ' \t\r\n' < "$fichier_version")
[ -n "$version_cible" ] || echec "Le fichier $fichier_version est vide."

STATUT=0
CORPS=""
# requete METHODE CHEMIN [CORPS]: one HTTP/1.1 exchange with the box; sets STATUT and CORPS.
requete() {
  local reponse
  reponse=$(LC_ALL=C timeout 10 bash -c '
    exec 3<>"/dev/tcp/$1/$2" || exit 7
    printf "%s %s HTTP/1.1\r\nHost: %s:%s\r\nConnection: close\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: %d\r\n\r\n%s" \
      "$3" "$4" "$1" "$2" "${#5}" "$5" >&3
    cat <&3' _ "$hote" "$port" "$1" "$2" "${3-}" 2>/dev/null) || return 1
  local premiere=${reponse%%$'\r'*}
  read -r _ STATUT _ <<< "$premiere"
  [[ $STATUT =~ ^[0-9]+$ ]] || return 1
  CORPS=${reponse#*$'\r\n\r\n'}
  return 0
}

# valeur CLE: the value of "CLE=..." in the last state read.
valeur() { sed -n "s/^$1=//p" <<< "$CORPS" | head -n 1; }
booleen() { [ "$(valeur "$1")" = oui ] && echo true || echo false; }

echo "→ Connexion à l'Ovrel $hote (port $port)…"
requete GET /ancien/etat || echec "L'Ovrel « $adresse » ne répond pas (port $port). Vérifiez l'adresse et que vous êtes sur son réseau."
if [ "$STATUT" != 200 ]; then
  if requete GET /api/decouverte && [ "$STATUT" = 200 ] && grep -q '"produit":"ovrel-box"' <<< "$CORPS"; then
    echec "Cet Ovrel est déjà récent : il s'annonce tout seul. Fabriquez-le depuis la liste de l'atelier."
  fi
  echec "L'appareil à l'adresse « $adresse » n'est pas un Ovrel ancien (HTTP $STATUT)."
fi
version_avant=$(valeur version)
echo "  version actuelle : ${version_avant:-inconnue}"
echo "  version à installer : $version_cible"

if [ "$version_avant" = "$version_cible" ]; then
  echo "→ Déjà à jour : rien à installer."
else
  echo "→ Mise à l'abri de la configuration et des données…"
  requete POST /ancien/sauvegarde "" || echec "L'Ovrel a cessé de répondre pendant la mise à l'abri."
  [ "$STATUT" = 200 ] || echec "La mise à l'abri a échoué (HTTP $STATUT) : rien n'a été modifié."
  echo "  ${CORPS%$'\n'}"
  echo "→ Installation de la version $version_cible…"
  requete POST /ancien/mise-a-jour "version=$version_cible" || echec "L'Ovrel a cessé de répondre pendant l'installation."
  [ "$STATUT" = 200 ] || echec "L'installation a échoué (HTTP $STATUT) : ${CORPS%$'\n'}"
  echo "  ${CORPS%$'\n'}"
  echo "→ Redémarrage du service…"
fi

echo "→ Vérification…"
requete GET /ancien/etat || echec "L'Ovrel ne répond plus après le redémarrage."
[ "$STATUT" = 200 ] || echec "L'Ovrel répond mal après le redémarrage (HTTP $STATUT)."
version_apres=$(valeur version)
serie=$(valeur serie)
empreinte=$(valeur empreinte)
enregistree=$(booleen enregistree)
battement=$(booleen battement)
echo "  version $version_apres, empreinte ${empreinte:-absente}, identité $([ "$enregistree" = true ] && echo posée || echo à créer)"
echo "✓ Rattachement terminé."
echo "RESULTAT: {\"ok\":true,\"version_apres\":$(json_texte "$version_apres"),\"enregistree\":$enregistree,\"serie\":$(json_texte "$serie"),\"empreinte\":$(json_texte "$empreinte"),\"battement\":$battement}"
