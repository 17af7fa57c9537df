// The HTTP port on libsoup 3: the one shared session of the application and its cookie jar.
//
// Every request of the application goes through one SoupSession whose cookie jar lives in an
// SQLite file, so that the console's login copied from the web view survives between launches.
// Cookies with an expiry are kept in the file; session cookies live only as long as the session.
//
// What a completion receives:
// - an HTTP answer (whatever its status, 3xx included when redirects are refused): `statut`,
//   the answer's headers in order, and `corps` present, possibly empty;
// - no complete answer (refused connection, unknown host, time-out, connection lost while the
//   body was read): `statut` 0, no headers, no `corps`, and `erreur` with the GLib error's
//   domain, code and message. A time-out is G_IO_ERROR_TIMED_OUT ("g-io-error-quark" 24).
// A request that cannot be sent at all (an address that is not http or https, a malformed
// header) also ends in `erreur`, through the same asynchronous path.
#pragma once

#include "plateforme/http.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <unordered_set>

namespace ovrel {

class HttpSoup final : public Http {
public:
    // Opens the session with its cookie jar in `fichierCookies` (its missing folders are created
    // with mode 0700, the file with mode 0600). A file that is not a usable database is moved
    // aside to "<name>.illisible-<UTC date>" and an empty jar starts in its place. The jar accepts
    // every cookie. Must be created on the thread that runs the main context: completions are
    // dispatched there.
    // `agentUtilisateur` is sent with every request (libsoup's own when empty).
    explicit HttpSoup(const std::filesystem::path& fichierCookies, const std::string& agentUtilisateur = {});
    // Cancels every request in flight; their completions are never called.
    ~HttpSoup() override;
    HttpSoup(const HttpSoup&) = delete;
    HttpSoup& operator=(const HttpSoup&) = delete;

    // "$XDG_DATA_HOME/ovrel-studio/cookies.sqlite" (~/.local/share when the variable is unset);
    // creates the "ovrel-studio" folder with mode 0700 when it is missing.
    static std::filesystem::path cheminCookiesParDefaut();

    // The time-out `requete.delai` bounds the whole exchange, name resolution included.
    // `ignorerCache` adds "Cache-Control: no-cache" (unless the caller gave a Cache-Control
    // header): the session keeps no cache of its own, so this only concerns caches on the way.
    void envoyer(RequeteHttp requete, Completion completion) override;

    // Cookies of the jar that have not expired, converted as cookie_soup.h says: expiries in
    // whole seconds and never later than `expirationLaPlusLointaine`; a cookie stored without
    // SameSite reads back as "None", libsoup's meaning of an unspecified SameSite.
    std::vector<Cookie> cookies() const override;
    // A cookie without a domain is ignored; one whose expiry has passed removes the stored
    // cookie with the same name, domain and path.
    void ajouterCookie(const Cookie& cookie) override;
    void supprimerCookies() override;

    // Where an unreadable jar found at opening was moved, so that the caller can report it.
    const std::optional<std::filesystem::path>& fichierEcarte() const { return fichierEcarte_; }

    // One exchange in flight; defined in the implementation.
    struct Envoi;

private:
    friend struct Envoi;
    struct Session;

    void lancer(Envoi* envoi, RequeteHttp requete);
    void terminer(Envoi* envoi, ReponseHttp reponse);

    std::unique_ptr<Session> session_;
    std::unordered_set<Envoi*> enCours_;
    std::optional<std::filesystem::path> fichierEcarte_;
};

}  // namespace ovrel
