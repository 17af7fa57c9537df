// The pure pieces of the browser sign-in: the random state, the cloud addresses of the sign-in,
// the session page and the sign-out, the recognition of sign-in steps in the web view, the strict
// check of the return to the application's scheme, and the meaning of the application's links.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ovrel {

// A fresh state value: 32 bytes of the system's secure random source in URL-safe Base64 without
// padding (43 characters of A-Z, a-z, 0-9, "-" and "_").
std::string nouvelEtatConnexion();

// Cloud addresses of the sign-in; absent when the text does not parse as an address.
std::optional<std::string> adresseConnexionSafari(std::string_view etat);
std::optional<std::string> adresseSessionApp(std::string_view jeton);
std::optional<std::string> adresseDeconnexionSafari();

// "connexion" or "deconnexion" when the web view is about to show a sign-in or sign-out step of
// the cloud (never for a box behind the tunnel); absent otherwise.
std::optional<std::string> navigationDeConnexion(std::string_view url);

// The sign-in token carried by a return to the application's scheme, host "session", when the
// return is valid for the expected state; absent otherwise.
std::optional<std::string> analyserRetourConnexion(const std::optional<std::string>& url,
                                                   std::string_view etatAttendu);

// What a link of the application's own scheme asks for, chosen by its lower-cased host.
enum class LienApp {
    Ouvrir,     // open a box of this network (the serial is read by serieAOuvrir)
    Connexion,  // start the sign-in
    RetourConnexion,  // the browser's return from the sign-in page (host "session")
    Aucun,      // any other host, or no host: ignored
};
LienApp genreDeLien(std::string_view url);

}  // namespace ovrel
