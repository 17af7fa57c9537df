// The sign-in and sign-out pages in the desktop's default browser, through GIO.
//
// The browser comes back through the application's URL scheme: the desktop starts the program
// with the return address (the installed .desktop file handles x-scheme-handler/ovrelstudio),
// the single running instance receives it, and the launcher hands it to `recevoirRetour`, which
// completes the sign-in session waiting for that scheme.
#pragma once

#include "plateforme/session_navigateur.h"

#include <memory>
#include <optional>
#include <string>

namespace ovrel {

class NavigateurGio final : public NavigateurConnexion {
public:
    NavigateurGio();
    ~NavigateurGio() override;
    NavigateurGio(const NavigateurGio&) = delete;
    NavigateurGio& operator=(const NavigateurGio&) = delete;

    // `demarrer` answers false when no application of the desktop handles the page's scheme
    // (inside a sandbox the desktop's portal is asked instead, and its refusal completes the
    // session with its error). The page opens asynchronously: a launch that fails afterwards
    // completes the session with the error; the user declining the desktop's choice of browser
    // completes it with nothing. Only one session waits for a return at a time: starting
    // another one drops the one waiting.
    std::shared_ptr<SessionNavigateur> creer(const std::string& url, const std::optional<std::string>& schemaRappel,
                                             Completion completion) override;

    bool recevoirRetour(const std::string& adresse) override;

private:
    class Session;
    // The sign-in session waiting for its return, shared with every session made here.
    struct Attente;
    std::shared_ptr<Attente> attente_;
};

}  // namespace ovrel
