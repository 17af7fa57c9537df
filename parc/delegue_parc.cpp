// The fleet the application holds in memory: fetched from the cloud with the web login, read,
// kept in the cache when good, and brought on screen. The session renewal of boxes behind the
// tunnel finds their sites in it; the fleet screen draws it.
#include "app/constantes.h"
#include "app/delegue.h"
#include "plateforme/adresse.h"
#include "sante/memoire_parc.h"

#include <chrono>

namespace ovrel {

namespace {

constexpr std::chrono::seconds DELAI_PARC{10};

}  // namespace

void Delegue::chargerParc() {
    if (!analyserAdresse(URL_PARC())) return;
    // Dropped, not queued: the answer in flight serves this call too.
    if (chargementParcEnCours_) return;
    chargementParcEnCours_ = true;
    RequeteHttp requete;
    requete.url = URL_PARC();
    requete.entetes = {{"Accept", "application/json"}};
    requete.delai = DELAI_PARC;
    requete.ignorerCache = true;
    ports_.http.envoyer(std::move(requete), vivant_.garder([this](ReponseHttp reponse) {
        chargementParcEnCours_ = false;
        if (reponse.statut == 401 || reponse.statut == 403) {
            // The web login ran out. Only the fleet screen, whose list would go stale
            // unseen, leads back to the sign-in; any other screen keeps the user where they are.
            if (ports_.ecrans.affiche() != Ecran::parc) return;
            montrerConnexion();
            return;
        }
        if (reponse.statut == 200 && reponse.corps && appliquerParc(*reponse.corps, false)) {
            MemoireParc::enregistrer(ports_.preferences, *reponse.corps, ports_.horloge.maintenant());
            return;
        }
        // The list stays as it was, marked as not fresh; the cache keeps the last good one.
        parcHorsLigne_ = true;
    }));
}

bool Delegue::appliquerParc(std::string_view donnees, bool depuisLeCache) {
    auto lecture = lireParc(donnees, !depuisLeCache);
    if (!lecture) return false;
    parc_ = std::move(lecture->ovrels);
    if (!lecture->organisation.empty()) parcOrganisation_ = lecture->organisation;
    if (!lecture->compte.empty()) parcCompte_ = lecture->compte;
    santeParc_ = lecture->sante;
    parcHorsLigne_ = depuisLeCache;
    const auto maintenant = ports_.horloge.maintenant();
    parcRecuLe_ = depuisLeCache ? MemoireParc::date(ports_.preferences).value_or(maintenant) : maintenant;
    return true;
}

void Delegue::montrerParc(bool charger) {
    if (!sortieDeFicheConfirmee()) return;
    oublierLaFiche();
    roleRoute_ = true;
    if (parc_.empty())
        if (const auto cache = MemoireParc::relire(ports_.preferences)) appliquerParc(*cache, true);
    ports_.ecrans.afficher(Ecran::parc);
    if (charger) chargerParc();
}

}  // namespace ovrel
