// The fleet the application holds in memory: fetched from the cloud with the web login, read,
// kept in the cache when good, and brought on screen with its heartbeat (a fetch every 30 s and
// the seen labels every second while the fleet screen can be seen). The session renewal of boxes
// behind the tunnel finds their sites in it.
#include "app/constantes.h"
#include "app/delegue.h"
#include "connexion/habilitation.h"
#include "plateforme/adresse.h"
#include "reseau/ouverture_box.h"
#include "sante/memoire_parc.h"

#include <chrono>

namespace ovrel {

namespace {

constexpr std::chrono::seconds DELAI_PARC{10};
constexpr std::chrono::seconds DELAI_ACTION{15};
constexpr std::chrono::seconds PERIODE_PARC{static_cast<int>(PERIODE_PARC_S)};
constexpr std::chrono::seconds PERIODE_VU{1};

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
        majEnteteParc();
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
    majEnteteParc();
    majListeParc();
    return true;
}

void Delegue::appliquerLeCacheSiVide() {
    if (!parc_.empty()) return;
    if (const auto cache = MemoireParc::relire(ports_.preferences)) appliquerParc(*cache, true);
}

void Delegue::montrerParc(bool charger) {
    if (!sortieDeFicheConfirmee()) return;
    oublierLaFiche();
    roleRoute_ = true;
    appliquerLeCacheSiVide();
    // A box appearing on this network or telling who it is changes its row's open button.
    chercheur_.definirSurChangement(vivant_.garder([this] { majListeParcBientot(); }));
    ports_.ecrans.afficher(Ecran::parc);
    majEnteteParc();
    majListeParc();
    chercheur_.demarrer();
    if (charger) chargerParc();
    demarrerBattementParc();
}

void Delegue::demarrerBattementParc() {
    if (!ports_.ecrans.fenetreExiste() || !ports_.ecrans.fenetreVisible()) return;
    if (ports_.ecrans.affiche() != Ecran::parc || minuteurParc_) return;
    minuteurParc_ = ports_.minuteries.repeter(PERIODE_PARC, vivant_.garder([this] { chargerParc(); }));
    minuteurVu_ = ports_.minuteries.repeter(PERIODE_VU, vivant_.garder([this] { rafraichirVu(); }));
    // Never received (the distant past) counts as old.
    const Instant maintenant = ports_.horloge.maintenant();
    if (!parcRecuLe_ || secondesEcoulees(*parcRecuLe_, maintenant) >= static_cast<std::int64_t>(PERIODE_PARC_S))
        chargerParc();
}

void Delegue::arreterBattementParc() {
    minuteurParc_.reset();
    minuteurVu_.reset();
}

void Delegue::windowDidMiniaturize() { arreterBattementParc(); }

void Delegue::windowDidDeminiaturize() { demarrerBattementParc(); }

void Delegue::windowDidChangeOcclusionState(bool visible) {
    if (visible) {
        demarrerBattementParc();
    } else {
        arreterBattementParc();
    }
}

void Delegue::rafraichirVu() {
    const Instant maintenant = ports_.horloge.maintenant();
    const Instant recuLe = parcRecuLe_.value_or(Instant::min());
    if (ports_.ecranParc.construit()) {
        // Only the labels on view: a fleet of thousands of rows costs what a screenful does.
        std::vector<AffichageVu> vus;
        for (std::size_t i : ports_.ecranParc.lignesVisibles())
            if (i < suivisVu_.size()) vus.push_back(afficherVu(suivisVu_[i], maintenant, recuLe));
        ports_.ecranParc.afficherVus(vus);
    }
    if (santeParc_.connue && secondesEcoulees(recuLe, maintenant) > static_cast<std::int64_t>(PARC_PERIME_S))
        oublierLaSante();
}

void Delegue::oublierLaSante() {
    const auto ecoule = secondesEcoulees(parcRecuLe_.value_or(Instant::min()), ports_.horloge.maintenant());
    const std::string resume = "Cloud injoignable — santé non vérifiée depuis " + dureeLisible(ecoule) + ".";
    std::vector<SanteOvrel> santes;
    santes.reserve(parc_.size());
    for (OvrelParc& o : parc_) {
        o.sante = o.sante.oubliee(resume);
        santes.push_back(o.sante);
    }
    santeParc_ = compterLeParc(santes);
    majEnteteParc();
    majListeParc();
}

void Delegue::majEnteteParc() {
    if (!ports_.ecranParc.construit()) return;
    DonneesEntete d;
    d.organisation = parcOrganisation_;
    d.organisationHabilitation = Habilitation::organisation(ports_.preferences);
    d.compte = parcCompte_;
    d.horsLigne = parcHorsLigne_;
    d.cacheLe = MemoireParc::date(ports_.preferences);
    if (Habilitation::valide(ports_.preferences, ports_.horloge))
        d.habilitationJusquA = secondesDepuis1970(Habilitation::expire(ports_.preferences));
    d.sante = santeParc_;
    ports_.ecranParc.afficherEntete(modeleEntete(d));
}

void Delegue::majListeParc() {
    if (!ports_.ecranParc.construit()) return;
    majListeParcPrevue_ = false;
    const auto& boxes = chercheur_.boxes();
    ListeParcModele liste = modeleListe(parc_, depliees_, [&boxes](const std::string& serie) -> std::optional<std::string> {
        if (boxes.empty()) return std::nullopt;
        const auto box = ovrel::boxLocale(boxes, serie);
        if (!box) return std::nullopt;
        return box->hote;
    });
    suivisVu_.clear();
    suivisVu_.reserve(liste.lignes.size());
    for (const auto& ligne : liste.lignes) suivisVu_.push_back(ligne.suivi);
    actionsAffichees_ = liste.actions;
    ports_.ecranParc.afficherListe(std::move(liste));
    if (!parc_.empty()) rafraichirVu();
}

void Delegue::majListeParcBientot() {
    // Each box found and each answer changes the table: at 10,000 rows, one rebuild per turn of
    // the main loop is enough for all of them.
    if (majListeParcPrevue_) return;
    majListeParcPrevue_ = true;
    ports_.minuteries.surLaFilePrincipale(vivant_.garder([this] {
        if (majListeParcPrevue_) majListeParc();
    }));
}

void Delegue::basculerAnomalies(const std::string& id) {
    if (!depliees_.erase(id)) depliees_.insert(id);
    majListeParc();
}

void Delegue::agirAnomalie(std::size_t indice) {
    // A button of a list rebuilt since names nothing any more.
    if (indice >= actionsAffichees_.size()) return;
    const ActionSante action = actionsAffichees_[indice];
    const auto adresse = adresseActionAnomalie(action.href);
    if (!adresse) return;
    if (action.methode == "post") {
        ports_.ecranParc.actionEnCours(indice, true);
        RequeteHttp requete;
        requete.methode = "POST";
        requete.url = *adresse;
        requete.entetes = {{"Content-Type", "application/x-www-form-urlencoded"}};
        requete.corps = std::string();
        requete.delai = DELAI_ACTION;
        ports_.http.envoyer(std::move(requete), vivant_.garder([this, indice, action](ReponseHttp reponse) {
            ports_.ecranParc.actionEnCours(indice, false);
            if (reponse.erreur || reponse.statut < 200 || reponse.statut > 399) {
                alerte("Demande impossible", "Le cloud n'a pas accepté « " + action.libelle +
                                                 " ».\nVérifiez votre connexion, puis réessayez.");
                return;
            }
            chargerParc();
        }));
        return;
    }
    retourAction_ = vivant_.garder([this] { montrerParc(true); });
    chercheur_.arreter();
    montrerPageWeb(*adresse);
}

void Delegue::actionActualiserParc() {
    chercheur_.demarrer();
    chargerParc();
}

}  // namespace ovrel
