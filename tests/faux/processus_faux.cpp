#include "tests/faux/processus_faux.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace ovrel {

void ProcessusFaux::lancer(const std::filesystem::path& executable, const std::vector<std::string>& arguments,
                           const std::filesystem::path& dossier, SurDonnees surDonnees, SurFin surFin,
                           SurEchecLancement surEchecLancement) {
    lancements.push_back({executable, arguments, dossier});
    enfants_.push_back({std::move(surDonnees), std::move(surFin), std::move(surEchecLancement)});
}

ProcessusFaux::Enfant& ProcessusFaux::dernier() {
    if (enfants_.empty()) throw std::logic_error("aucun processus lancé");
    Enfant& enfant = enfants_.back();
    if (enfant.termine) throw std::logic_error("le dernier processus est déjà terminé");
    return enfant;
}

void ProcessusFaux::ecrire(std::string octets) {
    if (octets.empty()) throw std::logic_error("un morceau de sortie n'est jamais vide");
    Enfant& enfant = dernier();
    enfant.aEcrit = true;
    file_.surLaFilePrincipale(vivant_.garder(
        [rappel = enfant.surDonnees, octets = std::move(octets)]() mutable {
            if (rappel) rappel(std::move(octets));
        }));
}

void ProcessusFaux::finir(std::optional<int> statut) {
    Enfant& enfant = dernier();
    enfant.termine = true;
    file_.surLaFilePrincipale(vivant_.garder([rappel = enfant.surFin, statut] {
        if (rappel) rappel(statut);
    }));
}

void ProcessusFaux::echouerLancement(std::string description) {
    Enfant& enfant = dernier();
    if (enfant.aEcrit) throw std::logic_error("un processus qui a écrit a bien été lancé");
    enfant.termine = true;
    file_.surLaFilePrincipale(vivant_.garder(
        [rappel = enfant.surEchec, description = std::move(description)]() mutable {
            if (rappel) rappel(std::move(description));
        }));
}

std::size_t ProcessusFaux::enCours() const {
    return static_cast<std::size_t>(
        std::count_if(enfants_.begin(), enfants_.end(), [](const Enfant& e) { return !e.termine; }));
}

}  // namespace ovrel
