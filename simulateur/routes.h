// What the simulated cloud and boxes answer, request by request: plain functions from the
// state and a request to an answer. Faults, delays and sockets are the servers' business.
#pragma once

#include "simulateur/echange.h"
#include "simulateur/etat.h"

#include <string_view>

namespace ovrel::simulateur {

// The cookie of the web login.
inline constexpr std::string_view COOKIE_SESSION = "ovrel_session";

// Every host of the cloud port and of the TLS port: the studio, the sign-in host, the web site,
// the portal, the boxes behind the tunnel, and any other name (loopback addresses serve a
// foreign site, for pages that frame or link a host outside the domain).
Reponse routerCloud(Etat& etat, const Requete& requete);

// A box of the bench on its own port.
Reponse routerBox(Etat& etat, BoxLocale& box, const Requete& requete);

// Whether the host belongs to the cloud (its answers follow the cloud's fault scenario).
bool estHoteCloud(const Etat& etat, std::string_view hote);

}  // namespace ovrel::simulateur
