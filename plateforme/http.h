// The HTTP port: every request the application sends itself (cloud API, boxes, update channel).
//
// The real adapter is one libsoup session shared by the whole application, with one persistent
// cookie jar; completions always arrive on the main context, never synchronously from `envoyer`.
#pragma once

#include "plateforme/cookie.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ovrel {

using Entetes = std::vector<std::pair<std::string, std::string>>;

struct RequeteHttp {
    std::string methode = "GET";
    std::string url;
    Entetes entetes;
    std::optional<std::string> corps;          // sent as is; give its Content-Type in `entetes`
    std::chrono::milliseconds delai{60'000};   // time-out of the whole exchange
    bool ignorerCache = false;                 // always reload from the network
    bool sansRedirection = false;              // answer with the redirect itself (status, Location)
    // On a session of its own, without cookies: no connection and no address kept from earlier
    // exchanges. The shared session remembers a host's addresses for minutes, and a device found
    // again on this network may be at another address.
    bool independante = false;
};

// A failure below HTTP: no answer was received. `domaine` and `code` are what the alerts show,
// as "(domaine code)", e.g. "g-io-error-quark 39" for a refused connection.
struct ErreurTransport {
    std::string domaine;
    int code = 0;
    std::string message;
};

struct ReponseHttp {
    int statut = 0;                            // 0 when no HTTP answer was received
    Entetes entetes;
    std::optional<std::string> corps;          // absent when the answer carried no body
    std::optional<ErreurTransport> erreur;

    // The first header with this name, compared without letter case.
    std::optional<std::string> entete(std::string_view nom) const;
};

class Http {
public:
    using Completion = std::function<void(ReponseHttp)>;
    virtual ~Http() = default;

    // Sends the request; `completion` runs once, later, on the main context.
    virtual void envoyer(RequeteHttp requete, Completion completion) = 0;

    // The shared cookie jar that every request carries.
    virtual std::vector<Cookie> cookies() const = 0;
    // Adds or replaces (same name, domain and path) one cookie.
    virtual void ajouterCookie(const Cookie& cookie) = 0;
    virtual void supprimerCookies() = 0;
};

}  // namespace ovrel
