// How the web studio host judges addresses: which hosts may be shown inside the web view, which
// addresses are the fleet page, a site's configuration page or a label sheet, which serial number
// an address names, whether a response is an attachment, whether a navigation leaves a label
// sheet, and how an address is written into the log without its secrets.
//
// Everything here is pure: no state, no input or output. An address text that does not parse
// counts as no address at all, and an address without a host fails every host rule.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ovrel {

// True when the host is the cloud domain itself or one of its sub-hosts (any letter case).
bool estHoteOvrel(std::string_view hote);

// True when the address's host may be shown inside the web view: localhost, a ".local" host, a
// cloud host or a private IPv4 address.
bool hoteAutorise(std::string_view url);

// True for a dotted-quad IPv4 address in 10/8, 172.16/12 or 192.168/16. Each field is one to
// three ASCII digits (leading zeros allowed) worth less than 256.
bool estIPv4Privee(std::string_view hote);

// True when the address is the studio's fleet page ("/studio" on the studio host, one final "/"
// tolerated, query and fragment ignored).
bool estMesOvrels(const std::optional<std::string>& url);

// The site identifier (a UUID, as written) of a studio page /studio/site/<id>/configurer.
std::optional<std::string> idDeConfigurer(const std::optional<std::string>& url);

// The first "serie" query item of a site-configuration page, unchanged, when it is not empty once
// normalised.
std::optional<std::string> serieDeConfigurer(const std::optional<std::string>& url);

// The serial number of an "open this box" link of the application's own scheme (host "ouvrir"),
// unchanged; at most 24 significant characters.
std::optional<std::string> serieAOuvrir(std::string_view url);

// True when a Content-Disposition value announces an attachment.
bool estPieceJointe(const std::optional<std::string>& disposition);

// True when the address is a label sheet: a trusted host and a path under "/admin/etiquette/".
bool estFicheEtiquette(const std::optional<std::string>& url);

// True when a navigation from the page shown now (`depuis`) to `vers` loses a label sheet.
bool quitteLaFiche(const std::optional<std::string>& depuis, std::string_view vers,
                   const std::optional<std::string>& methode, bool rechargement, bool cadrePrincipal);

// The address without its fragment; the text unchanged when it cannot be re-serialised.
std::string adresseSansAncre(std::string_view url);

// The address without query, fragment, user and password, as it may be written to the log;
// "?" when there is no address or it cannot be re-serialised.
std::string adresseSansSecret(const std::optional<std::string>& url);

}  // namespace ovrel
