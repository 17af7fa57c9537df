#include "tests/faux/http_faux.h"

#include <algorithm>
#include <utility>

namespace ovrel {

void HttpFaux::envoyer(RequeteHttp requete, Completion completion) {
    std::optional<ReponseHttp> prevue;
    if (!reponsesEnFile_.empty()) {
        prevue = std::move(reponsesEnFile_.front());
        reponsesEnFile_.pop_front();
    } else if (auto s = scripts_.find(requete.url); s != scripts_.end()) {
        prevue = s->second;
    }
    requetes.push_back(std::move(requete));
    if (prevue && !retenir) {
        livrer(std::move(completion), std::move(*prevue));
        return;
    }
    attentes_.push_back({std::move(completion), std::move(prevue)});
}

void HttpFaux::ajouterCookie(const Cookie& cookie) {
    auto meme = std::find_if(jar.begin(), jar.end(), [&](const Cookie& c) { return c.memeCle(cookie); });
    if (meme != jar.end()) {
        *meme = cookie;
    } else {
        jar.push_back(cookie);
    }
}

bool HttpFaux::liberer() {
    if (attentes_.empty() || !attentes_.front().prevue) return false;
    Attente a = std::move(attentes_.front());
    attentes_.pop_front();
    livrer(std::move(a.completion), std::move(*a.prevue));
    return true;
}

bool HttpFaux::repondre(ReponseHttp reponse) {
    if (attentes_.empty()) return false;
    Attente a = std::move(attentes_.front());
    attentes_.pop_front();
    livrer(std::move(a.completion), std::move(reponse));
    return true;
}

void HttpFaux::livrer(Completion completion, ReponseHttp reponse) {
    file_.surLaFilePrincipale([completion = std::move(completion), reponse = std::move(reponse)]() mutable {
        if (completion) completion(std::move(reponse));
    });
}

ReponseHttp HttpFaux::reponse(int statut, std::optional<std::string> corps) {
    ReponseHttp r;
    r.statut = statut;
    r.corps = std::move(corps);
    return r;
}

ReponseHttp HttpFaux::echec(std::string domaine, int code) {
    ReponseHttp r;
    r.erreur = ErreurTransport{std::move(domaine), code, "échec simulé"};
    return r;
}

}  // namespace ovrel
