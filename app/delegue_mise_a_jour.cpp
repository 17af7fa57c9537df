// The update check: the published manifest against the application's own version.
#include "app/constantes.h"
#include "app/delegue.h"
#include "app/mise_a_jour.h"
#include "plateforme/adresse.h"

#include <chrono>
#include <string>
#include <utility>

namespace ovrel {

void Delegue::verifierMiseAJour(bool manuel) {
    if (!analyserAdresse(CANAL_MAJ())) return;

    RequeteHttp requete;
    requete.url = CANAL_MAJ();
    requete.delai = std::chrono::seconds(60);
    requete.ignorerCache = true;
    // Whatever the status, a body that reads as a manifest is used.
    ports_.http.envoyer(std::move(requete), vivant_.garder([this, manuel](ReponseHttp reponse) {
        const auto manifeste = reponse.corps ? lireManifeste(*reponse.corps) : std::nullopt;
        if (!manifeste) {
            if (manuel) alerte("Mise à jour", "Canal de mise à jour injoignable.");
            return;
        }
        const std::string version(VERSION_APP);
        if (plusRecente(manifeste->version, version)) {
            const int choix = ports_.dialogues.question(
                "Mise à jour disponible",
                "Ovrel Studio " + manifeste->version + " est disponible (vous avez " + version + ").",
                {"Télécharger", "Plus tard"});
            if (choix == 0 && analyserAdresse(manifeste->url)) ports_.systeme.ouvrirDansLeNavigateur(manifeste->url);
        } else if (manuel) {
            alerte("Mise à jour", "Ovrel Studio est à jour (" + version + ").");
        }
    }));
}

void Delegue::verifierMiseAJourManuelle() { verifierMiseAJour(true); }

}  // namespace ovrel
