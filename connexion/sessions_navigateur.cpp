#include "connexion/sessions_navigateur.h"

#include <optional>
#include <utility>

namespace ovrel {

bool SessionsNavigateur::connexion(const std::string& adresse, const std::string& schemaRappel,
                                   NavigateurConnexion::Completion retour) {
    if (deconnexionEnCours()) return false;
    abandonnerConnexion();
    const std::uint64_t numero = ++numero_;
    std::weak_ptr<char> garde = vivant_;
    auto session = navigateur_.creer(
        adresse, schemaRappel,
        [this, garde, numero, retour = std::move(retour)](std::optional<std::string> url,
                                                          std::optional<ErreurTransport> erreur) {
            if (garde.expired() || !session_ || numero != numero_) return;
            session_.reset();
            if (retour) retour(std::move(url), std::move(erreur));
        });
    estConnexion_ = true;
    return demarrer(std::move(session));
}

bool SessionsNavigateur::deconnexion(const std::string& adresse) {
    if (session_) return false;
    // Nothing comes back from the sign-out page: the session ends once the browser was asked.
    const std::uint64_t numero = ++numero_;
    std::weak_ptr<char> garde = vivant_;
    auto session = navigateur_.creer(adresse, std::nullopt,
                                     [this, garde, numero](std::optional<std::string>, std::optional<ErreurTransport>) {
                                         if (!garde.expired() && numero == numero_) session_.reset();
                                     });
    estConnexion_ = false;
    return demarrer(std::move(session));
}

void SessionsNavigateur::abandonnerConnexion() {
    if (!connexionEnAttente()) return;
    session_->annuler();
    session_.reset();
}

bool SessionsNavigateur::demarrer(std::shared_ptr<SessionNavigateur> session) {
    session_ = session;
    if (session && session->demarrer()) return true;
    if (session_ == session) session_.reset();
    return false;
}

}  // namespace ovrel
