// The screen of the boxes of this network and the ways of opening a box there: found by the
// discovery, typed, or from the fleet; and the console, and the fleet page's list of the boxes
// found here.
#include "app/constantes.h"
#include "app/delegue.h"
#include "connexion/habilitation.h"
#include "plateforme/adresse.h"
#include "reseau/ouverture_box.h"
#include "web/adresses.h"

#include <chrono>

namespace ovrel {

namespace {

// The preference that remembers the last address opened locally, with its port.
constexpr std::string_view CLE_BOX = "box";

}  // namespace

void Delegue::montrerBoxLocales() {
    if (!sortieDeFicheConfirmee()) return;
    oublierLaFiche();
    if (!Habilitation::valide(ports_.preferences, ports_.horloge)) {
        alerte(std::string(TITRE_CONNEXION_REQUISE), std::string(TEXTE_CONNEXION_REQUISE));
        montrerConnexion();
        return;
    }
    ports_.ecranBox.ecrireAdresse(ports_.preferences.texte(CLE_BOX).value_or(""));
    majEtiquetteHabilitation();
    arreterBattementParc();
    chercheur_.definirSurChangement(vivant_.garder([this] { majListeBox(); }));
    ports_.ecrans.afficher(Ecran::box);
    // The table starts empty: the waiting label shows until the first box resolves.
    chercheur_.demarrer();
}

void Delegue::majListeBox() {
    if (!ports_.ecranBox.construit()) return;
    const auto& boxes = chercheur_.boxes();
    clesAffichees_ = clesParNom(boxes);
    std::vector<std::string> titres;
    titres.reserve(clesAffichees_.size());
    for (const auto& cle : clesAffichees_) {
        const auto box = boxes.find(cle);
        titres.push_back(box == boxes.end() ? std::string() : titreBoutonBox(box->second));
    }
    ports_.ecranBox.afficherListe(titres);
}

void Delegue::actionActualiser() {
    chercheur_.demarrer();
    if (ports_.ecrans.affiche() == Ecran::atelier) chargerRegistreAtelier();
}

void Delegue::actionOuvrirAdresse() { ouvrirBoxLAN(ports_.ecranBox.adresseSaisie(), false); }

void Delegue::ouvrirBoxDetectee(std::size_t indice) {
    const auto adresse = adresseDuBouton(clesAffichees_, chercheur_.boxes(), static_cast<std::int64_t>(indice));
    if (adresse) ouvrirBoxLAN(*adresse, false);
}

void Delegue::ouvrirBoxLAN(const std::string& saisie, bool retourAuParc) {
    if (!sortieDeFicheConfirmee()) return;
    const auto jeton = Habilitation::jeton(ports_.preferences);
    if (!Habilitation::valide(ports_.preferences, ports_.horloge) || !jeton) {
        alerte(std::string(TITRE_HABILITATION_EXPIREE), std::string(TEXTE_HABILITATION_EXPIREE));
        montrerConnexion();
        return;
    }
    const auto adresse = adresseBoxNettoyee(saisie);
    const auto url = adresse ? urlSessionBox(*adresse, *jeton) : std::nullopt;
    if (!url) {
        montrerBoxLocales();
        return;
    }
    if (retourAuParc) {
        retourAction_ = vivant_.garder([this] { montrerMesOvrels(); });
    } else {
        retourAction_ = vivant_.garder([this] { montrerBoxLocales(); });
    }
    chercheur_.arreter();
    montrerPageWeb(*url);
    ports_.preferences.ecrireTexte(CLE_BOX, *adresse);
}

std::optional<BoxTrouvee> Delegue::boxLocale(std::string_view serie) const { return ovrel::boxLocale(chercheur_.boxes(), serie); }

void Delegue::ouvrirConsole() {
    // The workshop's progress line and a build's alert belong to the workshop screen.
    if (fabricationEnCours_) {
        ports_.dialogues.bip();
        return;
    }
    if (!sortieDeFicheConfirmee()) return;
    const std::string adresse = BASE_CLOUD() + "/admin";
    if (!analyserAdresse(adresse)) return;
    retourAction_ = vivant_.garder([this] { montrerAtelier(); });
    // The discovery keeps running: the workshop lists the boxes of this network.
    montrerPageWeb(adresse);
}

void Delegue::verserLeReseau() {
    if (web_ == nullptr || !estMesOvrels(web_->urlCourante())) return;
    std::vector<BoxTrouvee> boxes;
    boxes.reserve(chercheur_.boxes().size());
    for (const auto& [cle, box] : chercheur_.boxes()) boxes.push_back(box);
    web_->evaluer(appelReseau(boxes), [](std::optional<std::string>, std::optional<ErreurTransport>) {});
}

}  // namespace ovrel
