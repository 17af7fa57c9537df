// The pure pieces of the web session renewal: the message channel, the throttle of requests, the
// serial number named by a tunnel host, the tunnel entry address, the token carried by its
// redirect, and the script that hands a token (or null) back to the page.
#pragma once

#include "plateforme/horloge.h"

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace ovrel {

// The script message channel on which a page asks for a new token.
inline constexpr std::string_view MESSAGE_SESSION = "ovrelSession";
// The message body of that request.
inline constexpr std::string_view DEMANDE_SESSION = "expiree";
// A request is acted upon only when strictly more than this has passed since the last one.
inline constexpr std::chrono::seconds INTERVALLE_SESSION{10};
// The initial date of the last request: nothing has been asked yet.
inline constexpr Instant PASSE_LOINTAIN = Instant::min();

// True when a request at `maintenant` passes the throttle, the last accepted one being at
// `derniere`. Never overflows, even from the distant past.
bool demandeSessionAcceptee(Instant derniere, Instant maintenant);

// The serial number named by a host behind the cloud tunnel (the lower-cased host ends with the
// box suffix): the host, lower-cased, without its first two characters, up to the first "." that
// follows. Absent for any other host.
std::optional<std::string> serieDeTunnel(std::string_view hote);

// The studio's configuration entry of a site, whose redirect carries a token for the box;
// absent when the text does not parse as an address.
std::optional<std::string> adresseEntreeTunnel(std::string_view idSite);

// The value of the first query item named "jeton" of a "Location" header, which may be a
// relative reference. Absent when there is no header, it does not parse, no item has that name
// or the item has no value.
std::optional<std::string> jetonDeRedirection(const std::optional<std::string>& location);

// The script evaluated in the page: the token as a JSON string literal, or null.
std::string scriptRenouvellement(const std::optional<std::string>& jeton);

}  // namespace ovrel
