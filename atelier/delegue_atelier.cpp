// The designer's workshop: the boxes of this network with their state from the cloud's registry.
#include "app/constantes.h"
#include "app/delegue.h"
#include "plateforme/adresse.h"

#include <chrono>

namespace ovrel {

void Delegue::montrerAtelier() {
    if (!sortieDeFicheConfirmee()) return;
    oublierLaFiche();
    arreterBattementParc();
    chercheur_.definirSurChangement(vivant_.garder([this] { majListeAtelier(); }));
    ports_.ecranAtelier.ecrireEtiquette("");
    ports_.ecrans.afficher(Ecran::atelier);
    // The table starts empty: the waiting label shows until the first box resolves.
    chercheur_.demarrer();
    chargerRegistreAtelier();
}

void Delegue::chargerRegistreAtelier() {
    RequeteHttp requete;
    requete.url = BASE_CLOUD() + "/admin/api/parc";
    if (!analyserAdresse(requete.url)) return;
    requete.entetes = {{"Accept", "application/json"}};
    requete.delai = std::chrono::seconds(8);
    // The registry answers the signed-in console: the view's session goes into the shared jar first.
    sauvegarderCookies(vivant_.garder([this, requete = std::move(requete)]() mutable {
        ports_.http.envoyer(std::move(requete), vivant_.garder([this](ReponseHttp reponse) {
                                std::optional<std::map<std::string, FicheRegistre>> registre;
                                if (!reponse.erreur && reponse.statut == 200 && reponse.corps)
                                    registre = lireParcAtelier(*reponse.corps);
                                // Unread, it is empty: registered boxes then offer nothing, blank
                                // ones can still be built.
                                registreAtelier_ = registre.value_or(std::map<std::string, FicheRegistre>{});
                                majListeAtelier();
                            }));
    }));
}

void Delegue::majListeAtelier() {
    if (!ports_.ecranAtelier.construit()) return;
    ports_.ecranAtelier.afficherListe(lignesAtelier(chercheur_.boxes(), registreAtelier_));
}

}  // namespace ovrel
