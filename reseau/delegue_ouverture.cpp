// Opening a box from the fleet: on this network when it is seen here, through the cloud's tunnel
// when it is connected to it; and the web studio's home.
#include "app/constantes.h"
#include "app/delegue.h"
#include "plateforme/adresse.h"
#include "reseau/ouverture_box.h"

namespace ovrel {

void Delegue::configurerOvrel(std::size_t indice) {
    if (indice >= parc_.size()) return;
    const OvrelParc ovrel = parc_[indice];
    // A box seen on this network opens there first: it works without internet.
    if (const auto box = boxLocale(ovrel.serie)) {
        ouvrirBoxLAN(box->cle(), true);
        return;
    }
    if (ovrel.enLigne) {
        ouvrirConfigDistante(ovrel);
        return;
    }
    alerte(std::string(TITRE_OVREL_INJOIGNABLE), texteOvrelInjoignable(ovrel.nom));
}

void Delegue::ouvrirConfigDistante(const OvrelParc& ovrel) {
    if (!sortieDeFicheConfirmee()) return;
    const auto adresse = urlConfigDistante(ovrel.id);
    if (!adresse) return;
    retourAction_ = vivant_.garder([this] { montrerMesOvrels(); });
    chercheur_.arreter();
    montrerPageWeb(*adresse);
}

void Delegue::ouvrirStudioWeb() {
    if (!sortieDeFicheConfirmee()) return;
    if (!analyserAdresse(URL_STUDIO())) return;
    chercheur_.arreter();
    roleRoute_ = true;
    retourAction_ = vivant_.garder([this] { montrerParc(true); });
    montrerPageWeb(URL_STUDIO());
}

}  // namespace ovrel
