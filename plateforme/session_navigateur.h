// The sign-in and sign-out pages of the cloud, opened in the user's default browser.
//
// A session opens one page. A sign-in session waits for the browser to come back through the
// application's own URL scheme: the desktop starts the program with that address, the single
// running instance receives it, and the session completes with it. A sign-out session waits for
// nothing: it completes as soon as the browser was asked to open the page.
//
// Unlike a browser sheet owned by the application, a page in the default browser cannot tell
// when the user closes it: a sign-in session never completes with a cancellation. A session
// nobody will answer is therefore replaced by the next one (`annuler` drops it).
#pragma once

#include "plateforme/http.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace ovrel {

class SessionNavigateur {
public:
    virtual ~SessionNavigateur() = default;

    // Asks the default browser to open the page. False when no browser can be asked (nothing
    // will complete then). Once only: a later call answers false.
    virtual bool demarrer() = 0;
    // Drops the session: its completion will never run, and a return meant for it is no
    // longer taken.
    virtual void annuler() = 0;
};

class NavigateurConnexion {
public:
    // Runs at most once, on the main context, never from inside `creer` or `demarrer`: with the
    // return address for a sign-in session, with nothing for a sign-out session, or with the
    // error that kept the browser from opening the page.
    using Completion = std::function<void(std::optional<std::string> url, std::optional<ErreurTransport> erreur)>;

    virtual ~NavigateurConnexion() = default;

    // A session on `url`. `schemaRappel` is the scheme through which the browser comes back
    // ("ovrelstudio"); absent when nothing comes back.
    virtual std::shared_ptr<SessionNavigateur> creer(const std::string& url,
                                                     const std::optional<std::string>& schemaRappel,
                                                     Completion completion) = 0;

    // An address the desktop handed to the application. When a started sign-in session waits
    // for a return through this address's scheme (compared without letter case), the session
    // takes it and completes with it, later, on the main context: true. False when no session
    // waits for it.
    virtual bool recevoirRetour(const std::string& adresse) = 0;
};

}  // namespace ovrel
