// Building a box: the cloud's identity request and answer, the injection of that identity into
// the box, the label-sheet and box-console addresses, and the workshop's texts for each step.
#pragma once

#include "reseau/box_trouvee.h"

#include <optional>
#include <string>
#include <string_view>

namespace ovrel {

// The identity the cloud created for a box.
struct ReponseFabrication {
    std::string serie;
    std::string jeton;    // identity token, for the box only
    std::string code;     // label code
    std::string site_id;
    std::string nom;      // the cloud's non-empty "nom", else the serial

    bool operator==(const ReponseFabrication&) const = default;
};

// Accepted only with HTTP status 200 and a JSON object holding "serie", "jeton", "code" and
// "site_id" as strings; absent otherwise.
std::optional<ReponseFabrication> lireReponseFabrication(int statutHttp, std::string_view corps);

// {"empreinte": identifier}, the body of the identity request to the cloud.
std::string corpsFabrication(std::string_view identifiant);
// The same for a box, under its workshop identifier (fingerprint, else serial).
std::string corpsFabrication(const BoxTrouvee& box);

// {"serie", "jeton", "api", "nom"}: the identity handed to the box, with the portal root the box
// will use to reach its cloud.
std::string corpsInjection(const ReponseFabrication& reponse);

// "http://" + host + ":" + port + "/api/atelier/enregistrer". Absent when that is not an address
// with a host.
std::optional<std::string> urlInjection(std::string_view hote, int port);
std::optional<std::string> urlInjection(const BoxTrouvee& box);

// BASE_CLOUD + "/admin/etiquette/" + site + "?code=" + code, both inserted as received.
// Absent when not a valid address.
std::optional<std::string> urlFicheEtiquette(std::string_view siteId, std::string_view code);
std::optional<std::string> urlFicheEtiquette(const ReponseFabrication& reponse);

// BASE_CLOUD + "/admin/box/" + registry id: the console page where a new label code is issued.
// Absent when not a valid address.
std::optional<std::string> urlConsoleBox(std::string_view id);

// --- Texts ---

// The progress line while a box is being built.
std::string texteFabricationEnCours(const BoxTrouvee& box);

inline constexpr std::string_view TITRE_FABRICATION_IMPOSSIBLE = "Fabrication impossible";
inline constexpr std::string_view TEXTE_FABRICATION_IMPOSSIBLE =
    "Le cloud n'a pas pu créer l'identité. Es-tu bien connecté en concepteur ?";
inline constexpr std::string_view TITRE_INJECTION_IMPOSSIBLE = "Injection impossible";
// The text of "Injection impossible", naming the box and its host.
std::string texteInjectionImpossible(const BoxTrouvee& box);

// The label-redo dialog.
std::string messageRefaireEtiquette(std::string_view nom);
inline constexpr std::string_view TEXTE_REFAIRE_ETIQUETTE =
    "La fiche console de cet Ovrel va s'ouvrir sur « Nouvelle étiquette (nouveau code) ». Appuyer "
    "dessus rend l'étiquette actuelle inutilisable : ne le faites que si elle est perdue ou n'a "
    "jamais été imprimée. La box, elle, n'est pas touchée.";
inline constexpr std::string_view BOUTON_OUVRIR_FICHE_CONSOLE = "Ouvrir la fiche console";
inline constexpr std::string_view BOUTON_ANNULER = "Annuler";

}  // namespace ovrel
