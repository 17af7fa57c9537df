// Attaching a legacy box through the tool of the designer's project folder: finding that
// folder, the tool's command line, and the reading of its final report line.
#pragma once

#include "reseau/box_trouvee.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ovrel {

inline constexpr std::string_view OUTIL_RATTACHEMENT = "outils/rattacher-ovrel.sh";
// User defaults: the last address attached (it pre-fills the field) and the folder last picked.
inline constexpr std::string_view CLE_ADRESSE_ANCIEN = "adresse_ancien";
inline constexpr std::string_view CLE_RACINE_CHANTIER = "racine_chantier";
inline constexpr std::string_view FICHIER_VERSION_PROJET = "serveur/VERSION";

// A project folder holds both the attach tool and the version file of the box software it
// installs. Never throws: an unreadable or empty path is simply not a project.
bool estProjetValide(const std::filesystem::path& dossier);

// The first valid project folder among the candidates, in their order (application resources,
// OVREL_PROJET, the stored choice); an absent candidate is skipped.
std::optional<std::filesystem::path> racineChantier(
    const std::vector<std::optional<std::filesystem::path>>& candidats);

// The version the tool installs: "serveur/VERSION" read as UTF-8 and trimmed, "?" when it cannot
// be read.
std::string versionDuProjet(const std::filesystem::path& dossier);

// What "/bin/bash" runs: the tool, the address as typed, "--source", the project folder.
std::vector<std::string> argumentsRattachement(const std::filesystem::path& projet, std::string_view adresse);

// The host of a typed address "host[:port]": the part before the ":" of the port, or the whole
// address without one. An IPv6 literal keeps its whole address, in brackets.
std::string hoteDeLAdresse(std::string_view adresse);

enum class IssueRattachement {
    illisible,      // no report line, or not a JSON object
    impossible,     // "ok" not true
    rattache,       // attached and registered
    aFabriquer,     // upgraded but not registered: continue with the ordinary build
    sansEmpreinte,  // upgraded, not registered, no fingerprint to build it with
};

struct DecisionRattachement {
    IssueRattachement issue = IssueRattachement::illisible;
    std::string titre;               // alert title; empty for aFabriquer
    std::string texte;               // alert text; empty for aFabriquer
    std::string journal;             // line to write to the log before going on; empty when none
    std::optional<BoxTrouvee> box;   // the box to build, for aFabriquer only

    bool operator==(const DecisionRattachement&) const = default;
};

// Reads the tool's whole output: the last non-empty line that begins with "RESULTAT:" carries
// a JSON object after those nine characters. `adresse` is the address as typed.
DecisionRattachement lireCompteRendu(std::string_view adresse, std::string_view sortie);

// --- Texts of the attach action ---

inline constexpr std::string_view TITRE_ADRESSE_MANQUANTE = "Adresse manquante";
inline constexpr std::string_view TEXTE_ADRESSE_MANQUANTE =
    "Indiquez l'adresse de l'Ovrel à rattacher (son IP, ou son nom en .local).";
inline constexpr std::string_view TITRE_VERSION_INTROUVABLE = "Version introuvable";
inline constexpr std::string_view TEXTE_VERSION_INTROUVABLE =
    "Ovrel Studio ne trouve pas la version à installer.\nChoisissez le dossier du projet OVREL, puis réessayez.";
inline constexpr std::string_view TITRE_CHOIX_PROJET = "Où se trouve le projet OVREL ?";
inline constexpr std::string_view MESSAGE_CHOIX_PROJET =
    "Choisissez le dossier du projet (celui qui contient « serveur » et « outils »).";
inline constexpr std::string_view BOUTON_RATTACHER = "Rattacher";

// The confirmation dialog: its message and its informative text.
std::string messageConfirmationRattachement(std::string_view adresse);
std::string texteConfirmationRattachement(std::string_view version);
// Titles and lines of the log window and the progress line.
std::string titreJournalRattachement(std::string_view adresse);
std::string texteRattachementEnCours(std::string_view adresse);
std::string texteLancementImpossible(std::string_view description);

}  // namespace ovrel
