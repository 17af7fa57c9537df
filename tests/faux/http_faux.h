// The HTTP port for tests: records every request, answers from a script (per address) or from a
// queue, can hold answers until the test releases them, and keeps its cookie jar in memory.
// Answers are delivered through the main queue, never from inside `envoyer`.
#pragma once

#include "plateforme/http.h"
#include "plateforme/minuteries.h"

#include <cstddef>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ovrel {

class HttpFaux final : public Http {
public:
    explicit HttpFaux(Minuteries& filePrincipale) : file_(filePrincipale) {}

    void envoyer(RequeteHttp requete, Completion completion) override;
    std::vector<Cookie> cookies() const override { return jar; }
    void ajouterCookie(const Cookie& cookie) override;
    void supprimerCookies() override { jar.clear(); }

    // Every request sent, in order.
    std::vector<RequeteHttp> requetes;
    // The cookie jar, in insertion order.
    std::vector<Cookie> jar;
    // When true, every answer waits in `enAttente` until `liberer` or `repondre`.
    bool retenir = false;

    // The answer to every later request to exactly this address (until replaced).
    void scripter(const std::string& url, ReponseHttp reponse) { scripts_[url] = std::move(reponse); }
    // One answer for the next request, whatever its address; queued answers go before scripts.
    void enFile(ReponseHttp reponse) { reponsesEnFile_.push_back(std::move(reponse)); }

    // Requests not answered yet: held, or without any scripted or queued answer.
    std::size_t enAttente() const { return attentes_.size(); }
    // Delivers the oldest waiting request's planned answer; false when none waits or it has no
    // planned answer (it keeps waiting then).
    bool liberer();
    // Answers the oldest waiting request with `reponse`; false when none waits.
    bool repondre(ReponseHttp reponse);

    static ReponseHttp reponse(int statut, std::optional<std::string> corps);
    static ReponseHttp echec(std::string domaine, int code);

private:
    struct Attente {
        Completion completion;
        std::optional<ReponseHttp> prevue;
    };

    Minuteries& file_;
    std::map<std::string, ReponseHttp> scripts_;
    std::deque<ReponseHttp> reponsesEnFile_;
    std::deque<Attente> attentes_;

    void livrer(Completion completion, ReponseHttp reponse);
};

}  // namespace ovrel
