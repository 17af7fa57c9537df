// The console's session renewal: a page whose token ran out asks on "ovrelSession", and gets a
// fresh token without any sign-in, or null. A box behind the cloud tunnel gets one from the
// studio (the token rides on the redirect of the box's configuration entry, which is read, not
// followed); any other page gets the local authorization's token.
#include "app/constantes.h"
#include "app/delegue.h"
#include "connexion/habilitation.h"
#include "connexion/session.h"
#include "plateforme/adresse.h"

#include <chrono>

namespace ovrel {

namespace {

constexpr std::chrono::seconds DELAI_TUNNEL{10};

}  // namespace

void Delegue::renouvelerSessionStudio(const std::string& origine) {
    const Instant maintenant = ports_.horloge.maintenant();
    // A page that keeps asking gets one answer per window: a request that finds no token still
    // uses it up.
    if (!demandeSessionAcceptee(derniereDemandeSession_, maintenant)) return;
    derniereDemandeSession_ = maintenant;

    const auto adresse = analyserAdresse(origine);
    const std::string hote = adresse ? minuscules(adresse->hote.value_or("")) : std::string();
    if (const auto serie = serieDeTunnel(hote)) {
        const std::string voulue = serieNormalisee(*serie);
        const OvrelParc* box = nullptr;
        for (const OvrelParc& o : parc_)
            if (serieNormalisee(o.serie) == voulue) {
                box = &o;
                break;
            }
        const auto entree = box ? adresseEntreeTunnel(box->id) : std::nullopt;
        if (!entree) {
            rendreJetonALaPage(std::nullopt);
            return;
        }
        RequeteHttp requete;
        requete.url = *entree;
        requete.delai = DELAI_TUNNEL;
        requete.ignorerCache = true;
        // Following the redirect would spend the token on the application's own request.
        requete.sansRedirection = true;
        ports_.http.envoyer(std::move(requete), vivant_.garder([this](ReponseHttp reponse) {
            const auto jeton = jetonDeRedirection(reponse.entete("Location"));
            // The page has its answer before the user is told anything.
            rendreJetonALaPage(jeton);
            if (!jeton && (reponse.statut == 401 || reponse.statut == 403)) {
                alerte("Session Ovrel expirée", "Reconnectez-vous avec votre compte Ovrel, puis rouvrez cet Ovrel.");
                if (ports_.ecrans.fenetreExiste()) montrerConnexion();
            }
        }));
        return;
    }

    const auto jeton = Habilitation::jeton(ports_.preferences);
    if (jeton && Habilitation::valide(ports_.preferences, ports_.horloge)) {
        rendreJetonALaPage(jeton);
        return;
    }
    rendreJetonALaPage(std::nullopt);
    alerte("Habilitation expirée",
           "Reconnectez-vous une fois avec votre compte Ovrel (internet requis), puis rouvrez cet Ovrel.");
    if (ports_.ecrans.fenetreExiste()) montrerConnexion();
}

void Delegue::rendreJetonALaPage(const std::optional<std::string>& jeton) {
    if (web_ == nullptr) return;
    ports_.systeme.journal(std::string("OVREL SESSION → ") + (jeton ? "jeton rendu à la page" : "aucun jeton"));
    web_->evaluer(scriptRenouvellement(jeton), nullptr);
}

}  // namespace ovrel
