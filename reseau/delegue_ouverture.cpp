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
    // A box seen on this network opens there first, once the discovery is part of the object.
    if (ovrel.enLigne) {
        ouvrirConfigDistante(ovrel);
        return;
    }
    alerte("Ovrel injoignable", "« " + ovrel.nom + " » n'est ni sur ce réseau, ni relié au tunnel sécurisé.\n" +
                                    "Vérifiez qu'il est alimenté et connecté, puis actualisez.");
}

void Delegue::ouvrirConfigDistante(const OvrelParc& ovrel) {
    if (!sortieDeFicheConfirmee()) return;
    const auto adresse = urlConfigDistante(ovrel.id);
    if (!adresse) return;
    retourAction_ = vivant_.garder([this] { montrerMesOvrels(); });
    montrerPageWeb(*adresse);
}

void Delegue::ouvrirStudioWeb() {
    if (!sortieDeFicheConfirmee()) return;
    if (!analyserAdresse(URL_STUDIO())) return;
    roleRoute_ = true;
    retourAction_ = vivant_.garder([this] { montrerParc(true); });
    montrerPageWeb(URL_STUDIO());
}

}  // namespace ovrel
