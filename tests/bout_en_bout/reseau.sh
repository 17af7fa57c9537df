#!/usr/bin/env bash
# The application's world holds the boxes' private network as real boxes make it: from inside the
# harness's namespace the C library resolves box-durand.local to durand's private address, Avahi
# finds the announced boxes at their addresses on port 8000 (none on loopback), and after the
# installer's sign-in the local token the application stored opens durand's studio at that
# address, the journal showing that the box received that very token.
set -euo pipefail
# shellcheck source=commun.sh
source "$(dirname "$0")/commun.sh"

attendre_ecran connexion 20 || echec "l'écran de connexion n'est pas venu au lancement (écran : $(ecran_affiche))"

adresse=$(adresse_box durand)
[ "$adresse" = 192.168.77.11:8000 ] || echec "durand devrait être à 192.168.77.11:8000, pas « $adresse »"
[[ ",$OVREL_HOTES_BOXES," == *",box-durand.local=$adresse,"* ]] || echec "OVREL_HOTES_BOXES ne nomme pas durand : $OVREL_HOTES_BOXES"
resolue=$(getent hosts box-durand.local | awk '{print $1}') || true
[ "$resolue" = 192.168.77.11 ] ||
  echec "getent hosts box-durand.local donne « $resolue » (libnss-mdns installé ? mdns4_minimal dans /etc/nsswitch.conf ?)"
ok "box-durand.local se résout en 192.168.77.11 dans l'espace de noms"

fin=$((SECONDS + 15))
until avahi-browse -rpt _ovrel-box._tcp 2>/dev/null >"$OVREL_TRAVAIL/services" &&
  grep -q '^=;ovrel-poste;IPv4;Ovrel\\032Maison\\032Durand;_ovrel-box._tcp;local;box-durand.local;192.168.77.11;8000;' \
    "$OVREL_TRAVAIL/services"; do
  ((SECONDS < fin)) || echec "Avahi ne trouve pas durand à son adresse : $(cat "$OVREL_TRAVAIL/services")"
  sleep 0.3
done
if grep '^=' "$OVREL_TRAVAIL/services" | grep -q ';127\.0\.0\.1;'; then
  echec "une box est annoncée sur la boucle locale : $(grep ';127\.0\.0\.1;' "$OVREL_TRAVAIL/services")"
fi
ok "Avahi trouve $(grep -c '^=;ovrel-poste;IPv4;' "$OVREL_TRAVAIL/services") boxes sur ovrel-poste, durand à 192.168.77.11:8000"

se_connecter installateur || echec "connexion de l'installateur impossible"
attendre_ecran parc 30 || echec "l'installateur n'arrive pas au parc (écran : $(ecran_affiche))"
jeton=$(attendre_jeton_local) || echec "pas d'habilitation locale enregistrée : $(preferences_ovrel | tr '\n' ' ')"
reponse=$(http_brut GET "http://$adresse/studio/session?jeton=$jeton") || echec "durand ne répond pas à $adresse"
[ "$(statut_http "$reponse")" = 200 ] || echec "le studio de durand refuse le jeton enregistré : HTTP $(statut_http "$reponse")"
attendre_requete "^[0-9]+ box:durand GET 192\\.168\\.77\\.11:8000 /studio/session\\?jeton=$jeton 200$" 10 >/dev/null ||
  echec "le journal ne montre pas durand recevant le jeton enregistré"
ok "le jeton local enregistré ouvre le studio de durand à son adresse privée, et le journal le montre"
fin_du_test
