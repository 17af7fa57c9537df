// The browser sessions of the sign-in and the sign-out: at most one runs at a time.
//
// A page in the default browser cannot tell the application that the user closed it, so a
// sign-in waiting for its return is replaced by the next one (the old one is dropped, and a
// return meant for it is refused). A sign-out session ends as soon as the browser was asked to
// open its page, and nothing starts while it runs.
#pragma once

#include "plateforme/session_navigateur.h"

#include <cstdint>
#include <memory>
#include <string>

namespace ovrel {

class SessionsNavigateur {
public:
    explicit SessionsNavigateur(NavigateurConnexion& navigateur) : navigateur_(navigateur) {}

    bool enCours() const { return session_ != nullptr; }
    bool connexionEnAttente() const { return session_ && estConnexion_; }
    bool deconnexionEnCours() const { return session_ && !estConnexion_; }

    // The reachability probe of a sign-in is on its way: a second press meanwhile is the same
    // sign-in.
    bool sondeEnVol() const { return sondeEnVol_; }
    void sondeEnVol(bool enVol) { sondeEnVol_ = enVol; }

    // Opens the sign-in page on `adresse`, dropping a sign-in that still waits. `retour` gets the
    // browser's answer, only while this session is the one running; the session is over by
    // then. False when no browser could be asked (nothing will come).
    bool connexion(const std::string& adresse, const std::string& schemaRappel, NavigateurConnexion::Completion retour);
    // Opens the sign-out page, unless a session runs (false then, or when no browser could be
    // asked).
    bool deconnexion(const std::string& adresse);
    // Drops the sign-in that waits for its return: a late return is refused.
    void abandonnerConnexion();
    // A return address the desktop handed over; true when the waiting sign-in took it.
    bool recevoirRetour(const std::string& adresse) { return navigateur_.recevoirRetour(adresse); }

private:
    bool demarrer(std::shared_ptr<SessionNavigateur> session);

    NavigateurConnexion& navigateur_;
    std::shared_ptr<SessionNavigateur> session_;
    bool estConnexion_ = false;
    bool sondeEnVol_ = false;
    // Numbers the sessions: a completion counts only for the session still running.
    std::uint64_t numero_ = 0;
    // Completions run later: they check that these sessions still exist.
    std::shared_ptr<char> vivant_ = std::make_shared<char>(0);
};

}  // namespace ovrel
