// The cloud's fleet document in memory, and its reader.
//
// Reading never fails half-way: a missing or malformed value takes its default, a box without
// identity is skipped, and only a document that is not JSON or has no box list is rejected. The
// same reader serves the fresh document and the cached copy; the cached copy is read as not
// reliable (`fiable` false), which replaces every health by an unverified one.
#pragma once

#include "sante/couleur_sante.h"

#include <boost/json/fwd.hpp>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ovrel {

// An action offered for an anomaly: a page to open ("get") or an endpoint to call ("post").
struct ActionSante {
    std::string libelle;  // never empty
    std::string href;     // never empty
    std::string methode;  // lower case; "get" when the cloud gave none (absent, not a text, empty)

    // Nothing unless the value is an object whose "libelle" and "href" are non-empty texts.
    static std::optional<ActionSante> lire(const boost::json::value* valeur);

    bool operator==(const ActionSante&) const = default;
};

// One anomaly of one box.
struct AnomalieSante {
    std::string cle;
    CouleurSante couleur = CouleurSante::inconnue;
    std::string titre;
    std::string detail;
    std::string depuis;         // timestamp of the start of the anomaly, possibly empty
    std::string depuisLisible;  // readable age, possibly empty
    std::optional<ActionSante> action;

    // `detail`, or the advice line of the colour when there is no detail.
    std::string consigne() const;
    // "depuis le 01/03/2025 à 09:15 (2 h)", "depuis 2 h" or empty. Dates are written in the
    // user's local time zone (the overload takes a zone identifier); they are formatted here, on
    // demand, and never while the document is read.
    std::string quand() const;
    std::string quand(std::string_view fuseau) const;

    // Every key has a default: an anomaly object always yields an anomaly; an invalid action is
    // dropped without dropping the anomaly.
    static AnomalieSante lire(const boost::json::object& objet);

    bool operator==(const AnomalieSante&) const = default;
};

// The health of one box.
struct SanteOvrel {
    CouleurSante couleur = CouleurSante::inconnue;
    std::string resume;
    std::string verbe;
    std::vector<AnomalieSante> anomalies;
    std::string vuLe;                       // when the cloud last heard from the box
    std::optional<std::int64_t> vuIlYaS;    // seconds since then, when the cloud computed the list
    bool connue = false;                    // the colour came from the cloud and was readable

    // A copy whose health is forgotten; when the box was last seen stays.
    SanteOvrel oubliee(std::string resume) const;

    bool operator==(const SanteOvrel&) const = default;
};

// The fleet-wide summary.
struct SanteParc {
    std::map<CouleurSante, std::int64_t> parCouleur;  // the five real colours when built by a reader
    std::int64_t attention = 0;
    std::int64_t total = 0;
    std::string titre;
    bool connue = false;

    bool operator==(const SanteParc&) const = default;
};

// One box of the fleet.
struct OvrelParc {
    std::string id;
    std::string nom;
    std::string serie;
    bool enLigne = false;
    std::string version;
    std::string remise;  // "a_faire", "en_attente", "faite" or anything else
    SanteOvrel sante;

    // Nothing when "id" or "nom" is not a text.
    static std::optional<OvrelParc> lire(const boost::json::object& boite, bool fiable);

    bool operator==(const OvrelParc&) const = default;
};

// One document read.
struct LectureParc {
    std::vector<OvrelParc> ovrels;
    std::string organisation;
    std::string compte;
    SanteParc sante;
    std::string calculeLe;

    bool operator==(const LectureParc&) const = default;
};

// The summaries of a box health that failed to read.
inline constexpr std::string_view RESUME_SANTE_INDISPONIBLE = "Santé indisponible — ce portail ne la calcule pas encore.";
inline constexpr std::string_view RESUME_SANTE_ILLISIBLE = "Santé illisible — couleur inconnue de cette version.";
inline constexpr std::string_view RESUME_HORS_LIGNE = "Liste hors ligne — santé non vérifiée.";
inline constexpr std::string_view ENTETE_PARC_INDISPONIBLE = "Santé du parc indisponible — cette liste n'est pas à jour.";

// A whole document; nothing when it is not JSON, not an object, or has no array of objects
// under "ovrels".
std::optional<LectureParc> lireParc(std::string_view donnees, bool fiable);

// One box health object; `vuLe` and `vuIlYaS` are the box's own values, used when the health
// object does not carry them.
SanteOvrel lireSante(const boost::json::value* valeur, std::string_view vuLe, std::optional<std::int64_t> vuIlYaS);

// One fleet summary object. Sums that do not fit 64 bits saturate.
SanteParc lireSanteParc(const boost::json::value* valeur);

// The summary computed from the healths: only known healths are counted in a colour, every
// health counts in the total.
SanteParc compterLeParc(const std::vector<SanteOvrel>& santes);

// The headline to display.
std::string enteteParc(const SanteParc& sante);

// The strictly positive counts, worst colour first.
std::vector<std::pair<CouleurSante, std::int64_t>> compteursVisibles(const SanteParc& sante);

}  // namespace ovrel
