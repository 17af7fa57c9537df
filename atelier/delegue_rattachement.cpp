// Attaching a legacy box: the designer's project folder, the attach tool run with its output live
// in the log window, and its report read at the end, possibly followed by an ordinary build.
#include "app/delegue.h"
#include "atelier/rattachement.h"
#include "plateforme/decodeur_utf8.h"
#include "reseau/saisie.h"

#include <memory>

namespace ovrel {

namespace fs = std::filesystem;

std::optional<fs::path> Delegue::racineChantier() const {
    std::optional<fs::path> choisi;
    if (auto stocke = ports_.preferences.texte(CLE_RACINE_CHANTIER); stocke && !stocke->empty()) choisi = *stocke;
    return ovrel::racineChantier({configuration_.ressources, configuration_.projet, choisi});
}

std::optional<fs::path> Delegue::demanderRacineChantier() {
    const auto dossier =
        ports_.dialogues.dossier(std::string(TITRE_CHOIX_PROJET), std::string(MESSAGE_CHOIX_PROJET));
    if (!dossier) return std::nullopt;
    // Stored even when it is not a project: the user sees it proposed no more than any other
    // folder, but the next attempt looks there again after a fix.
    ports_.preferences.ecrireTexte(CLE_RACINE_CHANTIER, dossier->string());
    return racineChantier();
}

void Delegue::rattacherAncienAction() {
    // The button is disabled while the tool runs; the action may still come another way.
    if (fabricationEnCours_ || rattachementEnCours_) {
        ports_.dialogues.bip();
        return;
    }
    const std::string adresse(sansBlancsAuxBords(ports_.ecranAtelier.adresseAncien()));
    if (adresse.empty()) {
        alerte(std::string(TITRE_ADRESSE_MANQUANTE), std::string(TEXTE_ADRESSE_MANQUANTE));
        return;
    }
    auto projet = racineChantier();
    if (!projet) projet = demanderRacineChantier();
    if (!projet) {
        alerte(std::string(TITRE_VERSION_INTROUVABLE), std::string(TEXTE_VERSION_INTROUVABLE));
        return;
    }
    const int choix = ports_.dialogues.question(messageConfirmationRattachement(adresse),
                                                texteConfirmationRattachement(versionDuProjet(*projet)),
                                                {std::string(BOUTON_RATTACHER), "Annuler"});
    if (choix != 0) return;
    // The dialog's nested loop may have let a build start meanwhile.
    if (fabricationEnCours_ || rattachementEnCours_) {
        ports_.dialogues.bip();
        return;
    }
    ports_.preferences.ecrireTexte(CLE_ADRESSE_ANCIEN, adresse);
    lancerRattachement(adresse, *projet);
}

void Delegue::lancerRattachement(const std::string& adresse, const fs::path& projet) {
    ports_.journalAtelier.ouvrir(titreJournalRattachement(adresse));
    rattachementEnCours_ = true;
    adresseRattachement_ = adresse;
    ports_.ecranAtelier.activerRattacher(false);
    etiquetteRattachement_ = texteRattachementEnCours(adresse);
    majEtiquetteAtelier();

    // One run's output: the text so far, and the decoder that holds a character cut between
    // two reads. An invalid byte becomes U+FFFD rather than costing the whole piece it came in.
    struct Execution {
        std::string sortie;
        DecodeurUtf8 decodeur;
    };
    auto execution = std::make_shared<Execution>();
    auto ajouter = [this, execution](const std::string& texte) {
        if (texte.empty()) return;
        execution->sortie += texte;
        ports_.journalAtelier.ecrire(texte);
    };
    ports_.processus.lancer(
        "/bin/bash", argumentsRattachement(projet, adresse), projet,
        vivant_.garder([execution, ajouter](std::string octets) { ajouter(execution->decodeur.decoder(octets)); }),
        vivant_.garder([this, execution, ajouter, adresse](std::optional<int>) {
            ajouter(execution->decodeur.terminer());
            finRattachement(adresse, execution->sortie);
        }),
        vivant_.garder([this](std::string description) {
            rattachementEnCours_ = false;
            ports_.ecranAtelier.activerRattacher(true);
            etiquetteRattachement_.clear();
            majEtiquetteAtelier();
            ports_.journalAtelier.ecrire(texteLancementImpossible(description));
        }));
}

void Delegue::finRattachement(const std::string& adresse, const std::string& sortie) {
    rattachementEnCours_ = false;
    ports_.ecranAtelier.activerRattacher(true);
    etiquetteRattachement_.clear();
    majEtiquetteAtelier();
    DecisionRattachement decision = lireCompteRendu(adresse, sortie);
    if (decision.issue == IssueRattachement::aFabriquer && decision.box) {
        // A build started from the list while the tool ran: this one would only beep, unseen.
        // Upgraded, the box now announces itself and can be built from the list.
        if (fabricationEnCours_) {
            alerte("Identité impossible", "Une autre fabrication est en cours.\nActualisez la recherche ensuite : cet "
                                          "Ovrel devrait apparaître dans la liste, à fabriquer.");
            return;
        }
        ports_.journalAtelier.ecrire(decision.journal);
        fabriquerBox(*decision.box);
        return;
    }
    alerte(decision.titre, decision.texte);
}

bool Delegue::interruptionRattachementConfirmee() {
    if (!rattachementEnCours_) return true;
    // Escape or closing the dialog keeps the tool running.
    return ports_.dialogues.question(
               "Un rattachement est en cours",
               "L'outil travaille encore sur l'Ovrel « " + adresseRattachement_ +
                   " ». Quitter maintenant l'arrête au milieu de sa mise à jour, et l'Ovrel pourrait rester "
                   "hors service jusqu'à un nouveau rattachement.",
               {"Continuer le rattachement", "Quitter quand même"}) == 1;
}

}  // namespace ovrel
