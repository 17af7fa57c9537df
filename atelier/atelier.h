// The workshop's view of a box: its state and the one gesture it allows, from what the box says
// of itself and what the cloud registry knows of it; the registry document; the rows of the list.
#pragma once

#include "plateforme/couleur.h"
#include "reseau/box_trouvee.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ovrel {

enum class GesteAtelier { fabriquer, refaireEtiquette, aucun };

struct EtatAtelier {
    std::string mention;
    GesteAtelier geste = GesteAtelier::aucun;

    bool operator==(const EtatAtelier&) const = default;
};

// One box as the cloud registry knows it.
struct FicheRegistre {
    std::string id;      // the box's identifier in the cloud
    std::string statut;  // empty when the registry gives none

    bool operator==(const FicheRegistre&) const = default;
};

// `enregistree` comes from the box itself: a box that says it holds no identity is offered for
// building whatever the registry says. `statut` is absent when the registry has no entry.
EtatAtelier etatAtelier(bool enregistree, const std::optional<std::string>& statut);

// The registry document ({"ovrels": [{"id", "serie", "statut"}, ...]}) keyed by normalised
// serial. Absent when it is not JSON, not an object, or "ovrels" is missing, not an array or
// holds anything but objects. Items without a non-empty "id" or "serie" are skipped, and so are
// those whose serial normalises to nothing; a later item replaces an earlier one of the same
// normalised serial.
std::optional<std::map<std::string, FicheRegistre>> lireParcAtelier(std::string_view donnees);

// The identity under which the workshop names and builds a box not registered yet: its
// fingerprint, or its serial when the fingerprint is empty.
std::string identifiantAtelier(const BoxTrouvee& box);

// The registry entry of a box, looked up by its normalised serial; absent when the box has not
// told its serial.
std::optional<FicheRegistre> ficheDuRegistre(const std::map<std::string, FicheRegistre>& registre,
                                             const BoxTrouvee& box);

// --- The workshop list ---

inline constexpr std::string_view TEXTE_RECHERCHE_ATELIER = "Recherche des mini-PC OVREL sur ce réseau…";
inline constexpr std::string_view TITRE_BOUTON_FABRIQUER = "Fabriquer";
inline constexpr std::string_view TITRE_BOUTON_REFAIRE_ETIQUETTE = "Refaire l'étiquette";
inline constexpr std::string_view BULLE_REFAIRE_ETIQUETTE =
    "Étiquette perdue ou jamais imprimée : la fiche console de cet Ovrel, où « Nouvelle étiquette "
    "(nouveau code) » en fabrique une neuve. L'ancienne cesse de valoir.";

// Text colours of a row: registered boxes are dimmed.
inline constexpr Couleur COULEUR_LIGNE_A_FABRIQUER = Couleur::blanc(0.96, 0.92);
inline constexpr Couleur COULEUR_LIGNE_ENREGISTREE = Couleur::blanc(0.94, 0.5);

// One row of the workshop list, ready to lay out.
struct LigneAtelier {
    std::string cle;    // the box's table key, identifier of the gesture button
    std::string nom;    // the registered name, or "Ovrel " + identifiantAtelier
    std::string texte;  // name, host, version when known, state
    bool attenuee = false;
    Couleur couleur;
    GesteAtelier geste = GesteAtelier::aucun;

    bool operator==(const LigneAtelier&) const = default;
};

LigneAtelier ligneAtelier(const BoxTrouvee& box, const std::map<std::string, FicheRegistre>& registre);
// The rows in display order: by box name, as on the local box screen. Empty when the table is
// (the screen then shows TEXTE_RECHERCHE_ATELIER).
std::vector<LigneAtelier> lignesAtelier(const std::map<std::string, BoxTrouvee>& boxes,
                                        const std::map<std::string, FicheRegistre>& registre);

}  // namespace ovrel
