// The cloud's two documents about the signed-in user: who the user is (the user document) and
// the local token of an installer; and the screen each routing chooses for that user.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ovrel {

// The user document. A key of another JSON type counts as absent: a "studio" holding the text
// "true" is not an installer Studio.
struct DocumentUtilisateur {
    bool studio = false;      // the account has an installer Studio
    bool exploitant = false;  // the account has the designer console
    std::optional<std::string> email;
};

// Absent unless the body is a JSON object.
std::optional<DocumentUtilisateur> lireDocumentUtilisateur(std::string_view corps);

// The local-token document.
struct JetonLocal {
    std::string jeton;
    double expire = 0;  // seconds since 1970-01-01 00:00 UTC
    std::string organisation;
};

// Absent unless the body is a JSON object whose "jeton" is a text and "expire" a number;
// "organisation" is empty when absent or not a text.
std::optional<JetonLocal> lireJetonLocal(std::string_view corps);

// Where the routing of a signed-in user leads.
enum class Porte {
    MesOvrels,      // the console's fleet web page
    ParcCharge,     // the native fleet screen, fetching the fleet
    ParcEnCache,    // the native fleet screen from the cached list, without fetching
    Atelier,        // the designer's workshop
    AccesRefuse,    // the "Accès" alert, then the sign-in screen
    Connexion,      // the sign-in screen, without any message
};

struct Routage {
    Porte porte = Porte::Connexion;
    bool jetonLocal = false;  // fetch and store a fresh local token
    bool roleEtabli = false;  // the user's role is established (no more checks after page loads)
};

// At launch, once the user document was read: installers and designers alike land on the fleet
// web page; only installers get a local token.
Routage routageAuLancement(const DocumentUtilisateur& utilisateur);

// At launch, when the user document could not be read: the cached fleet only when the network
// itself failed and both a cached list and a valid local authorization exist.
Routage routageSansReponse(bool erreurTransport, bool cacheParc, bool habilitationValide);

// After a cloud page has loaded (a sign-in): designers without an installer Studio go to the
// workshop, installers to the native fleet screen with a fresh local token.
Routage routageApresPage(const DocumentUtilisateur& utilisateur);

}  // namespace ovrel
