// Module constants: version, cloud endpoints, update channel, URL scheme, identity colours.
//
// The cloud addresses derive from the studio base address that the launch configuration gives
// (verbatim: no trimming, no check), or from the studio host by default. Each is computed on
// first use and never changes afterwards.
#pragma once

#include "app/configuration.h"
#include "plateforme/couleur.h"

#include <optional>
#include <string>
#include <string_view>

#ifndef OVREL_DOMAINE_CLOUD
#error "OVREL_DOMAINE_CLOUD doit être défini par la construction"
#endif
// The project's version, given by the build from its one source (the CMake project version).
#ifndef OVREL_VERSION
#error "OVREL_VERSION doit être défini par la construction"
#endif

namespace ovrel {

inline constexpr std::string_view VERSION_APP = OVREL_VERSION;
inline constexpr std::string_view DOMAINE_CLOUD = OVREL_DOMAINE_CLOUD;
inline constexpr std::string_view SCHEMA_APP = "ovrelstudio";
inline constexpr std::string_view CHEMIN_MANIFESTE = "/studio/maj/linux-natif.json";

// The web view presents exactly this user agent; the cloud may rely on it.
inline constexpr std::string_view AGENT_UTILISATEUR =
    "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 (KHTML, like Gecko) "
    "Version/17.0 Safari/605.1.15 OvrelStudio/" OVREL_VERSION;

inline constexpr Couleur FOND_OVREL{0.082, 0.071, 0.063, 1.0};
inline constexpr Couleur OR_OVREL{0.847, 0.671, 0.416, 1.0};
inline constexpr Couleur TEXTE_MUET = Couleur::blanc(0.94, 0.55);

// Hosts of the cloud domain.
const std::string& HOTE_STUDIO();    // "studio." + domain
const std::string& HOTE_SITE_WEB();  // "www." + domain: serves the update manifest
const std::string& HOTE_CONNEXION(); // "auth." + domain: the sign-in host
const std::string& HOTE_PORTAIL();   // "portail." + domain
const std::string& SUFFIXE_BOX();    // ".box." + domain: boxes behind the cloud tunnel
const std::string& URL_PORTAIL();    // HTTPS root of the portal host, handed to a box being built

// Gives the studio base address of the launch configuration, before any address is used. Once
// an address has been computed nothing changes any more: false then.
bool etablirConfiguration(const Configuration& configuration);

const std::string& URL_STUDIO();
const std::string& BASE_CLOUD();
const std::string& URL_JETON_LOCAL();
const std::string& URL_PARC();
const std::string& URL_MOI();
const std::string& URL_FABRIQUER();
const std::string& CANAL_MAJ();

// The rules behind URL_STUDIO and BASE_CLOUD, for a given environment value.
std::string urlStudioDepuis(const std::optional<std::string>& variable);
std::string baseCloudDepuis(std::string_view urlStudio);

// The one way to compare serial numbers: full Unicode upper-casing, then every "-" and every
// space (U+0020 only) removed.
std::string serieNormalisee(std::string_view serie);

}  // namespace ovrel
