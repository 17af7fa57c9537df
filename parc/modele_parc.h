// What the native fleet screen shows, computed without any toolkit: the header (subtitle,
// status line, headline and its colour, colour counters), one model per row (name, open button,
// health badge, seen label, details, summary, anomalies with their action buttons), and the
// filter the user may put on the list. The screen only lays these out.
#pragma once

#include "plateforme/couleur.h"
#include "plateforme/horloge.h"
#include "sante/lecture_parc.h"
#include "sante/suivi_vu.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace ovrel {

// --- The header ---

struct CompteurParc {
    CouleurSante couleur = CouleurSante::inconnue;
    std::string texte;  // "2 rouge"
    Couleur teinte;     // the colour's tint at alpha 0.9

    bool operator==(const CompteurParc&) const = default;
};

struct EnteteParcModele {
    std::string sousTitre;
    std::string statut;  // the status line at the foot of the screen
    std::string titre;   // the headline
    Couleur couleurTitre;
    std::vector<CompteurParc> compteurs;  // worst colour first; none while the health is unknown

    bool operator==(const EnteteParcModele&) const = default;
};

// What the header is computed from.
struct DonneesEntete {
    std::string organisation;               // of the fleet document
    std::string organisationHabilitation;   // saved with the local authorization
    std::string compte;                     // the signed-in account
    bool horsLigne = false;
    std::optional<Instant> cacheLe;         // when the cached fleet was saved
    std::optional<double> habilitationJusquA;  // expiry of a valid local authorization, seconds since 1970
    SanteParc sante;
};

// `fuseau`: a time zone identifier for the dates; the local zone when empty.
EnteteParcModele modeleEntete(const DonneesEntete& donnees, std::string_view fuseau = {});

// --- The rows ---

inline constexpr std::string_view TEXTE_PARC_VIDE =
    "Aucun Ovrel dans vos installations.\nAjoutez-en un en scannant le QR de son certificat — bouton ci-dessous.";
inline constexpr std::string_view SEPARATEUR_DETAILS = "   ·   ";

struct BoutonOuvrir {
    std::string titre;      // "Configurer" or "Injoignable"
    bool actif = false;
    std::string infobulle;  // empty: none

    bool operator==(const BoutonOuvrir&) const = default;
};

// The health badge of a row.
struct PastilleModele {
    CouleurSante couleur = CouleurSante::inconnue;
    std::string mot;        // motSante
    std::string compte;     // "· 3", empty without anomalies
    std::string marque;     // "▾" open, "▸" closed, empty without anomalies
    std::string infobulle;
    std::string libelleAccessible;  // "Santé : rouge. <summary>"

    bool operator==(const PastilleModele&) const = default;
};

// The badge's border: the tint at alpha 0.75 under the pointer, 0.38 otherwise.
Couleur bordurePastille(CouleurSante couleur, bool survol) noexcept;

struct AnomalieModele {
    CouleurSante couleur = CouleurSante::inconnue;
    std::string titre;
    // Since when, as the document gives it; written out (`quand`) only for the rows on view.
    std::string depuis;
    std::string depuisLisible;
    std::string consigne;
    // The action button: its title, tooltip and index among the actions on screen.
    std::optional<std::string> bouton;
    std::string infobulleBouton;
    std::size_t action = 0;

    // "depuis le 01/03/2025 à 09:15 (2 h)", in the zone named (the local one when empty).
    std::string quand(std::string_view fuseau = {}) const;

    bool operator==(const AnomalieModele&) const = default;
};

struct LigneParcModele {
    std::string id;
    std::string nom;
    std::string serie;
    BoutonOuvrir ouvrir;
    PastilleModele pastille;
    std::string vu;       // the seen label as the document gives it, until the next refresh
    Couleur couleurVu;
    std::string details;
    double alphaDetails = 0.62;  // of white level 0.94; 0.38 when the box cannot be opened
    std::string resume;
    std::vector<AnomalieModele> anomalies;
    bool deplie = false;  // the anomalies are shown
    SuiviVu suivi;        // its seen label

    bool operator==(const LigneParcModele&) const = default;
};

// The hand-over text of a "remise" code; empty for any other code.
std::string texteRemise(std::string_view remise);

// The row's details: serial, connection state (with the version), hand-over text, the non-empty
// ones joined by SEPARATEUR_DETAILS.
std::string detailsLigne(const OvrelParc& ovrel, bool surCeReseau);

// The whole list. `hoteLocal` gives the host of the box found on this network with that serial,
// if any; the actions of the anomaly buttons are numbered in the order of the rows.
struct ListeParcModele {
    std::vector<LigneParcModele> lignes;
    std::vector<ActionSante> actions;

    bool operator==(const ListeParcModele&) const = default;
};
ListeParcModele modeleListe(const std::vector<OvrelParc>& parc, const std::set<std::string>& depliees,
                            const std::function<std::optional<std::string>(const std::string& serie)>& hoteLocal);

// --- Anomaly actions ---

// The address an action leads to: the href as it stands when it starts with "http", otherwise
// appended to the cloud's base address. Absent when that is not a valid address.
std::optional<std::string> adresseActionAnomalie(std::string_view href);

inline constexpr std::string_view INFOBULLE_ACTION_POST = "Envoie la demande au cloud, puis actualise le parc.";
inline constexpr std::string_view INFOBULLE_ACTION_PAGE = "Ouvre la page qui répare.";

// --- The filter (beyond the list as described: all of it shows when the filter is empty) ---

struct FiltreParc {
    std::string texte;                      // matched against the name and the serial
    std::optional<CouleurSante> couleur;    // only the boxes of this colour

    bool vide() const { return texte.empty() && !couleur; }
    bool operator==(const FiltreParc&) const = default;
};

// A text as the filter compares it: letter case and accents removed.
std::string texteComparable(std::string_view texte);

// A filter made ready to be tried on many rows.
struct FiltrePrepare {
    std::optional<CouleurSante> couleur;
    std::string texte;  // comparable
    std::string serie;  // the text as a normalised serial
    bool vide = true;
};
FiltrePrepare preparerFiltre(const FiltreParc& filtre);

// The name and the serial of a row as the filter compares them; made only once a filter is used.
std::string cleRecherche(const LigneParcModele& ligne);

// Whether a row (with its search key) passes the filter: its name or serial contains the text,
// compared without letter case or accents (a serial also without its hyphens and spaces); its
// badge has the colour.
bool passeLeFiltre(const LigneParcModele& ligne, std::string_view cle, const FiltrePrepare& filtre);

}  // namespace ovrel
